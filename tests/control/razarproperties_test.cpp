#include "propertybag.h"
#include "razarctrl.h"
#include "razarproperties.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace kivra::control;
using kivra::platform::PropertyBag;

namespace {

// Loads a fresh control from these PARAMs and hands back what it saved, in order.
struct Loaded {
    RazarProperties props;
    std::vector<std::pair<std::string, std::string>> saved;
};

Loaded LoadParams(const std::vector<std::pair<std::string, std::string>>& params) {
    PropertyBag bag;
    for (const auto& [n, v] : params)
        bag.Write(n, v);
    auto* ctrl = new CRazarCtrl();
    ctrl->Load(bag);
    Loaded out{ctrl->Properties(), {}};
    PropertyBag saved;
    ctrl->Save(saved);
    out.saved = saved.Entries();
    static_cast<kivra::platform::IDispatch*>(ctrl)->Release();
    return out;
}

const std::vector<std::pair<std::string, std::string>> kCredentials = {
    {"SERVER", "chat.example"}, {"PORT", "7000-7003"}, {"USERNAME", "Ann"}};

} // namespace

TEST(PropertyExchange, DefaultsAndOrderWithCredentials) {
    const Loaded l = LoadParams(kCredentials);
    ASSERT_EQ(l.saved.size(), kExchangedPropertyCount);
    const QStringList order =
        QString("TITLE CONNECTTYPE SERVER PORT USERNAME PASSWORD ROOM CHANNEL COOKIE LOGOFILE "
                "TICKERTEXT CHATPROMPT EMOTIONLIST USERLIST HTTPPROXY HTTPSERVER HTTPPORT "
                "TUNNELPREFIX TUNNELPAGE TUNNELMODE POLLING CONNECTONSTARTUP DISABLEFILEXFER "
                "PWREQUIRED DISABLEWHOIS DISABLEAVATARS DISABLEPRIVATEMSG")
            .split(' ');
    for (std::size_t i = 0; i < kExchangedPropertyCount; ++i)
        EXPECT_EQ(l.saved[i].first, order[qsizetype(i)].toStdString()) << i;
    EXPECT_EQ(l.props.m_strTickerText, "30");
    EXPECT_EQ(l.props.m_strPolling, "0");
    EXPECT_TRUE(l.props.m_bConnectOnStartup);
    EXPECT_TRUE(l.props.m_bPwRequired);
    EXPECT_FALSE(l.props.m_bDisableWhois);
    EXPECT_EQ(l.saved[21].second, "TRUE");
    EXPECT_EQ(l.saved[22].second, "FALSE");
}

TEST(PropertyExchange, AnyMissingCredentialEmptiesAllThree) {
    for (const char* missing : {"SERVER", "PORT", "USERNAME"}) {
        std::vector<std::pair<std::string, std::string>> params;
        for (const auto& p : kCredentials) {
            if (p.first != missing)
                params.push_back(p);
        }
        params.push_back({"CONNECTONSTARTUP", "TRUE"});
        const Loaded l = LoadParams(params);
        EXPECT_EQ(l.props.m_strServer, "") << missing;
        EXPECT_EQ(l.props.m_strPort, "") << missing;
        EXPECT_EQ(l.props.m_strUserName, "") << missing;
        EXPECT_FALSE(l.props.m_bConnectOnStartup) << missing;
    }
    // Written out as the literal word it is still unset.
    const Loaded l = LoadParams({{"SERVER", "a"}, {"PORT", "1"}, {"USERNAME", "VALUE_UNSET"}});
    EXPECT_EQ(l.props.m_strServer, "");
}

// Each boolean spelling and name matching in any case are the property bag's own tests, and the
// host's PARAM test reads "true" and "-1" through the exchange; here a false and a non-boolean.
TEST(PropertyExchange, NamesIgnoreCaseAndBooleansReadAsPagesWriteThem) {
    auto params = kCredentials;
    params.push_back({"PwRequired", "0"});
    params.push_back({"DISABLEPRIVATEMSG", "maybe"}); // no boolean: the default stays
    const Loaded l = LoadParams(params);
    EXPECT_FALSE(l.props.m_bPwRequired);
    EXPECT_FALSE(l.props.m_bDisablePrivateMsg);
    EXPECT_EQ(l.props.m_strServer, "chat.example");
}

TEST(PropertyExchange, WholeNumberReadsLeadingDigitsOnly) {
    const std::pair<const char*, int> cases[] = {{"20", 20},
                                                 {"  7 seconds", 7},
                                                 {"-3", -3},
                                                 {"NONE", 0},
                                                 {"", 0},
                                                 {"99999999999999999999", 2147483647},
                                                 {"-99999999999999999999", -2147483647 - 1}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(WholeNumber(text), value) << text;
}
