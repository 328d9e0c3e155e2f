// The transfer engine against a scripted peer on loopback, one that misbehaves in every way too.

#include "filexfer.h"
#include "loopbackport.h"
#include "pump.h"
#include "tempdir.h"

#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kivra::filexfer;

namespace {

std::string Raw(std::uint32_t type, const std::string& payload = {}, std::uint32_t head = 16,
                std::uint32_t length = ~0u) {
    std::string m(12, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(m.data());
    PutU32(p, type);
    PutU32(p + 4, head);
    PutU32(p + 8, length != ~0u ? length : std::uint32_t(payload.size()));
    return m + payload + std::string(4, '\0');
}

std::string OfferPayload(const std::string& name, std::uint32_t size, std::uint32_t blocks,
                         const std::string& user = "Eve") {
    std::string p(16, '\0');
    auto* head = reinterpret_cast<std::uint8_t*>(p.data());
    for (const std::uint32_t v :
         {std::uint32_t(name.size()), std::uint32_t(user.size()), size, blocks})
        PutU32(head, v), head += 4;
    return p + name + user;
}

// The far side: a plain socket read while the event loop runs.
struct Peer {
    int fd;
    std::string rx;
    explicit Peer(int accepted) : fd(accepted) {}
    explicit Peer(std::uint16_t port) : fd(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in a = {AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    ~Peer() { ::close(fd); }
    void Put(const std::string& bytes) { ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // The next message's type (its payload into `payload`); 0 once closed, -1 on timeout.
    long Next(std::string* payload = nullptr, int ms = 3000) {
        QElapsedTimer clock;
        for (clock.start(); clock.elapsed() < ms; PumpFor(1)) {
            char buf[8192];
            const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
            rx.append(buf, std::size_t(n > 0 ? n : 0));
            const auto* p = reinterpret_cast<const std::uint8_t*>(rx.data());
            if (rx.size() >= 16 && rx.size() >= 16 + GetU32(p + 8)) {
                const long type = GetU32(p);
                if (payload)
                    *payload = rx.substr(12, GetU32(p + 8));
                rx.erase(0, 16 + GetU32(p + 8));
                return type;
            }
            if (n == 0)
                return 0;
        }
        return -1;
    }
};

class FileXferTest : public testing::Test {
protected:
    void SetUp() override {
        engine.SetPollHook([this](bool on) { on ? timer.start(10) : timer.stop(); });
        QObject::connect(&timer, &QTimer::timeout, [this] { engine.OnPollTimer(); });
        engine.SetFlags(FXFLAG_STARTED | FXFLAG_EVENTS);
        ASSERT_TRUE(engine.StartListener(0, [this](int e, std::uintptr_t a1, std::uintptr_t) {
            events.push_back({e, long(a1)});
            if (e != FXE_OFFER)
                return 0L;
            auto* offer = reinterpret_cast<FileOffer*>(a1);
            offered = offer->szFileName;
            offer->strSavePath = target.string();
            return accept ? 1L : 0L;
        }));
    }
    // The finish code once the engine is idle again, with no timer running.
    long Finished() {
        long code = -1;
        PumpUntil([&] {
            for (const auto& [event, a1] : events)
                code = event == FXE_FINISHED ? a1 : code;
            return code >= 0;
        });
        EXPECT_FALSE(engine.IsRunning() || engine.IsPolling());
        return code;
    }

    CFileXfer engine;
    QTimer timer;
    TempDir dir;
    std::filesystem::path target = dir / "saved.bin";
    std::vector<std::pair<int, long>> events;
    std::string offered;
    bool accept = true;
};

} // namespace

TEST(XferMessage, WireBytesBlockCountsAndNames) {
    const auto ready = EncodeMessage(XFER_READY);
    EXPECT_EQ(std::string(ready.begin(), ready.end()),
              std::string("\x80\x22\0\0\x10\0\0\0\0\0\0\0\0\0\0\0", 16));
    const auto offer = EncodeOffer({"a.txt", "Eve", 2033, 2});
    EXPECT_EQ(std::string(offer.begin(), offer.end()),
              std::string("\5\0\0\0\3\0\0\0\xF1\x07\0\0\2\0\0\0a.txtEve", 24));
    EXPECT_EQ(BlockCount(2032), 1u);
    for (const auto& [in, out] : std::vector<std::pair<std::string, std::string>>{
             {"../../.bashrc", ".bashrc"},
             {"C:\\dir\\x.doc", "x.doc"},
             {"..", "received-file"},
             {std::string("x\ny"), "received-file"},
             {std::string(300, 'n'), std::string(127, 'n')}})
        EXPECT_EQ(SafeFileName(in), out) << in;
}

// The engine receives from a scripted sender: its last reply, the finish code, the name the user
// was asked about, and a file only where a whole one was saved.
TEST_F(FileXferTest, ReceivesWholeFilesAndSurvivesBadSenders) {
    const std::string data(2033, 'q'),
        offer = Raw(XFER_OFFER, OfferPayload("f", 10, 1)),
        two = Raw(XFER_OFFER, OfferPayload("../../photo.bin", 2033, 2)),
        block = Raw(XFER_BLOCK, data.substr(0, 2032)),
        bigName = Raw(XFER_OFFER, OfferPayload(std::string(10000, 'n'), 9, 1)),
        last = Raw(XFER_LAST_BLOCK, "q");
    const struct {
        const char* what;
        bool accept;
        std::vector<std::string> script; // each answered at once; "" waits for the engine
        long reply, code;
        std::string asked;
    } cases[] = {
        {"whole file", true, {two, block, last}, XFER_COMPLETE, 0, "photo.bin"},
        {"4 GB payload", true, {Raw(XFER_OFFER, "", 16, 0xFFFFFFF0)}, XFER_CANCEL, 16, ""},
        {"10000-byte name", true, {bigName}, XFER_CANCEL, 16, ""},
        {"size 0", true, {Raw(XFER_OFFER, OfferPayload("f", 0, 0))}, XFER_REJECTED, 9, ""},
        {"user says no", false, {offer}, XFER_REJECTED, 9, "f"},
        {"block before accept", true, {Raw(XFER_LAST_BLOCK, "0123456789")}, XFER_CANCEL, 16, ""},
        {"more blocks than offered", true, {offer, Raw(XFER_BLOCK, "0123")}, XFER_CANCEL, 16, "f"},
        {"bytes past the size", true, {offer, Raw(XFER_LAST_BLOCK, data)}, XFER_CANCEL, 16, "f"},
        {"cancel in the middle", true, {two, block, Raw(XFER_CANCEL)}, 0, 0, "photo.bin"},
        {"peer stops answering", true, {offer, ""}, XFER_CANCEL, 16, "f"},
        // Last: the engine answers and goes on waiting for a good message.
        {"garbage head", true, {Raw(0x1234, "", 99)}, XFER_BAD_HEADER, -1, ""},
    };
    engine.SetIdleTimeout(300);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        events.clear();
        offered.clear();
        accept = c.accept;
        Peer peer(engine.ListenPort());
        ASSERT_EQ(peer.Next(), XFER_READY);
        long reply = -1;
        for (const std::string& m : c.script) {
            peer.Put(m);
            reply = peer.Next(nullptr, 1000);
        }
        EXPECT_EQ(reply, c.reply);
        if (c.code >= 0) {
            EXPECT_EQ(Finished(), c.code);
        }
        EXPECT_EQ(offered, c.asked);
        const bool whole = c.reply == XFER_COMPLETE;
        EXPECT_EQ(ReadAll(target), whole ? data : "");
        if (whole) { // the user's file, not a private temporary one
            EXPECT_EQ(std::filesystem::status(target).permissions(),
                      std::filesystem::perms(0666 & ~mask));
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), whole);
        std::filesystem::remove(target);
    }
    // A second caller while a transfer runs hears "busy" and is let go.
    Peer other(engine.ListenPort());
    EXPECT_EQ(other.Next(), XFER_BUSY);
    EXPECT_EQ(other.Next(), 0);
}

// The engine sends to a scripted receiver: what it sends after the offer, reply by reply.
TEST_F(FileXferTest, SendsAFileAndAnswersEveryReceiverReply) {
    std::uint16_t port = 0;
    const int lfd = BindLoopback(5, port);
    const std::string path = (dir / "src.bin").string();
    WriteAll(path, std::string(2033, 'd'));
    const long off = XFER_OFFER, bad = XFER_BAD_HEADER;
    const struct {
        std::vector<long> replies, seen; // each reply, and what the engine sends after it
        long code;
    } cases[] = {
        {{XFER_ACCEPTED, XFER_ACK, XFER_COMPLETE}, {XFER_BLOCK, XFER_LAST_BLOCK, 0}, FXF_DONE},
        {{XFER_REJECTED}, {0}, FXF_REJECTED},
        {{XFER_BUSY}, {0}, FXF_BUSY},
        {{XFER_ACK}, {XFER_CANCEL}, FXF_SOCKET}, // an ack for a block never sent
        {{bad, bad, bad, bad, bad, bad}, {off, off, off, off, off, 0}, FXF_SOCKET},
    };
    for (const auto& c : cases) {
        events.clear();
        ASSERT_TRUE(engine.SendFile("127.0.0.1", port, path, "Ann"));
        EXPECT_TRUE(!engine.SendFile("127.0.0.1", 1, path, "A") && engine.LastError() == 7);
        Peer peer(::accept(lfd, nullptr, nullptr));
        peer.Put(Raw(XFER_READY));
        std::string payload;
        ASSERT_EQ(peer.Next(&payload), XFER_OFFER);
        EXPECT_EQ(payload, OfferPayload("src.bin", 2033, 2, "Ann"));
        for (std::size_t i = 0; i < c.replies.size(); ++i) {
            peer.Put(Raw(std::uint32_t(c.replies[i])));
            EXPECT_EQ(peer.Next(), c.seen[i]) << c.code << " " << i;
        }
        EXPECT_EQ(Finished(), c.code);
    }
    ::close(lfd);
    WriteAll(dir / "huge.bin", "");
    ASSERT_EQ(::truncate((dir / "huge.bin").c_str(), 0x100000000LL), 0);
    for (const auto& [file, failure] : std::vector<std::pair<const char*, long>>{
             {"src.bin", FXF_NO_PEER}, {"huge.bin", FXF_TOO_LARGE}, {"none.bin", FXF_FILE}}) {
        events.clear();
        ASSERT_TRUE(engine.SendFile("127.0.0.1", port, (dir / file).string(), "A"));
        EXPECT_EQ(
            std::count(events.begin(), events.end(), std::pair<int, long>{FXE_FAILURE, failure}),
            1);
        EXPECT_EQ(Finished(), failure == FXF_NO_PEER ? FXF_SOCKET : FXF_FILE);
    }
}
