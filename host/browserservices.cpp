#include "browserservices.h"

#include <curl/curl.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace kivra::host {

namespace fs = std::filesystem;

std::string UrlScheme(const std::string& url) {
    std::string scheme;
    for (char c : url) {
        if (c == ':')
            return scheme;
        const bool ok = std::isalpha(static_cast<unsigned char>(c)) ||
                        (!scheme.empty() && (std::isdigit(static_cast<unsigned char>(c)) ||
                                             c == '+' || c == '-' || c == '.'));
        if (!ok)
            return {};
        scheme.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return {};
}

bool IsNavigableScheme(const std::string& scheme) {
    return scheme == "http" || scheme == "https" || scheme == "mailto";
}

BrowserServices::BrowserServices(
    std::string cacheFolder,
    std::function<void(const std::string& url, const std::string& frame)> open,
    std::ostream& errors)
    : m_cacheFolder(std::move(cacheFolder)), m_open(std::move(open)), m_errors(errors) {}

bool BrowserServices::Navigate(const std::string& url, const std::string& frame) {
    const std::string scheme = UrlScheme(url);
    if (!IsNavigableScheme(scheme)) {
        m_errors << "kivra: not opening \"" << url
                 << "\": only http, https and mailto addresses are opened" << std::endl;
        return false;
    }
    if (m_open)
        m_open(url, frame);
    return true;
}

namespace {

struct Sink {
    std::ofstream out;
    long long written = 0;
    bool tooLarge = false;
};

size_t WriteChunk(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const size_t n = size * count;
    if (sink->written + static_cast<long long>(n) > BrowserServices::kMaxDownload) {
        sink->tooLarge = true;
        return 0; // makes curl stop with a write error
    }
    sink->out.write(data, static_cast<std::streamsize>(n));
    sink->written += static_cast<long long>(n);
    return sink->out ? n : 0;
}

// A cache name that keeps the URL's last path component readable and different URLs apart.
std::string CacheName(const std::string& url) {
    std::string path = url;
    if (const auto cut = path.find_first_of("?#"); cut != std::string::npos)
        path.erase(cut);
    const std::string encoded = path.substr(path.find_last_of('/') + 1);
    std::string leaf;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '%' && i + 2 < encoded.size() &&
            std::isxdigit(static_cast<unsigned char>(encoded[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(encoded[i + 2]))) {
            leaf.push_back(static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            leaf.push_back(encoded[i]);
        }
    }
    std::string clean;
    for (char c : leaf) {
        const bool ok =
            std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
        clean.push_back(ok ? c : '_');
    }
    if (clean.empty() || clean == "." || clean == "..")
        clean = "download";
    std::uint64_t hash = 1469598103934665603ULL; // FNV-1a over the whole URL
    for (unsigned char c : url)
        hash = (hash ^ c) * 1099511628211ULL;
    char prefix[20];
    std::snprintf(prefix, sizeof prefix, "%016llx-", static_cast<unsigned long long>(hash));
    return prefix + clean;
}

int CheckCancel(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* cancel = static_cast<const std::atomic<bool>*>(user);
    return cancel != nullptr && cancel->load() ? 1 : 0;
}

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

int BrowserServices::DownloadToCache(const char* url, char* buffer, std::size_t size,
                                     const std::atomic<bool>* cancel) {
    if (url == nullptr || buffer == nullptr)
        return -1;
    const std::string address = url;
    const std::string scheme = UrlScheme(address);
    if (scheme != "http" && scheme != "https" && scheme != "file") {
        std::lock_guard lock(m_errorsMutex);
        m_errors << "kivra: not downloading \"" << address
                 << "\": only http, https and file URLs are fetched" << std::endl;
        return -2;
    }
    std::error_code ec;
    fs::create_directories(m_cacheFolder, ec);
    const fs::path target = fs::path(m_cacheFolder) / CacheName(address);
    const fs::path partial = target.string() + ".part";
    if (target.string().size() + 1 > size)
        return -2;

    InitCurlOnce();
    CURL* curl = curl_easy_init();
    if (curl == nullptr)
        return -2;
    Sink sink;
    sink.out.open(partial, std::ios::binary | std::ios::trunc);
    if (!sink.out) {
        curl_easy_cleanup(curl);
        std::lock_guard lock(m_errorsMutex);
        m_errors << "kivra: cannot write to the cache folder " << m_cacheFolder << std::endl;
        return -2;
    }
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, url);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https,file");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxDownload));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteChunk);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    if (cancel != nullptr) {
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, CheckCancel);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, cancel);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    }
    const CURLcode rc = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    sink.out.close();
    if (rc != CURLE_OK || sink.tooLarge || !sink.out) {
        fs::remove(partial, ec);
        std::lock_guard lock(m_errorsMutex);
        m_errors << "kivra: download of \"" << address << "\" failed: "
                 << (sink.tooLarge || rc == CURLE_FILESIZE_EXCEEDED
                         ? "larger than 4 MiB"
                         : (error[0] != '\0' ? error : curl_easy_strerror(rc)))
                 << std::endl;
        return -2;
    }
    fs::rename(partial, target, ec);
    if (ec) {
        fs::remove(partial, ec);
        return -2;
    }
    std::memcpy(buffer, target.c_str(), target.string().size() + 1);
    return 0;
}

} // namespace kivra::host
