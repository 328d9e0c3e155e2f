#pragma once
// The host's browser services: navigation of a URL into a named frame, and download of a URL into
// the cache folder.

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>

namespace kivra::host {

// The scheme of `url` in lower case ("http"), or empty when it has none.
std::string UrlScheme(const std::string& url);
// http, https and mailto addresses may be handed to the desktop; nothing else is.
bool IsNavigableScheme(const std::string& scheme);

class BrowserServices {
public:
    // Largest download kept in the cache.
    static constexpr long long kMaxDownload = 4LL * 1024 * 1024;
    static constexpr long kConnectTimeoutSeconds = 10;
    static constexpr long kTransferTimeoutSeconds = 60;

    // `open` hands an accepted URL to the desktop (the GUI host) or reports it (headless);
    // refusals and download failures are written to `errors`.
    BrowserServices(std::string cacheFolder,
                    std::function<void(const std::string& url, const std::string& frame)> open,
                    std::ostream& errors);

    // True when the URL was handed on.
    bool Navigate(const std::string& url, const std::string& frame);
    // Fetches http, https and file URLs into the cache folder and writes the local file name into
    // `buffer`. 0 on success; -1 when url or buffer is absent; -2 when the download failed, was
    // too large or its name does not fit `size`. Safe to call from several threads at once; a
    // download gives up within about a second once `cancel` (when given) becomes true.
    int DownloadToCache(const char* url, char* buffer, std::size_t size,
                        const std::atomic<bool>* cancel = nullptr);

    const std::string& CacheFolder() const { return m_cacheFolder; }

private:
    std::string m_cacheFolder;
    std::function<void(const std::string&, const std::string&)> m_open;
    std::ostream& m_errors;
    std::mutex m_errorsMutex; // downloads report from worker threads
};

} // namespace kivra::host
