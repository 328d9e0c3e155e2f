#include "imagecache.h"

#include "gifimage.h"

#include <QMetaObject>
#include <algorithm>
#include <cstring>
#include <ctime>

namespace kivra::media {

namespace {

std::string Lower(const std::string& s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

} // namespace

CImageCache::CImageCache(Downloader download, int maxCache, ImageDisplay display)
    : m_download(std::move(download)), m_nLimit(std::clamp(maxCache, 1, 100)),
      m_display(std::move(display)),
      m_now([] { return static_cast<std::int64_t>(std::time(nullptr)); }),
      m_pReceiver(std::make_unique<QObject>()) {}

CImageCache::~CImageCache() {
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
        m_queue.clear();
    }
    m_cancel = true;
    m_wake.notify_all();
    for (std::thread& t : m_workers)
        t.join();
    m_pReceiver.reset();
}

bool CImageCache::IsFetchable(const std::string& url) {
    const std::string lower = Lower(url.substr(0, 8));
    return lower.starts_with("http://") || lower.starts_with("https://");
}

std::shared_ptr<ChatPicture> CImageCache::ToPicture(const DibSection& dib) {
    auto picture = std::make_shared<ChatPicture>();
    const int w = dib.header.width;
    const int h = dib.header.height;
    picture->width = w;
    picture->height = h;
    picture->pixels.resize(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        std::memcpy(picture->pixels.data() + std::size_t(y) * std::size_t(w),
                    dib.bits.data() + std::size_t(h - 1 - y) * std::size_t(dib.stride),
                    std::size_t(w));
    for (std::size_t i = 0; i < 256; ++i) {
        const RgbQuad& q = dib.colours[i];
        picture->palette[i] =
            std::uint32_t(q.red) | (std::uint32_t(q.green) << 8) | (std::uint32_t(q.blue) << 16);
    }
    return picture;
}

std::shared_ptr<const ChatPicture> CImageCache::GetPicture(const std::string& url, bool mayFetch,
                                                           bool keep,
                                                           std::shared_ptr<IPictureNotify> notify) {
    const std::string key = Lower(url);
    for (Entry& e : m_entries) {
        if (e.key == key) {
            e.lastUse = m_now();
            return e.picture;
        }
    }
    if (!mayFetch || !IsFetchable(url))
        return nullptr;
    if (const auto failed = m_failed.find(key); failed != m_failed.end()) {
        if (m_now() - failed->second < kRetryAfterSeconds)
            return nullptr;
        m_failed.erase(failed);
    }
    // One download per address, however many ask while it runs.
    auto [it, added] = m_pending.try_emplace(key);
    it->second.keep = it->second.keep || keep;
    if (notify)
        it->second.notify.push_back(std::move(notify));
    if (!added)
        return nullptr;
    it->second.url = url;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({key, url});
        if (int(m_workers.size()) < kMaxRunning)
            m_workers.emplace_back([this] { WorkerLoop(); });
    }
    m_wake.notify_one();
    return nullptr;
}

void CImageCache::WorkerLoop() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_bStop || !m_queue.empty(); });
            if (m_bStop)
                return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        std::shared_ptr<ChatPicture> picture;
        bool warned = false;
        std::string file;
        if (m_download(job.url, file, m_cancel) == 0 && !m_cancel) {
            ImageDisplay display{m_display.depth, [&warned](const std::string&,
                                                            const std::string&) { warned = true; }};
            CGifImage image(file, &display);
            if (image.IsValid() && image.Bitmap() != nullptr) {
                picture = ToPicture(*image.Bitmap());
                picture->source = job.url;
            }
        }
        std::lock_guard lock(m_mutex);
        if (m_bStop)
            return;
        QMetaObject::invokeMethod(
            m_pReceiver.get(),
            [this, key = job.key, picture, warned] { Finished(key, picture, warned); },
            Qt::QueuedConnection);
    }
}

void CImageCache::Finished(const std::string& key, std::shared_ptr<ChatPicture> picture,
                           bool warned) {
    auto node = m_pending.extract(key);
    if (node.empty())
        return;
    Pending& pending = node.mapped();
    if (warned && m_display.warn)
        m_display.warn("Image requires a 256 color display to display correctly",
                       "Image / Display Mismatch");
    if (!picture)
        m_failed[key] = m_now();
    else if (pending.keep)
        Keep(key, picture);
    for (auto& n : pending.notify)
        n->PictureArrived(picture);
}

void CImageCache::Keep(const std::string& key, std::shared_ptr<const ChatPicture> picture) {
    if (int(m_entries.size()) >= m_nLimit) {
        // The least recently used goes; of equal times, the earliest added.
        auto victim = m_entries.begin();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if (it->lastUse < victim->lastUse)
                victim = it;
        m_entries.erase(victim);
    }
    m_entries.push_back({key, std::move(picture), m_now()});
}

} // namespace kivra::media
