#include "browserservices.h"

#include <QTemporaryDir>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace kivra::host;
namespace fs = std::filesystem;

namespace {
class Browser : public testing::Test {
protected:
    Browser()
        : cache(dir.path().toStdString() + "/install/cache"),
          services(
              cache,
              [this](const std::string& u, const std::string& f) { opened.push_back(f + " " + u); },
              errors) {}

    std::string WriteFile(const std::string& name, std::size_t size) {
        const std::string path = dir.path().toStdString() + "/" + name;
        std::ofstream(path, std::ios::binary) << std::string(size, 'x');
        return path;
    }

    QTemporaryDir dir;
    std::string cache;
    std::ostringstream errors;
    std::vector<std::string> opened;
    BrowserServices services;
};
} // namespace

TEST_F(Browser, NavigationOpensOnlyWebAndMailAddresses) {
    EXPECT_TRUE(services.Navigate("http://a.example/", "kivradisplay"));
    EXPECT_TRUE(services.Navigate("HTTPS://a.example/x", "kivranewwindow"));
    EXPECT_TRUE(services.Navigate("mailto:ann@a.example", "kivradisplay"));
    for (const char* bad : {"file:///etc/passwd", "javascript:alert(1)", "ftp://a.example/",
                            "a.example/page", "", "1http://x"}) {
        errors.str("");
        EXPECT_FALSE(services.Navigate(bad, "kivradisplay")) << bad;
        const std::string said = errors.str();
        EXPECT_NE(said.find("not opening"), std::string::npos) << bad;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << bad;
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"kivradisplay http://a.example/",
                                                "kivranewwindow HTTPS://a.example/x",
                                                "kivradisplay mailto:ann@a.example"}));
}

TEST_F(Browser, DownloadCopiesIntoTheCacheFolder) {
    WriteFile("avatar one.gif", 1000);
    char name[512];
    const std::string url = "file://" + dir.path().toStdString() + "/avatar%20one.gif";
    ASSERT_EQ(services.DownloadToCache(url.c_str(), name, sizeof name), 0) << errors.str();
    const fs::path local(name);
    EXPECT_EQ(local.parent_path(), fs::path(cache));
    EXPECT_NE(local.filename().string().find("avatar_one.gif"), std::string::npos);
    EXPECT_EQ(fs::file_size(local), 1000u);
    // The same URL lands on the same name; another one does not.
    char again[512];
    ASSERT_EQ(services.DownloadToCache(url.c_str(), again, sizeof again), 0);
    EXPECT_STREQ(again, name);
    const std::string other = WriteFile("other.gif", 10);
    ASSERT_EQ(services.DownloadToCache(("file://" + other).c_str(), again, sizeof again), 0);
    EXPECT_STRNE(again, name);
}

TEST_F(Browser, DownloadFailuresLeaveNothingBehind) {
    char name[512] = "untouched";
    EXPECT_EQ(services.DownloadToCache(nullptr, nullptr, 0), -1);
    EXPECT_EQ(services.DownloadToCache(nullptr, name, sizeof name), -1);
    EXPECT_EQ(services.DownloadToCache("file:///x", nullptr, 10), -1);

    const std::string big = WriteFile("big.bin", BrowserServices::kMaxDownload + 1);
    EXPECT_EQ(services.DownloadToCache(("file://" + big).c_str(), name, sizeof name), -2);
    EXPECT_NE(errors.str().find("larger than 4 MiB"), std::string::npos) << errors.str();
    const std::string exact = WriteFile("exact.bin", BrowserServices::kMaxDownload);
    EXPECT_EQ(services.DownloadToCache(("file://" + exact).c_str(), name, sizeof name), 0);

    EXPECT_EQ(
        services.DownloadToCache(("file://" + dir.path().toStdString() + "/missing.gif").c_str(),
                                 name, sizeof name),
        -2);
    EXPECT_EQ(services.DownloadToCache("ftp://127.0.0.1/x.gif", name, sizeof name), -2);
    char tiny[8];
    EXPECT_EQ(services.DownloadToCache(("file://" + exact).c_str(), tiny, sizeof tiny), -2);

    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(cache)) {
        EXPECT_EQ(entry.path().extension(), ".bin") << entry.path(); // no partial files
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

namespace {

// A loopback HTTP peer that misbehaves in one way, on a thread of its own: "redirect" sends every
// request elsewhere, "huge" announces and sends 100 MB, "silent" never answers.
class BadPeer {
public:
    explicit BadPeer(std::string mode) : m_mode(std::move(mode)) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = {AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t n = sizeof a;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), n);
        ::listen(m_fd, 8);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &n);
        port = ntohs(a.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~BadPeer() {
        m_stop = true;
        ::shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
        ::close(m_fd);
    }
    int port = 0;

private:
    void Run() {
        for (;;) {
            const int c = ::accept(m_fd, nullptr, nullptr);
            if (c < 0)
                return;
            char request[4096];
            (void)!::recv(c, request, sizeof request, 0);
            if (m_mode == "redirect") {
                const std::string r = "HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: "
                                      "0\r\nConnection: close\r\n\r\n";
                (void)!::send(c, r.data(), r.size(), MSG_NOSIGNAL);
            } else if (m_mode == "huge") {
                const std::string h = "HTTP/1.1 200 OK\r\nContent-Length: 104857600\r\n\r\n";
                (void)!::send(c, h.data(), h.size(), MSG_NOSIGNAL);
                const std::string chunk(65536, 'x');
                for (int i = 0; i < 1600 && !m_stop; ++i)
                    if (::send(c, chunk.data(), chunk.size(), MSG_NOSIGNAL) < 0)
                        break;
            } else {
                while (!m_stop && ::recv(c, request, sizeof request, MSG_DONTWAIT) != 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            ::close(c);
        }
    }
    std::string m_mode;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace

// Endless redirects, a flood and a peer that never answers all end as a failed download, soon,
// with nothing left in the cache folder; the silent one ends once the caller gives up.
TEST_F(Browser, MisbehavingServersCannotHoldOrFloodADownload) {
    for (const char* mode : {"redirect", "huge", "silent"}) {
        BadPeer peer(mode);
        std::atomic<bool> cancel{false};
        std::thread giveUp([&, silent = std::string(mode) == "silent"] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            cancel = silent;
        });
        const std::string url = "http://127.0.0.1:" + std::to_string(peer.port) + "/a.gif";
        char name[512];
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(services.DownloadToCache(url.c_str(), name, sizeof name, &cancel), -2) << mode;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << mode;
        giveUp.join();
        EXPECT_TRUE(!fs::exists(cache) || fs::is_empty(cache)) << mode;
    }
    EXPECT_NE(errors.str().find("larger than 4 MiB"), std::string::npos) << errors.str();
}
