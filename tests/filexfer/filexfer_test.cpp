// The transfer engine against a scripted peer on loopback: the messages byte for byte, both
// directions of a transfer, and a peer that misbehaves in every way the engine must survive.

#include "filexfer.h"
#include "pump.h"
#include "tempdir.h"

#include <QTimer>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
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
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    std::string rx;
    ~Peer() { ::close(fd); }
    bool Connect(std::uint16_t port) {
        sockaddr_in a = {AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        return ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    void Put(const std::string& bytes) { ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // The next message's type (its payload into `payload`); 0 once closed, -1 on timeout.
    long Next(std::string* payload = nullptr, int ms = 3000) {
        long type = -1;
        PumpUntil(
            [&] {
                if (type >= 0)
                    return true;
                char buf[8192];
                const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
                if (n > 0)
                    rx.append(buf, std::size_t(n));
                const auto* p = reinterpret_cast<const std::uint8_t*>(rx.data());
                if (rx.size() >= 16 && rx.size() >= 16 + GetU32(p + 8)) {
                    type = GetU32(p);
                    if (payload)
                        *payload = rx.substr(12, GetU32(p + 8));
                    rx.erase(0, 16 + GetU32(p + 8));
                } else if (n == 0) {
                    type = 0;
                }
                return type >= 0;
            },
            ms);
        return type;
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
    bool Saw(int event, long a1) const {
        return std::count(events.begin(), events.end(), std::pair<int, long>{event, a1}) > 0;
    }
    // The finish code once the engine is idle again.
    long Finished() {
        PumpUntil([&] {
            return Saw(FXE_FINISHED, 0) || Saw(FXE_FINISHED, 4) || Saw(FXE_FINISHED, 9) ||
                   Saw(FXE_FINISHED, 16) || Saw(FXE_FINISHED, 17);
        });
        EXPECT_FALSE(engine.IsRunning());
        EXPECT_FALSE(engine.IsPolling()); // no timer while idle
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->first == FXE_FINISHED)
                return it->second;
        return -1;
    }
    bool NoFiles() const {
        return std::distance(std::filesystem::directory_iterator(dir.path()), {}) == 0;
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
    EXPECT_EQ(Raw(XFER_READY), std::string("\x80\x22\0\0\x10\0\0\0\0\0\0\0\0\0\0\0", 16));
    const auto ready = EncodeMessage(XFER_READY);
    EXPECT_EQ(std::string(ready.begin(), ready.end()), Raw(XFER_READY));
    const auto offer = EncodeOffer({"a.txt", "Eve", 2033, 2});
    EXPECT_EQ(std::string(offer.begin(), offer.end()),
              std::string("\5\0\0\0\3\0\0\0\xF1\x07\0\0\2\0\0\0a.txtEve", 24));
    EXPECT_EQ(BlockCount(2032), 1u);
    EXPECT_EQ(BlockCount(2033), 2u);
    for (const auto& [in, out] : std::vector<std::pair<std::string, std::string>>{
             {"../../.bashrc", ".bashrc"},
             {"C:\\dir\\x.doc", "x.doc"},
             {"..", "received-file"},
             {"a/", "received-file"},
             {std::string("x\ny"), "received-file"},
             {std::string(300, 'n'), std::string(127, 'n')}})
        EXPECT_EQ(SafeFileName(in), out) << in;
}

TEST_F(FileXferTest, ReceivesAnOfferedFileWhole) {
    Peer peer;
    ASSERT_TRUE(peer.Connect(engine.ListenPort()));
    ASSERT_EQ(peer.Next(), XFER_READY);
    const std::string data(2033, 'q');
    peer.Put(Raw(XFER_OFFER, OfferPayload("../../photo.bin", 2033, 2)));
    ASSERT_EQ(peer.Next(), XFER_ACCEPTED);
    EXPECT_EQ(offered, "photo.bin");
    // A second caller while the file moves hears "busy".
    Peer other;
    ASSERT_TRUE(other.Connect(engine.ListenPort()));
    EXPECT_EQ(other.Next(), XFER_BUSY);
    EXPECT_EQ(other.Next(), 0);
    peer.Put(Raw(XFER_BLOCK, data.substr(0, 2032)));
    ASSERT_EQ(peer.Next(), XFER_ACK);
    EXPECT_FALSE(std::filesystem::exists(target)); // not before the last block
    peer.Put(Raw(XFER_LAST_BLOCK, data.substr(2032)));
    EXPECT_EQ(peer.Next(), XFER_COMPLETE);
    EXPECT_EQ(Finished(), FXF_DONE);
    EXPECT_EQ(ReadAll(target), data);
    EXPECT_TRUE(Saw(FXE_BUSY, 0) || Saw(FXE_BUSY, 1));
    EXPECT_TRUE(Saw(FXE_BLOCK_RECEIVED, 2));
}

// A sender that breaks the rules: the reply the engine gives, and no file is left behind.
TEST_F(FileXferTest, BadSendersEndTheTransferAndLeaveNoFile) {
    const std::string offer = Raw(XFER_OFFER, OfferPayload("f", 10, 1));
    const struct {
        const char* what;
        bool accept;
        std::vector<std::string> script;
        long reply;
        long code;
        bool asked;
    } cases[] = {
        {"4 GB payload", true, {Raw(XFER_OFFER, "", 16, 0xFFFFFFF0)}, XFER_CANCEL, 16, false},
        {"10000-byte name",
         true,
         {Raw(XFER_OFFER, OfferPayload(std::string(10000, 'n'), 9, 1))},
         XFER_CANCEL,
         16,
         false},
        {"size 0", true, {Raw(XFER_OFFER, OfferPayload("f", 0, 0))}, XFER_REJECTED, 9, false},
        {"user says no", false, {offer}, XFER_REJECTED, 9, true},
        {"block before accept", true, {Raw(XFER_LAST_BLOCK, "0123456789")}, XFER_CANCEL, 16, false},
        {"more blocks than offered",
         true,
         {offer, Raw(XFER_BLOCK, "0123456789")},
         XFER_CANCEL,
         16,
         true},
        {"bytes past the size",
         true,
         {offer, Raw(XFER_LAST_BLOCK, std::string(11, 'x'))},
         XFER_CANCEL,
         16,
         true},
        {"cancel in the middle",
         true,
         {Raw(XFER_OFFER, OfferPayload("f", 4064, 2)), Raw(XFER_BLOCK, std::string(2032, 'x')),
          Raw(XFER_CANCEL)},
         0,
         0,
         true},
        {"peer stops answering", true, {offer, ""}, XFER_CANCEL, 16, true},
        // Last: the engine answers and goes on waiting for a good message.
        {"garbage head", true, {Raw(0x1234, "", 99)}, XFER_BAD_HEADER, -1, false},
    };
    engine.SetIdleTimeout(300);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        events.clear();
        accept = c.accept;
        Peer peer;
        ASSERT_TRUE(peer.Connect(engine.ListenPort()));
        ASSERT_EQ(peer.Next(), XFER_READY);
        long reply = -1;
        for (const std::string& m : c.script) { // each answered at once; "" waits
            peer.Put(m);
            reply = peer.Next(nullptr, 1000);
        }
        EXPECT_EQ(reply, c.reply);
        if (c.code >= 0) {
            EXPECT_EQ(Finished(), c.code);
        }
        EXPECT_EQ(!offered.empty(), c.asked);
        EXPECT_TRUE(NoFiles());
        offered.clear();
    }
}

TEST_F(FileXferTest, SendsAFileAndAnswersEveryReceiverReply) {
    const int lfd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(lfd, reinterpret_cast<sockaddr*>(&a), len), 0);
    ::listen(lfd, 5);
    ::getsockname(lfd, reinterpret_cast<sockaddr*>(&a), &len);
    const std::string data(2033, 'd');
    WriteAll(dir / "src.bin", data);
    const struct {
        const char* what;
        std::vector<long> replies; // after the offer; each answers the message before it
        std::vector<long> seen;    // what the engine sent after the offer
        long code;
    } cases[] = {
        {"whole file",
         {XFER_ACCEPTED, XFER_ACK, XFER_COMPLETE},
         {XFER_BLOCK, XFER_LAST_BLOCK, 0},
         FXF_DONE},
        {"rejected", {XFER_REJECTED}, {0}, FXF_REJECTED},
        {"busy", {XFER_BUSY}, {0}, FXF_BUSY},
        {"ack for a block never sent", {XFER_ACK}, {XFER_CANCEL}, FXF_SOCKET},
        {"bad header six times",
         std::vector<long>(6, XFER_BAD_HEADER),
         {XFER_OFFER, XFER_OFFER, XFER_OFFER, XFER_OFFER, XFER_OFFER, 0},
         FXF_SOCKET},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        events.clear();
        ASSERT_TRUE(
            engine.SendFile("127.0.0.1", ntohs(a.sin_port), (dir / "src.bin").string(), "Ann"));
        EXPECT_FALSE(engine.SendFile("127.0.0.1", 1, (dir / "src.bin").string(), "Ann"));
        EXPECT_EQ(engine.LastError(), FXF_SENDING);
        Peer peer;
        ::close(peer.fd);
        peer.fd = ::accept(lfd, nullptr, nullptr);
        peer.Put(Raw(XFER_READY));
        std::string payload;
        ASSERT_EQ(peer.Next(&payload), XFER_OFFER);
        EXPECT_EQ(payload, OfferPayload("src.bin", 2033, 2, "Ann"));
        for (std::size_t i = 0; i < c.replies.size(); ++i) {
            peer.Put(Raw(std::uint32_t(c.replies[i])));
            EXPECT_EQ(peer.Next(&payload), c.seen[i]) << i;
        }
        EXPECT_EQ(Finished(), c.code);
    }
    ::close(lfd);
    WriteAll(dir / "huge.bin", "");
    ASSERT_EQ(::truncate((dir / "huge.bin").c_str(), 0x100000000LL), 0);
    for (const auto& [file, failure] : std::vector<std::pair<const char*, long>>{
             {"src.bin", FXF_NO_PEER}, {"huge.bin", FXF_TOO_LARGE}, {"none.bin", FXF_FILE}}) {
        events.clear();
        ASSERT_TRUE(engine.SendFile("127.0.0.1", ntohs(a.sin_port), (dir / file).string(), "A"));
        EXPECT_TRUE(Saw(FXE_FAILURE, failure)) << file;
        EXPECT_EQ(Finished(), failure == FXF_NO_PEER ? FXF_SOCKET : FXF_FILE);
    }
}
