#include "controlfixture.h"

#include "connectionpoint.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace kivra::control;
using namespace kivra::platform;

// The option flags follow the switches with polling last; the ticker exists only for a positive
// period.
TEST(ChatControl, OptionFlagsAndTickerFollowThePageSwitches) {
    // POLLING, DISABLEPRIVATEMSG, DISABLEAVATARS, TICKERTEXT; the flags besides 0x01 and 0x08, and
    // the polling period in seconds, whose milliseconds must fit the keepalive timer's int.
    const std::tuple<const char*, const char*, const char*, const char*, std::uint32_t, int>
        cases[] = {
            // Clearing key 22 clears 0x02 and 0x04 again: private messages and avatars stay on.
            {"0", "TRUE", "TRUE", "0", 0x00, 0},
            {"0", "FALSE", "FALSE", "-5", 0x00, 0},
            {"-5", "FALSE", "FALSE", "abc", 0x00, 0},
            // Polling turns both off whatever the properties say.
            {"20", "FALSE", "FALSE", "30", 0x16, 20},
            {"20", "TRUE", "FALSE", "1", 0x16, 20},
            {"2147484", "FALSE", "FALSE", "0", 0x16, 2147483},
            {"99999999999999", "FALSE", "FALSE", "0", 0x16, 2147483},
        };
    for (const auto& [polling, noPrivate, noAvatars, ticker, flags, period] : cases) {
        SCOPED_TRACE(std::string(polling) + " " + noPrivate + " " + noAvatars + " " + ticker);
        ControlFixture f;
        CChatPanel* panel = f.Open(Login({{"POLLING", polling},
                                          {"DISABLEPRIVATEMSG", noPrivate},
                                          {"DISABLEAVATARS", noAvatars},
                                          {"DISABLEWHOIS", "TRUE"},
                                          {"DISABLEFILEXFER", "1"},
                                          {"TICKERTEXT", ticker}}));
        ASSERT_NE(panel, nullptr);
        const CChatContext& ctx = panel->Context();
        EXPECT_EQ(ctx.m_nOptionFlags, flags | 0x01 | 0x08);
        EXPECT_EQ(ctx.IsPolling(), period > 0);
        EXPECT_EQ(ctx.m_nPollingPeriod, period);
        // Show-avatars follows the property alone.
        EXPECT_EQ(ctx.m_bShowAvatars, std::string(noAvatars) != "TRUE");
        QWidget* shown = panel->findChild<QWidget*>(QStringLiteral("DezivArozi"));
        EXPECT_EQ(shown != nullptr, std::atoi(ticker) >= 1);
        if (shown != nullptr) {
            EXPECT_TRUE(shown->isVisibleTo(panel));
            EXPECT_EQ(shown->geometry(), QRect(344, 2, 800 - 5 - 344, 20));
        }
        EXPECT_EQ(ctx.m_nTickerPeriod, std::atoi(ticker));
    }
}

TEST(ChatControl, ConnectionBlockIsFilledAndCutToCapacity) {
    ControlFixture f;
    const std::string longProxy(1500, 'p');
    const std::string longName(300, 'n');
    CChatPanel* panel = f.Open({{"SERVER", "127.0.0.1"},
                                {"PORT", ClosedPort()},
                                {"USERNAME", longName},
                                {"HTTPPROXY", longProxy},
                                {"HTTPSERVER", std::string(120, 'h')},
                                {"TUNNELMODE", "3 roads"},
                                {"PWREQUIRED", "FALSE"},
                                {"TITLE", "Main Hall"},
                                {"COOKIE", "c00kie"},
                                {"ROOM", "Lobby"}});
    ASSERT_NE(panel, nullptr);
    const ChatConnectionParams& p = panel->Context().m_params;
    EXPECT_EQ(std::string(p.szHttpProxy), longProxy.substr(0, 1023));
    EXPECT_EQ(std::string(p.szHttpServer).size(), 99u);
    EXPECT_EQ(std::string(p.szUserName), longName.substr(0, 255));
    EXPECT_EQ(std::string(p.szServer) + "|" + p.szPortList + "|" + p.szTitle + "|" + p.szCookie +
                  "|" + p.szRoom,
              "127.0.0.1|" + ClosedPort() + "|Main Hall|c00kie|Lobby");
    EXPECT_EQ(p.nTunnelMode, 3);
    EXPECT_EQ(p.nConnectKind, 2);
    EXPECT_EQ(p.nPasswordRequired, 0);
}

