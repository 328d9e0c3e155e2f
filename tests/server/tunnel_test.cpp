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

class Tunnel : public ServerTest {
protected:
    QByteArray Post(const QByteArray& body) { return server.Post("/tunnel", body); }
    QByteArray Ids() const { return "&ConnectionID=" + id + "&Nonce=" + nonce; }
    // Polls Read answers until `needle` has come through; returns all decoded bytes.
    QByteArray ReadUntil(const QByteArray& needle) {
        QByteArray all;
        QElapsedTimer t;
        t.start();
        while (!all.contains(needle) && t.elapsed() < 5000) {
            const QByteArray answer = Post("Command=Read" + Ids());
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
    QByteArray id, nonce;
};

} // namespace

TEST_F(Tunnel, OpenWriteReadCloseBridgesToTheChatPort) {
    auto watcher = LoggedIn(server, "Watcher");
    const QByteArray open =
        Post("Command=Open&Server=127.0.0.1&Port=" + QByteArray::number(server.ChatPort()));
    ASSERT_TRUE(open.startsWith("Status=OK\n")) << open.constData();
    EXPECT_EQ(open.count('\r'), 0);
    id = Field(open, "ConnectionID");
    nonce = Field(open, "Nonce");
    ASSERT_GT(id.toInt(), 0);
    ASSERT_NE(nonce.toInt(), 0);

    // The chat side's first bytes (IAC WILL ECHO) come back through Read.
    EXPECT_TRUE(ReadUntil("\xFF\xFB\x01").startsWith("\xFF\xFB\x01"));

    const QByteArray login = "\xFF\xFE\x01\xFF\xFD\x03\xFF\xFC\x18\x01<begin>\n<username> Tess\n"
                             "<password> pw\n<clientversion> 5.0.0.203\n<end>\n";
    EXPECT_EQ(Post("Command=Write" + Ids() + "&Data=" + Escaped(login)), "Status=OK\n");
    const QByteArray entered = ReadUntil("Exits: ");
    EXPECT_TRUE(entered.contains("<user> Tess\r\n"));
    ASSERT_TRUE(watcher->WaitFor("<enter> Tess\r\n"));

    // Bytes that Base64 turns into "+" and "/" survive the escaping.
    EXPECT_EQ(Post("Command=Write" + Ids() + "&Data=" + Escaped("say ~~~>>>???\r\n")),
              "Status=OK\n");
    ASSERT_TRUE(watcher->WaitFor("~~~>>>???"));
    watcher->Send("say back to you\r\n");
    EXPECT_TRUE(ReadUntil("back to you").contains("Watcher\x1b[0;34m says, \"back to you"));

    EXPECT_EQ(Post("Command=Close" + Ids()), "Status=OK\n");
    EXPECT_EQ(Post("Command=Read" + Ids()), "Status=CONNDOWN\n");
    ASSERT_TRUE(watcher->WaitFor("<leave> Tess\r\n"));
}

TEST_F(Tunnel, BadRequestsGetAStatusTheClientCanParse) {
    EXPECT_EQ(Post("Command=Open&Server=example.org&Port=25"), "Status=CONNREFUSED\n");
    EXPECT_EQ(Post("Command=Open&Server=127.0.0.1&Port=" + QByteArray::number(server.HttpPort())),
              "Status=CONNREFUSED\n");
    EXPECT_EQ(Post("Command=Read&ConnectionID=999&Nonce=1"), "Status=CONNDOWN\n");
    EXPECT_EQ(Post("Command=Dance"), "Status=CONNFAILED\n");
    EXPECT_EQ(Post(QByteArray(3000, '&')), "Status=CONNFAILED\n");

    const QByteArray open =
        Post("Command=Open&Server=localhost&Port=" + QByteArray::number(server.ChatPort()));
    id = Field(open, "ConnectionID");
    nonce = Field(open, "Nonce");
    const QByteArray wrongNonce =
        "&ConnectionID=" + id + "&Nonce=" + QByteArray::number(nonce.toInt() + 1);
    EXPECT_EQ(Post("Command=Write" + wrongNonce + "&Data=YQ%3D%3D"), "Status=CONNDOWN\n");
    EXPECT_EQ(Post("Command=Write" + Ids() + "&Data=YQ"), "Status=CONNFAILED\n");
    EXPECT_EQ(Post("Command=Close" + Ids()), "Status=OK\n");
    EXPECT_EQ(Post("Command=Close" + Ids()), "Status=CONNDOWN\n");
}

TEST(TunnelIdle, IdleTunnelsAreClosed) {
    ServerProcess server({"--tunnel-idle", "1"});
    ASSERT_TRUE(server.Ok());
    const QByteArray open = server.Post("/tunnel", "Command=Open&Server=127.0.0.1&Port=" +
                                                       QByteArray::number(server.ChatPort()));
    const QByteArray ids =
        "&ConnectionID=" + Field(open, "ConnectionID") + "&Nonce=" + Field(open, "Nonce");
    EXPECT_NE(server.Post("/tunnel", "Command=Read" + ids), "Status=CONNDOWN\n");
    QThread::msleep(2500);
    EXPECT_EQ(server.Post("/tunnel", "Command=Read" + ids), "Status=CONNDOWN\n");
}

TEST_F(StaticFiles, AvatarsForEveryoneAndPages) {
    QByteArray body;
    EXPECT_EQ(server.Get("/avatars/somebody+new.gif", body), 200);
    EXPECT_TRUE(body.startsWith("GIF89a"));
    EXPECT_EQ(server.Get("/map.html", body), 200);
    EXPECT_TRUE(body.contains("<html"));
    EXPECT_EQ(server.Get("/sounds/chime.wav", body), 200);
    EXPECT_TRUE(body.startsWith("RIFF"));
    EXPECT_EQ(server.Get("/../CMakeLists.txt", body), 404);
    EXPECT_EQ(server.Get("/nothing-here.html", body), 404);
}
