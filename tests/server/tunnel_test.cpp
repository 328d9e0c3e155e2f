#include "chatserver.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

using StaticFiles = ServerTest;

namespace {

// The client's form escaping of Base64 text.
QByteArray Escaped(const QByteArray& bytes) {
    QByteArray b64 = bytes.toBase64();
    b64.replace("+", "%2B");
    b64.replace("=", "%3D");
    return b64;
}

QByteArray Field(const QByteArray& answer, const QByteArray& key) {
    const auto m = QRegularExpression("(?m)^" + key + "=(.*)$").match(QString::fromLatin1(answer));
    return m.captured(1).toLatin1();
}

// Opens a tunnel to the chat port; `ids` gets the fields the later commands carry.
QByteArray Open(ServerProcess& server, QByteArray& ids, const QByteArray& host = "127.0.0.1") {
    const QByteArray open = server.Post("/tunnel", "Command=Open&Server=" + host + "&Port=" +
                                                       QByteArray::number(server.ChatPort()));
    ids = "&ConnectionID=" + Field(open, "ConnectionID") + "&Nonce=" + Field(open, "Nonce");
    return open;
}

class Tunnel : public ServerTest {
protected:
    QByteArray Post(const QByteArray& body) { return server.Post("/tunnel", body); }
    // Polls Read answers until `needle` has come through; returns all decoded bytes.
    QByteArray ReadUntil(const QByteArray& needle) {
        QByteArray all;
        QElapsedTimer t;
        t.start();
        while (!all.contains(needle) && t.elapsed() < 5000) {
            const QByteArray answer = Post("Command=Read" + ids);
            if (answer.startsWith("Data=")) {
                // One record per Read answer, ended by a single LF.
                EXPECT_EQ(answer.count('\n'), 1);
                EXPECT_TRUE(answer.endsWith('\n'));
                all += QByteArray::fromBase64(answer.mid(5).trimmed());
            } else {
                EXPECT_EQ(answer, "Status=OK\n");
                QThread::msleep(20);
            }
        }
        return all;
    }
    QByteArray ids;
};

} // namespace

TEST_F(Tunnel, OpenWriteReadCloseBridgesToTheChatPort) {
    auto watcher = LoggedIn(server, "Watcher");
    const QByteArray open = Open(server, ids);
    ASSERT_TRUE(open.startsWith("Status=OK\n")) << open.constData();
    EXPECT_EQ(open.count('\r'), 0);
    ASSERT_GT(Field(open, "ConnectionID").toInt(), 0);
    ASSERT_NE(Field(open, "Nonce").toInt(), 0);

    // The chat side's first bytes (IAC WILL ECHO) come back through Read.
    EXPECT_TRUE(ReadUntil("\xFF\xFB\x01").startsWith("\xFF\xFB\x01"));

    const QByteArray login = "\xFF\xFE\x01\xFF\xFD\x03\xFF\xFC\x18\x01<begin>\n<username> Tess\n"
                             "<password> pw\n<clientversion> 5.0.0.203\n<end>\n";
    EXPECT_EQ(Post("Command=Write" + ids + "&Data=" + Escaped(login)), "Status=OK\n");
    EXPECT_TRUE(ReadUntil("Exits: ").contains("<user> Tess\r\n"));
    ASSERT_TRUE(watcher->WaitFor("<enter> Tess\r\n"));

    // Bytes that Base64 turns into "+" and "/" survive the escaping.
    EXPECT_EQ(Post("Command=Write" + ids + "&Data=" + Escaped("say ~~~>>>???\r\n")), "Status=OK\n");
    ASSERT_TRUE(watcher->WaitFor("~~~>>>???"));
    watcher->Send("say back to you\r\n");
    EXPECT_TRUE(ReadUntil("back to you").contains("Watcher\x1b[0;34m says, \"back to you"));

    EXPECT_EQ(Post("Command=Close" + ids), "Status=OK\n");
    EXPECT_EQ(Post("Command=Read" + ids), "Status=CONNDOWN\n");
    ASSERT_TRUE(watcher->WaitFor("<leave> Tess\r\n"));
}

TEST_F(Tunnel, BadRequestsGetAStatusTheClientCanParse) {
    EXPECT_EQ(Post("Command=Open&Server=example.org&Port=25"), "Status=CONNREFUSED\n");
    EXPECT_EQ(Post("Command=Open&Server=127.0.0.1&Port=" + QByteArray::number(server.HttpPort())),
              "Status=CONNREFUSED\n");
    EXPECT_EQ(Post("Command=Read&ConnectionID=999&Nonce=1"), "Status=CONNDOWN\n");
    EXPECT_EQ(Post("Command=Dance"), "Status=CONNFAILED\n");
    EXPECT_EQ(Post(QByteArray(3000, '&')), "Status=CONNFAILED\n");

    const QByteArray open = Open(server, ids, "localhost");
    const QByteArray wrongNonce = "&ConnectionID=" + Field(open, "ConnectionID") +
                                  "&Nonce=" + QByteArray::number(Field(open, "Nonce").toInt() + 1);
    EXPECT_EQ(Post("Command=Write" + wrongNonce + "&Data=YQ%3D%3D"), "Status=CONNDOWN\n");
    EXPECT_EQ(Post("Command=Write" + ids + "&Data=YQ"), "Status=CONNFAILED\n");
    EXPECT_EQ(Post("Command=Close" + ids), "Status=OK\n");
    EXPECT_EQ(Post("Command=Close" + ids), "Status=CONNDOWN\n");
}

TEST(TunnelIdle, IdleTunnelsAreClosed) {
    ServerProcess server({"--tunnel-idle", "1"});
    ASSERT_TRUE(server.Ok());
    QByteArray ids;
    Open(server, ids);
    EXPECT_NE(server.Post("/tunnel", "Command=Read" + ids), "Status=CONNDOWN\n");
    QThread::msleep(2500);
    EXPECT_EQ(server.Post("/tunnel", "Command=Read" + ids), "Status=CONNDOWN\n");
}

// Avatars are made for any name; nothing outside the page folder is served.
TEST_F(StaticFiles, AvatarsForEveryoneAndPages) {
    const std::tuple<const char*, int, const char*> cases[] = {
        {"/avatars/somebody+new.gif", 200, "GIF89a"},
        {"/map.html", 200, "<!DOCTYPE html>"},
        {"/sounds/chime.wav", 200, "RIFF"},
        {"/../CMakeLists.txt", 404, ""},
        {"/nothing-here.html", 404, ""}};
    for (const auto& [path, status, start] : cases) {
        QByteArray body;
        EXPECT_EQ(server.Http("GET", path, body), status) << path;
        EXPECT_TRUE(body.startsWith(start)) << path;
    }
}
