#pragma once
// CImageCache: pictures named by URL, fetched once, decoded once and kept for the chat panel.
// Entries are keyed by the whole URL, letter case ignored; at most "Max Cache" are kept, and the
// least recently used (then the earliest added) makes room. Fetching never blocks the
// user-interface thread: downloads and decoding run on a few worker threads, and the result comes
// back to the asker's notification object on the user-interface thread.

#include "chatpicture.h"
#include "imagefile.h"

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kivra::media {

class CImageCache : public IImageCache {
public:
    // Downloads that run at once; more wait their turn.
    static constexpr int kMaxRunning = 3;
    // A URL whose fetch failed is not asked for again before this many seconds have passed, so
    // a room full of one broken avatar does not hammer its server.
    static constexpr std::int64_t kRetryAfterSeconds = 300;

    // Fetches `url` into a local file and names it in `localFile`; 0 on success. Runs on a worker
    // thread and must give up soon after `cancel` becomes true.
    using Downloader = std::function<int(const std::string& url, std::string& localFile,
                                         const std::atomic<bool>& cancel)>;

    // `maxCache` is the "Max Cache" setting as read (already within 1 to 100). `display` is
    // asked for its depth on the worker threads; its warning is given on this thread.
    CImageCache(Downloader download, int maxCache, ImageDisplay display = {});
    ~CImageCache() override;

    std::shared_ptr<const ChatPicture> GetPicture(const std::string& url, bool mayFetch, bool keep,
                                                  std::shared_ptr<IPictureNotify> notify) override;

    // Only http and https addresses are fetched.
    static bool IsFetchable(const std::string& url);
    // A decoded bitmap as the views take it: rows top-down, the colours as 0x00BBGGRR.
    static std::shared_ptr<ChatPicture> ToPicture(const DibSection& dib);

    int Count() const { return int(m_entries.size()); }
    int Limit() const { return m_nLimit; }
    // True while a download runs or waits.
    bool IsBusy() const { return !m_pending.empty(); }
    // Seconds since the epoch by default; tests give their own clock.
    void SetClock(std::function<std::int64_t()> now) { m_now = std::move(now); }

private:
    struct Entry {
        std::string key;
        std::shared_ptr<const ChatPicture> picture;
        std::int64_t lastUse = 0;
    };
    struct Pending {
        std::string url;
        bool keep = false;
        std::vector<std::shared_ptr<IPictureNotify>> notify;
    };
    struct Job {
        std::string key;
        std::string url;
    };

    void WorkerLoop();
    void Finished(const std::string& key, std::shared_ptr<ChatPicture> picture, bool warned);
    void Keep(const std::string& key, std::shared_ptr<const ChatPicture> picture);

    Downloader m_download;
    int m_nLimit;
    ImageDisplay m_display;
    std::function<std::int64_t()> m_now;
    std::list<Entry> m_entries; // in the order they were added
    std::map<std::string, Pending> m_pending;
    std::map<std::string, std::int64_t> m_failed;

    // Shared with the workers.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_queue;
    bool m_bStop = false;
    std::atomic<bool> m_cancel{false};
    std::vector<std::thread> m_workers;
    // Results are posted to this object, which lives on the user-interface thread; posts still
    // queued when it goes are dropped with it.
    std::unique_ptr<QObject> m_pReceiver;
};

} // namespace kivra::media
