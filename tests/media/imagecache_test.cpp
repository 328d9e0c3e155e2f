// The image cache over a scripted downloader: what is fetched, kept and dropped, and its workers.

#include "gifwriter.h"
#include "imagecache.h"
#include "pump.h"
#include "tempdir.h"

#include <QThread>
#include <gtest/gtest.h>

#include <map>
#include <mutex>

using namespace kivra::media;

namespace {

struct Arrivals : IPictureNotify {
    void PictureArrived(std::shared_ptr<const ChatPicture> p) override { got.push_back(p); }
    std::vector<std::shared_ptr<const ChatPicture>> got;
};

// Serves each URL from `files`: a GIF of the given width, or the bytes "<html>" for width 0, or a
// failed download when the URL is not listed. Counts the fetches and how many ran at once.
class CacheTest : public testing::Test {
protected:
    void Make(int maxCache) {
        cache = std::make_unique<CImageCache>(
            [this](const std::string& url, std::string& file, const std::atomic<bool>& cancel) {
                int width = 0;
                {
                    std::lock_guard lock(mutex);
                    ++fetches[url];
                    maxRunning = std::max(maxRunning, ++running);
                    const auto it = widths.find(url);
                    width = it == widths.end() ? -1 : it->second;
                }
                while (hold && !cancel)
                    QThread::msleep(5);
                QThread::msleep(20);
                std::lock_guard lock(mutex);
                --running;
                if (width < 0)
                    return -2;
                file = (dir / (std::to_string(++files) + ".gif")).string(); // one file a fetch
                const giftest::Bytes b = giftest::GifBuilder(width, 2)
                                             .Image(width, 2, giftest::Bytes(width * 2u, 7))
                                             .Finish();
                WriteAll(file, width == 0 ? "<html>" : std::string(b.begin(), b.end()));
                return 0;
            },
            maxCache);
        cache->SetClock([this] { return now; });
    }

    // Asks for `url`, waits for any fetch; the picture's width, 0 for none.
    int Fetch(const std::string& url, bool keep = true) {
        auto n = std::make_shared<Arrivals>();
        if (auto p = cache->GetPicture(url, true, keep, n))
            return p->width;
        WaitIdle();
        return n->got.empty() || !n->got[0] ? 0 : n->got[0]->width;
    }
    void WaitIdle() {
        PumpUntil([this] { return !cache->IsBusy(); }, 10000);
    }
    int Fetches(const std::string& url) {
        std::lock_guard lock(mutex);
        return fetches[url];
    }
    bool Kept(const std::string& url) { return cache->GetPicture(url, false, true, {}) != nullptr; }

    TempDir dir;
    std::mutex mutex;
    std::map<std::string, int> widths = {{"http://h/a.gif", 3},
                                         {"http://h/b.gif", 5},
                                         {"http://h/c.gif", 6},
                                         {"http://h/page.gif", 0}};
    std::map<std::string, int> fetches;
    int running = 0;
    int maxRunning = 0;
    int files = 0;
    std::atomic<bool> hold{false};
    std::int64_t now = 1000;
    std::unique_ptr<CImageCache> cache;
};

} // namespace

// The least recently used goes, of equal times the earliest added; with room for one, only once
// the next has arrived.
TEST_F(CacheTest, EvictionByLastUseThenByAgeAndOnlyOnArrival) {
    Make(2);
    Fetch("http://h/a.gif");
    Fetch("http://h/b.gif");
    now = 2000;
    EXPECT_TRUE(Kept("http://h/a.gif")); // A used again: B is now the oldest use
    Fetch("http://h/c.gif");
    EXPECT_TRUE(Kept("http://h/a.gif"));
    EXPECT_FALSE(Kept("http://h/b.gif"));
    EXPECT_TRUE(Kept("http://h/c.gif"));

    Make(1);
    EXPECT_EQ(Fetch("http://h/a.gif"), 3);
    EXPECT_EQ(Fetch("http://h/b.gif"), 5);
    hold = true;
    EXPECT_EQ(cache->GetPicture("http://h/a.gif", true, true, {}), nullptr);
    EXPECT_TRUE(Kept("http://h/b.gif")) << "B stays while A is on its way";
    hold = false;
    WaitIdle();
    EXPECT_TRUE(Kept("http://h/a.gif"));
    EXPECT_FALSE(Kept("http://h/b.gif"));
}

// One fetch for an address in any letter case; a picture not kept is not found next time. A failed
// download, a file that is no GIF and an address that is not http(s) leave no picture and the
// cache as it was; a failed address is not asked for again at once.
TEST_F(CacheTest, OneFetchPerAddressAndFailuresLeaveTheCacheUnchangedWithoutRetryStorm) {
    Make(15);
    EXPECT_EQ(Fetch("http://h/a.gif"), 3);
    EXPECT_EQ(cache->GetPicture("HTTP://H/A.GIF", true, true, {})->width, 3);
    EXPECT_EQ(Fetches("http://h/a.gif"), 1);
    EXPECT_EQ(cache->GetPicture("http://h/a.gif", false, true, {})->source, "http://h/a.gif");
    EXPECT_EQ(Fetch("http://h/b.gif", false), 5);
    EXPECT_FALSE(Kept("http://h/b.gif"));
    EXPECT_EQ(Fetch("http://h/missing.gif"), 0);
    EXPECT_EQ(Fetch("http://h/page.gif"), 0);
    for (const char* refused : {"file:///etc/passwd.gif", "ftp://h/a.gif", "/tmp/a.gif", ""})
        EXPECT_EQ(Fetch(refused), 0) << refused;
    EXPECT_EQ(cache->Count(), 1);
    for (int i = 0; i < 5; ++i)
        Fetch("http://h/missing.gif");
    EXPECT_EQ(Fetches("http://h/missing.gif"), 1);
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(fetches.size(), 4u) << "refused addresses were never handed to the download";
    }
    now += CImageCache::kRetryAfterSeconds;
    Fetch("http://h/missing.gif");
    EXPECT_EQ(Fetches("http://h/missing.gif"), 2);
}

// Many askers of one address share one download; many addresses run at most a few at once; a
// cache that goes while downloads hang stops them and tells nobody.
TEST_F(CacheTest, DownloadsAreSharedBoundedAndStopWithTheCache) {
    Make(15);
    std::vector<std::shared_ptr<Arrivals>> askers;
    for (int i = 0; i < 4; ++i) {
        askers.push_back(std::make_shared<Arrivals>());
        EXPECT_EQ(cache->GetPicture("http://h/a.gif", true, true, askers.back()), nullptr);
    }
    for (int i = 0; i < 8; ++i) {
        widths["http://h/" + std::to_string(i) + ".gif"] = i + 1;
        cache->GetPicture("http://h/" + std::to_string(i) + ".gif", true, true, {});
    }
    WaitIdle();
    EXPECT_EQ(Fetches("http://h/a.gif"), 1);
    for (const auto& a : askers) {
        ASSERT_EQ(a->got.size(), 1u);
        EXPECT_EQ(a->got[0]->width, 3);
    }
    EXPECT_LE(maxRunning, CImageCache::kMaxRunning);
    EXPECT_GE(maxRunning, 2) << "downloads ran one after another";

    hold = true;
    auto late = std::make_shared<Arrivals>();
    cache->GetPicture("http://h/b.gif", true, true, late);
    QElapsedTimer t;
    t.start();
    cache.reset();
    EXPECT_LT(t.elapsed(), 3000);
    QCoreApplication::processEvents();
    EXPECT_TRUE(late->got.empty());
}
