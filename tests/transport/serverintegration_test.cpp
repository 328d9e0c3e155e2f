// The transport and session against the reference server, started here on a free loopback port.
#include "loopback.h"

#include "chatcontext.h"
#include "chatprotocol.h"
#include "chatsession.h"
#include "chatsocket.h"
#include "scripteddialogservice.h"

#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

class ReferenceServer {
public:
    ReferenceServer() {
        const QByteArray dir = qgetenv("KIVRA_BIN_DIR");
        m_process.setProgram(QString::fromLocal8Bit(dir) + "/kivra-server");
        m_process.setArguments({"--open", "--port", "0", "--http-port", "-1", "--bind", "127.0.0.1",
                                "--ticker-seconds", "0"});
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return;
        // The first line names the ports it chose: "... chat=PORT http=PORT".
        if (!m_process.waitForReadyRead(5000))
            return;
        const QString first = QString::fromLocal8Bit(m_process.readLine());
        const auto m = QRegularExpression("chat=(\\d+)").match(first);
        if (m.hasMatch())
            m_port = static_cast<std::uint16_t>(m.captured(1).toUInt());
    }
    ~ReferenceServer() {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    std::uint16_t Port() const { return m_port; }

private:
    QProcess m_process;
    std::uint16_t m_port = 0;
};

// One client as the panel assembles it, with the real protocol object.
struct Client {
    CChatContext context;
    kt::RecordingView view;
    kt::RecordingWindow window;
    kivra::platform::ScriptedDialogService dialogs;
    CChatSocket transport{&context};
    CChatProtocol protocol{&context};
    CChatSession session{context, transport, protocol, window, dialogs};

    Client(const std::string& name, const std::string& ports) {
        context.m_pOutput = &view;
        context.m_pTransport = &transport;
        context.m_pProtocol = &protocol;
        context.SetOption(CHATOPT_NOFILEXFER, true);
        CopyParam(context.m_params.szServer, "127.0.0.1");
        CopyParam(context.m_params.szPortList, ports);
        CopyParam(context.m_params.szUserName, name);
        CopyParam(context.m_params.szPassword, "pw");
        transport.SetNotifyWindow(&window);
        window.onSocket = [this](long l) { return session.OnSocketMessage(l); };
        window.onTimer = [this](unsigned id) { session.OnTimer(id); };
    }
    ~Client() { session.Shutdown(); }
};

} // namespace

TEST(ReferenceServerSession, RefusedPortsAreSkippedThenTwoUsersTalk) {
    ReferenceServer server;
    ASSERT_NE(server.Port(), 0) << "kivra-server did not start";
    kt::RefusedPort a, b;
    const std::string ports = std::to_string(a.Port()) + "-" + std::to_string(a.Port()) + ", " +
                              std::to_string(b.Port()) + ", " + std::to_string(server.Port());

    Client ann("Ann", ports);
    ann.session.Start();
    ASSERT_TRUE(ann.transport.IsConnected());
    EXPECT_EQ(ann.transport.PortIndex(), 2);
    EXPECT_NE(ann.view.text.find("Connected\r\n\r\n"), std::string::npos);
    ASSERT_TRUE(kt::PumpUntil(
        [&] { return ann.view.text.find("Welcome to Kivra, Ann") != std::string::npos; }));

    Client bob("Bob", std::to_string(server.Port()));
    bob.session.Start();
    ASSERT_TRUE(bob.transport.IsConnected());
    ASSERT_TRUE(kt::PumpUntil(
        [&] { return bob.view.text.find("Welcome to Kivra, Bob") != std::string::npos; }));

    bob.protocol.SendSay("hello from bob\r\n");
    EXPECT_TRUE(kt::PumpUntil([&] {
        return ann.view.text.find("hello from bob") != std::string::npos;
    })) << ann.view.text;
    ann.protocol.SendSay(":waves\r\n");
    EXPECT_TRUE(kt::PumpUntil([&] { return bob.view.text.find("waves") != std::string::npos; }))
        << bob.view.text;
    EXPECT_TRUE(ann.dialogs.Requests().empty());
}

TEST(ReferenceServerSession, ReadAfterTheServerWentAwayGives6) {
    auto server = std::make_unique<ReferenceServer>();
    ASSERT_NE(server->Port(), 0);
    Client ann("Ann", std::to_string(server->Port()));
    ann.session.Start();
    ASSERT_TRUE(ann.transport.IsConnected());
    ann.window.SetTimer(TIMER_SOCKET_POLL, 30000);
    server.reset();
    ASSERT_TRUE(kt::PumpUntil([&] { return !ann.transport.IsConnected(); }));
    EXPECT_FALSE(ann.window.HasTimer(TIMER_SOCKET_POLL)) << "the peer-closed path stops timers";
    char* data = nullptr;
    int length = 0;
    EXPECT_EQ(ann.transport.ReceiveData(data, length, 0), 6);
    EXPECT_STREQ(ann.transport.ErrorText(6), "No current connection");
    EXPECT_TRUE(ann.dialogs.Requests().empty()) << "a close is not a read error";
}
