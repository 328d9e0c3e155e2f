#include "../transport/scriptedhttp.h"
#include "browserservices.h"

#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

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
    char name[512] = "untouched", tiny[8];
    EXPECT_EQ(services.DownloadToCache(nullptr, name, sizeof name), -1);
    EXPECT_EQ(services.DownloadToCache("file:///x", nullptr, 10), -1);
    const std::string big = "file://" + WriteFile("big.bin", BrowserServices::kMaxDownload + 1);
    const std::string exact = "file://" + WriteFile("exact.bin", BrowserServices::kMaxDownload);
    const std::tuple<std::string, char*, std::size_t, int> cases[] = {
        {big, name, sizeof name, -2},
        {exact, name, sizeof name, 0},
        {"file://" + dir.path().toStdString() + "/missing.gif", name, sizeof name, -2},
        {"ftp://127.0.0.1/x.gif", name, sizeof name, -2},
        {exact, tiny, sizeof tiny, -2}};
    for (const auto& [url, buffer, size, rc] : cases)
        EXPECT_EQ(services.DownloadToCache(url.c_str(), buffer, size), rc) << url;
    EXPECT_NE(errors.str().find("larger than 4 MiB"), std::string::npos) << errors.str();
    // The one download that worked, and no partial files.
    const std::vector<fs::path> files(fs::directory_iterator(cache), {});
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].extension(), ".bin");
}

// Endless redirects, an endless body and a peer that never answers all end as a failed download,
// soon, with nothing left in the cache folder; the silent one ends once the caller gives up.
TEST_F(Browser, MisbehavingServersCannotHoldOrFloodADownload) {
    const std::string redirect =
        "HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    for (const std::string& mode : {redirect, std::string(kt::ScriptedHttp::kEndless),
                                    std::string(kt::ScriptedHttp::kStall)}) {
        kt::ScriptedHttp peer;
        for (int i = 0; i < 10; ++i)
            peer.Answer(mode);
        std::atomic<bool> cancel{false};
        std::thread giveUp([&, silent = mode == kt::ScriptedHttp::kStall] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            cancel = silent;
        });
        const std::string url = "http://127.0.0.1:" + std::to_string(peer.Port()) + "/a.gif";
        char name[512];
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(services.DownloadToCache(url.c_str(), name, sizeof name, &cancel), -2) << mode;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << mode;
        giveUp.join();
        EXPECT_TRUE(!fs::exists(cache) || fs::is_empty(cache)) << mode;
        EXPECT_LT(peer.Requests().size(), 10u) << "redirects followed without end";
    }
    EXPECT_NE(errors.str().find("larger than 4 MiB"), std::string::npos) << errors.str();
}
