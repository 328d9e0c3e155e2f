// CHttpTunnel against a scripted HTTP server: the requests byte for byte, and what answers do.

#include "httptunnel.h"
#include "scriptedhttp.h"

#include <httpclient.h>

#include <gtest/gtest.h>

namespace {

using T = CHttpTunnel;

std::unique_ptr<CHttpTunnel> Tunnel(std::uint16_t port) {
    auto t = std::make_unique<CHttpTunnel>("Kivra Active-X Chat Control", 1, "", "127.0.0.1", port,
                                           "/chat/", "tunnel.asp");
    kivra::platform::net::HttpLimits limits;
    limits.connectTimeoutMs = 2000;
    limits.totalTimeoutMs = 1500;
    limits.maxAnswerBytes = 256 * 1024;
    t->SetLimits(limits);
    return t;
}

} // namespace

TEST(HttpTunnel, RequestsAreTheBodiesByteForByteAndCarryTheOpenAnswersNumbers) {
    kt::ScriptedHttp http;
    auto t = Tunnel(http.Port());
    unsigned char* data = nullptr;
    int length = 0;
    char one[] = "x";
    EXPECT_EQ(t->sendRequest(reinterpret_cast<unsigned char*>(one), 1), T::RTS_CONNDOWN);
    EXPECT_EQ(t->getRequest(data, length), T::RTS_CONNDOWN);
    EXPECT_EQ(t->closeRequest(), T::RTS_CONNDOWN);
    EXPECT_TRUE(http.Requests().empty()) << "not connected: no exchange at all";

    // The status line on stderr is the host's end-to-end tunnel test's.
    http.Body("connectionid=12\nNonce=77\nstatus=ok\n");
    EXPECT_EQ(t->openRequest("chat.example", 7000), T::RTS_OK);

    // ">?~" encodes to "Pj9+", "\xfb\xff" to "+/8=": plus and equals escaped, slash kept.
    unsigned char bytes[] = {'>', '?', '~', 0xfb, 0xff};
    http.Body("Status=OK\n");
    EXPECT_EQ(t->sendRequest(bytes, 5), T::RTS_OK);
    http.Body("Data=aGk=\n");
    EXPECT_EQ(t->getRequest(data, length), T::RTS_UNKNOWN) << "a Data answer has no Status";
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), length), "hi");
    delete[] data;
    http.Body("Status=OK\n");
    EXPECT_EQ(t->closeRequest(), T::RTS_OK);
    EXPECT_FALSE(t->m_bConnected);
    t->InitSession("127.0.0.1", http.Port(), "/x", "y.asp");
    EXPECT_EQ(t->m_strObject, "/xy.asp") << "prefix and page, nothing between them";
    EXPECT_EQ(t->m_nConnectionID, 12) << "the numbers outlive a new address";

    const auto requests = http.Requests();
    ASSERT_EQ(requests.size(), 4u);
    const std::string head = requests[0].substr(0, requests[0].find("\r\n\r\n"));
    EXPECT_EQ(head.substr(0, head.find("\r\n")), "POST /chat/tunnel.asp HTTP/1.1");
    EXPECT_NE(head.find("User-Agent: Kivra Active-X Chat Control\r\n"), std::string::npos);
    EXPECT_EQ(head.find("Content-Type"), std::string::npos) << head;
    EXPECT_EQ(head.find("Accept:"), std::string::npos) << head;
    const char* bodies[] = {
        "Command=Open&Server=chat.example&Port=7000",
        "Command=Write&ConnectionID=12&Nonce=77&Data=Pj9%2B%2B/8%3D",
        "Command=Read&ConnectionID=12&Nonce=77",
        "Command=Close&ConnectionID=12&Nonce=77",
    };
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(requests[i].substr(requests[i].find("\r\n\r\n") + 4), bodies[i]);
}

TEST(HttpTunnel, OpenAnswersDecideTheStateAndOnlyAFailureToReachThePageIsReported) {
    const std::pair<const char*, T::RTSTATUS> cases[] = {
        {"Status=OK\r\nConnectionID=1\n", T::RTS_UNKNOWN}, // the CR stays in the word
        {"Status=CONNREFUSED\n", T::RTS_CONNREFUSED},
        {"ConnectionID=3\nNonce=4\n", T::RTS_UNKNOWN},
        {"Status=MAYBE\n", T::RTS_UNKNOWN},
        {"junk\n\nStatus=CONNFAILED", T::RTS_CONNFAILED},
        {nullptr, T::RTS_UNKNOWN}, // nobody listens: the HTTP layer's own text is reported
    };
    for (const auto& [answer, status] : cases) {
        SCOPED_TRACE(answer ? answer : "nobody listens");
        auto http = std::make_unique<kt::ScriptedHttp>();
        auto t = Tunnel(http->Port());
        std::string reported = "none";
        t->SetErrorReporter([&](const std::string& text) { reported = text; });
        if (answer != nullptr)
            http->Body(answer);
        else
            http.reset();
        EXPECT_EQ(t->openRequest("h", 1), status);
        EXPECT_FALSE(t->m_bConnected);
        EXPECT_EQ(reported == "none", answer != nullptr) << reported;
    }
}

TEST(HttpTunnel, BrokenOrOddAnswersFailAsUnknownWithoutHangingOrGrowing) {
    struct Case {
        const char* name;
        std::string answer;
        T::RTSTATUS status;
        const char* data; // nullptr: no bytes handed out
    };
    const Case cases[] = {
        {"404 is parsed like any answer",
         "HTTP/1.1 404 Not Found\r\nContent-Length: 10\r\n\r\nData=aGk=\n", T::RTS_UNKNOWN, "hi"},
        {"a redirect is not followed",
         "HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 0\r\n\r\n", T::RTS_UNKNOWN,
         nullptr},
        {"cut mid-answer", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nStatus=OK\nData=aG",
         T::RTS_UNKNOWN, nullptr},
        {"not HTTP at all", "garbage\r\n\r\n", T::RTS_UNKNOWN, nullptr},
        {"endless body", kt::ScriptedHttp::kEndless, T::RTS_UNKNOWN, nullptr},
        {"stalled page", kt::ScriptedHttp::kStall, T::RTS_UNKNOWN, nullptr},
        {"invalid Base64", "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\nData=!!\n", T::RTS_UNKNOWN,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kt::ScriptedHttp http;
        auto t = Tunnel(http.Port());
        http.Body("Status=OK\nConnectionID=5\nNonce=9\n");
        ASSERT_EQ(t->openRequest("chat.example", 7000), T::RTS_OK);
        http.Answer(c.answer);
        unsigned char* data = nullptr;
        int length = 0;
        EXPECT_EQ(t->getRequest(data, length), c.status);
        if (c.data == nullptr) {
            EXPECT_EQ(data, nullptr);
            EXPECT_EQ(length, 0);
        } else {
            ASSERT_NE(data, nullptr);
            EXPECT_EQ(std::string(reinterpret_cast<char*>(data), length), c.data);
        }
        delete[] data;
        EXPECT_EQ(http.Requests().size(), 2u);
        EXPECT_TRUE(t->m_bConnected) << "a failed poll leaves the tunnel as it was";
    }
}