TEST(ChatControl, DispatchInterfaceInMemberOrder) {
    ControlFixture f;
    IDispatch* d = f.NewControl();
    std::istringstream members("CONNECTTYPE TITLE SERVER PORT USERNAME PASSWORD ROOM CHANNEL "
                               "CONNECTONSTARTUP COOKIE DISABLEFILEXFER STANDALONE TICKERTEXT "
                               "LOGOFILE DoConnect DoLoadURL IsConnected DoDisconnect");
    DISPID expected = 0, id = 0;
    for (std::string name; members >> name;) {
        ASSERT_EQ(d->GetIDOfName(name.c_str(), &id), S_OK) << name;
        EXPECT_EQ(id, ++expected) << name;
    }
    EXPECT_EQ(expected, 18);
    EXPECT_EQ(d->GetIDOfName("AboutBox", &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(d->GetIDOfName("POLLING", &id), DISP_E_UNKNOWNNAME);
}

TEST(ChatControl, PropertiesMethodsEventsAndModifiedMark) {
    ControlFixture f;
    CRazarCtrl* c = f.NewControl();
    IDispatch* d = c;
    Variant v;
    const auto put = [d](DISPID id, Variant value) {
        return d->Invoke(id, InvokeKind::PropertyPut, std::vector<Variant>{value}, nullptr);
    };
    // STANDALONE reads FALSE and ignores writes.
    ASSERT_EQ(put(12, Variant(true)), S_OK);
    ASSERT_EQ(d->Invoke(12, InvokeKind::PropertyGet, {}, &v), S_OK);
    EXPECT_EQ(v, Variant(false));
    EXPECT_FALSE(c->IsModified());
    // TICKERTEXT is stored without marking the control modified.
    put(13, Variant("50"));
    EXPECT_EQ(c->Properties().m_strTickerText, "50");
    EXPECT_FALSE(c->IsModified());
    put(2, Variant("Hall"));
    EXPECT_TRUE(c->IsModified());
    ASSERT_EQ(d->Invoke(2, InvokeKind::PropertyGet, {}, &v), S_OK);
    EXPECT_EQ(v, Variant("Hall"));
    ASSERT_EQ(d->Invoke(17, InvokeKind::Method, {}, &v), S_OK);
    EXPECT_EQ(v, Variant(true)); // IsConnected, connected or not
    EXPECT_EQ(d->Invoke(18, InvokeKind::Method, {}, nullptr), S_OK); // DoDisconnect: nothing
    // DoConnect fires GetParams; DoLoadURL does nothing.
    std::vector<DISPID> events;
    auto* sink =
        new FunctionSink([&](DISPID id, std::span<const Variant>) { events.push_back(id); });
    std::uint32_t cookie = 0;
    ASSERT_EQ(c->Advise(sink, &cookie), S_OK);
    sink->Release();
    ASSERT_EQ(d->Invoke(15, InvokeKind::Method, {}, nullptr), S_OK);
    ASSERT_EQ(d->Invoke(16, InvokeKind::Method, {}, nullptr), S_OK);
    EXPECT_EQ(events, std::vector<DISPID>{DISPID_GETPARAMS});
    EXPECT_EQ(c->Unadvise(cookie), S_OK);
}

TEST(ChatControl, SecondInstanceIsRefusedWithTheBox) {
    ControlFixture f;
    ASSERT_NE(f.Open(), nullptr);
    EXPECT_EQ(CRazarCtrl::LiveCount(), 1);
    CRazarCtrl* second = f.NewControl();
    EXPECT_EQ(second->CreateControlWindow(&f.host), nullptr);
    EXPECT_EQ(second->Panel(), nullptr);
    ASSERT_EQ(BoxCount(f.site.dialogs, "Warning!"), 1);
    const DialogRequest* box = &f.site.dialogs.Requests().back();
    EXPECT_EQ(box->text, "An instance of Kivra is already running.\nOnly one instance of Kivra "
                         "may be active in an IE session.");
    EXPECT_EQ(box->flags, unsigned(MB_ICONEXCLAMATION));
    EXPECT_EQ(CRazarCtrl::LiveCount(), 1);

    // The refused control gives its place back once only: while the first lives, a third is
    // refused as well.
    f.Drop(second);
    EXPECT_EQ(CRazarCtrl::LiveCount(), 1);
    CRazarCtrl* third = f.NewControl();
    EXPECT_EQ(third->CreateControlWindow(&f.host), nullptr);
    EXPECT_EQ(BoxCount(f.site.dialogs, "Warning!"), 2);
    f.Drop(third);
    f.Drop(f.controls.front());
    EXPECT_EQ(CRazarCtrl::LiveCount(), 0);
    EXPECT_NE(f.Open(), nullptr);
}

TEST(ChatControl, PanelReadsItsSwitchesMakesTheCacheFolderAndHooksTheKeyboard) {
    ControlFixture f;
    f.settings.WriteProfileString("Main", "Show Name List", "yes"); // only "Yes" counts
    f.settings.WriteProfileString("Main", "Show Emotion List", "Yes");
    f.settings.WriteProfileString("PM", "MAX PM", "NONE");
    CChatPanel* panel = f.Open();
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->Context().m_bShowNameList);
    EXPECT_TRUE(panel->Context().m_bShowEmotionList);
    EXPECT_EQ(panel->Context().m_nMaxPM, 0);
    EXPECT_TRUE(std::filesystem::is_directory(panel->CacheFolder()));
    // The keyboard hook serves the panel and goes with its window.
    EXPECT_TRUE(CKeyboardHook::IsInstalled());
    EXPECT_EQ(CKeyboardHook::Target(), static_cast<IKeyboardHookTarget*>(panel));
    f.Drop(f.controls.front());
    EXPECT_FALSE(CKeyboardHook::IsInstalled());
    EXPECT_EQ(CKeyboardHook::Target(), nullptr);
}
