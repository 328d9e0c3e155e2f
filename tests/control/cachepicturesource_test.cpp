// The ticker's view of the image cache: one fetch per address until it ends, then the picture
// or one failure, however often the ticker asks meanwhile.
#include "../protocol/fakes.h"
#include "cachepicturesource.h"

#include <gtest/gtest.h>

using State = IPictureSource::State;

TEST(CachePictureSource, PendingUntilTheFetchEndsThenReadyOrFailedOnce) {
    kivra_test::Recorder rec;
    kivra_test::FakeImageCache cache(&rec);
    CCachePictureSource source(cache);
    ChatPicture picture;
    EXPECT_EQ(source.GetPicture("http://x/a.gif", picture), State::Pending);
    EXPECT_EQ(source.GetPicture("http://x/a.gif", picture), State::Pending);
    EXPECT_EQ(rec.log, std::vector<std::string>{"cache get:http://x/a.gif fetch=1 keep=1"})
        << "asking again while a fetch is out fetches nothing more";
    cache.Finish("http://x/a.gif", kivra_test::Picture(3));
    EXPECT_EQ(source.GetPicture("http://x/a.gif", picture), State::Ready);
    EXPECT_EQ(picture.width, 3);

    EXPECT_EQ(source.GetPicture("http://x/b.gif", picture), State::Pending);
    cache.Finish("http://x/b.gif", nullptr);
    EXPECT_EQ(source.GetPicture("http://x/b.gif", picture), State::Failed);
    EXPECT_EQ(source.GetPicture("http://x/b.gif", picture), State::Pending) << "a retry fetches";
    EXPECT_EQ(cache.fetches, 3);

    cache.refuse = true;
    EXPECT_EQ(source.GetPicture("file:///etc/passwd", picture), State::Failed);
}
