// Two kivra clients send a file to each other directly. Every client listens at the chat port
// + 30 on the address the server sees, so the second client runs in a network namespace of its
// own, joined to this one by a veth pair the test makes and removes.

#include "hostprocess.h"

#include <cstdlib>
#include <unistd.h>

namespace {

class FileTransferHost : public HostProcess {
protected:
    void TearDown() override {
        if (!ns.empty())
            Ip("link del " + veth + "a"), Ip("netns del " + ns);
    }
    static bool Ip(const std::string& args) {
        return std::system(("ip " + args + " >/dev/null 2>&1").c_str()) == 0;
    }
    // The namespace with its end of the pair at NET.2; this side is NET.1.
    bool MakeNamespace() {
        const std::string id = std::to_string(::getpid() % 100000);
        ns = "kvxns" + id;
        veth = "kvx" + id;
        net = "10.203." + std::to_string(::getpid() % 250) + ".";
        return Ip("netns add " + ns) &&
               Ip("link add " + veth + "a type veth peer name " + veth + "b netns " + ns) &&
               Ip("addr add " + net + "1/30 dev " + veth + "a") &&
               Ip("link set " + veth + "a up") &&
               Ip("-n " + ns + " addr add " + net + "2/30 dev " + veth + "b") &&
               Ip("-n " + ns + " link set " + veth + "b up") && Ip("-n " + ns + " link set lo up");
    }
    std::string ns, veth, net;
};

} // namespace

TEST_F(FileTransferHost, FileSentFromTheUserMenuArrivesWhole) {
    if (::geteuid() != 0 || !MakeNamespace())
        GTEST_SKIP() << "cannot make a network namespace and a veth pair here (needs root and "
                        "the ip tool); the two clients' listeners would collide on one stack";
    const QString host = QString::fromStdString(net + "1");
    QProcess server, ann, bob;
    server.start(program + "-server", {"--open", "--port", "0", "--http-port", "-1",
                                       "--ticker-seconds", "0", "--bind", host});
    ASSERT_TRUE(server.waitForReadyRead(5000));
    const QString port = QRegularExpression("chat=(\\d+)").match(server.readLine()).captured(1);

    QByteArray data(100000, '\0'); // 50 blocks, the last one short
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 + i / 251);
    const QString source = dir.path() + "/photo.bin", target = dir.path() + "/got.bin";
    std::ofstream(source.toStdString(), std::ios::binary).write(data.constData(), data.size());

    QProcess* clients[2] = {&ann, &bob};
    QByteArray err[2];
    const QStringList args = {"--headless",   "--param", "SERVER=" + host, "--param",
                              "PORT=" + port, "--param", "PASSWORD=pw"};
    Prepare(ann);
    ann.start(program, args + QStringList{"--param", "USERNAME=Ann"});
    Prepare(bob);
    bob.start("ip", QStringList{"netns", "exec", QString::fromStdString(ns), program} + args +
                        QStringList{"--param", "USERNAME=Bob"});
    auto until = [&](int i, const QByteArray& text) {
        return WaitFor([&] {
            clients[1 - i]->waitForBytesWritten(10);
            clients[i]->waitForReadyRead(50);
            clients[i]->readAllStandardOutput();
            err[i] += clients[i]->readAllStandardError();
            return err[i].contains(text);
        });
    };
    ASSERT_TRUE(WaitFor([&] {
        err[0].clear();
        ann.write("!dump users\n");
        return until(0, "[end users]") && err[0].contains("[user] 0x000 Bob\n");
    })) << err[0].toStdString();

    bob.write("!answer yes\n!answer " + target.toLocal8Bit() + "\n");
    bob.waitForBytesWritten(5000);
    ann.write("!answer " + source.toLocal8Bit() + "\n!select Bob\n!command 123\n");
    EXPECT_TRUE(until(1, "[box] Transfer Request: User Ann wants to send file 'photo.bin' "
                         "(100000 bytes).\\nDo you want to receive it?\n"))
        << err[1].toStdString();
    EXPECT_TRUE(until(1, "[progress] show 50\n[progress] hide\n")) << err[1].toStdString();
    EXPECT_TRUE(until(0, "[progress] show 50\n[progress] hide\n")) << err[0].toStdString();
    EXPECT_TRUE(Slurp(target.toStdString()) == data.toStdString());

    for (QProcess* c : clients) {
        c->write("!quit\n");
        EXPECT_TRUE(c->waitForFinished(10000));
    }
    server.kill();
    server.waitForFinished(3000);
}
