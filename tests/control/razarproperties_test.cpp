#include "controlfixture.h"
#include "razarproperties.h"

#include <gtest/gtest.h>

using namespace kivra::control;

namespace {
const Params kCredentials = {
    {"SERVER", "chat.example"}, {"PORT", "7000-7003"}, {"USERNAME", "Ann"}};
} // namespace

// What a page without other PARAMs saves back, in order; then a false and a non-boolean (the
// other spellings are the property bag's and the host's tests).
TEST(PropertyExchange, DefaultsOrderAndBooleansAsPagesWriteThem) {
    ControlFixture f;
    kivra::platform::PropertyBag bag;
    f.NewControl(kCredentials)->Save(bag);
    std::string saved;
    for (const auto& [name, value] : bag.Entries())
        saved += name + "=" + value + " ";
    EXPECT_EQ(saved,
              "TITLE= CONNECTTYPE= SERVER=chat.example PORT=7000-7003 USERNAME=Ann PASSWORD= "
              "ROOM= CHANNEL= COOKIE= LOGOFILE= TICKERTEXT=30 CHATPROMPT= EMOTIONLIST= "
              "USERLIST= HTTPPROXY= HTTPSERVER= HTTPPORT= TUNNELPREFIX= TUNNELPAGE= "
              "TUNNELMODE= POLLING=0 CONNECTONSTARTUP=TRUE DISABLEFILEXFER=FALSE "
              "PWREQUIRED=TRUE DISABLEWHOIS=FALSE DISABLEAVATARS=FALSE "
              "DISABLEPRIVATEMSG=FALSE ");
    Params params = kCredentials;
    params.insert(params.end(), {{"PwRequired", "0"}, {"DISABLEPRIVATEMSG", "maybe"}});
    const RazarProperties& p = f.NewControl(params)->Properties();
    EXPECT_FALSE(p.m_bPwRequired);
    EXPECT_FALSE(p.m_bDisablePrivateMsg); // no boolean: the default stays
    EXPECT_EQ(p.m_strServer, "chat.example");
}

TEST(PropertyExchange, AnyMissingOrUnsetCredentialEmptiesAllThree) {
    const Params cases[] = {
        {{"PORT", "1"}, {"USERNAME", "Ann"}},
        {{"SERVER", "a"}, {"USERNAME", "Ann"}},
        {{"SERVER", "a"}, {"PORT", "1"}},
        {{"SERVER", "a"}, {"PORT", "1"}, {"USERNAME", "VALUE_UNSET"}},
    };
    ControlFixture f;
    for (Params params : cases) {
        params.push_back({"CONNECTONSTARTUP", "TRUE"});
        const RazarProperties& p = f.NewControl(params)->Properties();
        EXPECT_EQ(p.m_strServer + p.m_strPort + p.m_strUserName, "") << params[1].first;
        EXPECT_FALSE(p.m_bConnectOnStartup) << params[1].first;
    }
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
