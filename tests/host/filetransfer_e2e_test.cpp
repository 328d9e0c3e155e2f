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
    ServerProcess server({"--http-port", "-1", "--bind", host});

    QByteArray data(100000, '\0'); // 50 blocks, the last one short
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 + i / 251);
    const QString source = dir.path() + "/photo.bin", target = dir.path() + "/got.bin";
    std::ofstream(source.toStdString(), std::ios::binary).write(data.constData(), data.size());

    Client ann, bob;
    Login(ann, server.ChatPort(), "Ann", {"SERVER=" + host});
    Login(bob, server.ChatPort(), "Bob", {"SERVER=" + host},
          {"ip", "netns", "exec", QString::fromStdString(ns)});
    ASSERT_TRUE(ann.Lists("[user] 0x000 Bob"));

    bob.Send("!answer yes\n!answer " + target.toLocal8Bit() + "\n");
    ann.Send("!answer " + source.toLocal8Bit() + "\n!select Bob\n!command 123\n");
    EXPECT_TRUE(bob.Shows(bob.err, "[box] Transfer Request: User Ann wants to send file "
                                   "'photo.bin' (100000 bytes).\\nDo you want to receive it?\n"));
    // While the test waits on one client, the other's few lines wait in its pipe.
    EXPECT_TRUE(bob.Shows(bob.err, "[progress] show 50\n[progress] hide\n"));
    EXPECT_TRUE(ann.Shows(ann.err, "[progress] show 50\n[progress] hide\n"));
    EXPECT_TRUE(ReadAll(target.toStdString()) == data.toStdString());
    EXPECT_TRUE(ann.Quit());
    EXPECT_TRUE(bob.Quit());
}
