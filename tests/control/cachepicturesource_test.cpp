// The ticker's view of the image cache: one fetch per address until it ends, then the picture
// or one failure, however often the ticker asks meanwhile.

#include "cachepicturesource.h"

#include <gtest/gtest.h>

namespace {

struct FakeCache : IImageCache {
    std::map<std::string, std::shared_ptr<const ChatPicture>> kept;
    std::vector<std::shared_ptr<IPictureNotify>> waiting;
    int fetches = 0;
    bool refuse = false;
    std::shared_ptr<const ChatPicture> GetPicture(const std::string& url, bool mayFetch, bool keep,
                                                  std::shared_ptr<IPictureNotify> notify) override {
        EXPECT_TRUE(mayFetch && keep);
        if (kept.count(url))
            return kept[url];
        ++fetches;
        if (refuse)
            notify->PictureArrived(nullptr);
        else
            waiting.push_back(notify);
        return nullptr;
    }
    void Finish(const std::string& url, bool ok) {
        auto picture = std::make_shared<ChatPicture>();
        picture->width = 3;
        if (ok)
            kept[url] = picture;
        for (auto& w : waiting)
            w->PictureArrived(ok ? picture : nullptr);
        waiting.clear();
    }
};

using State = IPictureSource::State;

} // namespace

TEST(CachePictureSource, PendingUntilTheFetchEndsThenReadyOrFailedOnce) {
    FakeCache cache;
    CCachePictureSource source(cache);
    ChatPicture picture;
    EXPECT_EQ(source.GetPicture("http://x/a.gif", picture), State::Pending);
    EXPECT_EQ(source.GetPicture("http://x/a.gif", picture), State::Pending);
    EXPECT_EQ(cache.fetches, 1) << "asking again while a fetch is out fetches nothing more";
    cache.Finish("http://x/a.gif", true);
    EXPECT_EQ(source.GetPicture("http://x/a.gif", picture), State::Ready);
    EXPECT_EQ(picture.width, 3);

    EXPECT_EQ(source.GetPicture("http://x/b.gif", picture), State::Pending);
    cache.Finish("http://x/b.gif", false);
    EXPECT_EQ(source.GetPicture("http://x/b.gif", picture), State::Failed);
    EXPECT_EQ(source.GetPicture("http://x/b.gif", picture), State::Pending) << "a retry fetches";
    EXPECT_EQ(cache.fetches, 3);

    cache.refuse = true;
    EXPECT_EQ(source.GetPicture("file:///etc/passwd", picture), State::Failed);
}
