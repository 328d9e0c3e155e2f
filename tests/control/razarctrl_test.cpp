#include "controlfixture.h"

#include "connectionpoint.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace kivra::control;
using namespace kivra::platform;

TEST(ChatControl, OptionFlagsFollowTheSwitchesWithPollingLast) {
    struct Case {
        const char* polling;
        const char* noPrivate;
        const char* noAvatars;
        std::uint32_t flags;
        int period; // seconds; its milliseconds must fit the keepalive timer's int
    };
    const Case cases[] = {
        // Clearing key 22 clears 0x02 and 0x04 again: private messages and avatars stay on.
        {"0", "TRUE", "TRUE", 0x00, 0},
        {"0", "FALSE", "FALSE", 0x00, 0},
        {"-5", "FALSE", "FALSE", 0x00, 0},
        // Polling turns both off whatever the properties say.
        {"20", "FALSE", "FALSE", 0x16, 20},
        {"20", "TRUE", "FALSE", 0x16, 20},
        {"2147484", "FALSE", "FALSE", 0x16, 2147483},
        {"99999999999999", "FALSE", "FALSE", 0x16, 2147483},
    };
    for (const Case& c : cases) {
        ControlFixture f;
        CChatPanel* panel = f.Open(Login({{"POLLING", c.polling},
                                          {"DISABLEPRIVATEMSG", c.noPrivate},
                                          {"DISABLEAVATARS", c.noAvatars},
                                          {"DISABLEWHOIS", "TRUE"},
                                          {"DISABLEFILEXFER", "1"}}));
        ASSERT_NE(panel, nullptr);
        const CChatContext& ctx = panel->Context();
        EXPECT_EQ(ctx.m_nOptionFlags, c.flags | 0x01 | 0x08) << c.polling << c.noPrivate;
        EXPECT_EQ(ctx.IsPolling(), c.period > 0);
        EXPECT_EQ(ctx.m_nPollingPeriod, c.period) << c.polling;
        // Show-avatars follows the property alone.
        EXPECT_EQ(ctx.m_bShowAvatars, std::string(c.noAvatars) != "TRUE");
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
    EXPECT_STREQ(p.szServer, "127.0.0.1");
    EXPECT_EQ(std::string(p.szPortList), ClosedPort());
    EXPECT_STREQ(p.szTitle, "Main Hall");
    EXPECT_STREQ(p.szCookie, "c00kie");
    EXPECT_STREQ(p.szRoom, "Lobby");
    EXPECT_EQ(p.nTunnelMode, 3);
    EXPECT_EQ(p.nConnectKind, 2);
    EXPECT_EQ(p.nPasswordRequired, 0);

    // A page without a user name leaves server, port and name empty.
    f.Drop(f.controls.back());
    CChatPanel* bare = f.Open({{"SERVER", "127.0.0.1"}, {"PORT", ClosedPort()}});
    ASSERT_NE(bare, nullptr);
    const ChatConnectionParams& q = bare->Context().m_params;
    EXPECT_EQ(std::string(q.szServer) + q.szPortList + q.szUserName, "");
    EXPECT_FALSE(f.controls.back()->Properties().m_bConnectOnStartup);
}

TEST(ChatControl, TickerExistsOnlyForAPositivePeriod) {
    for (const char* period : {"0", "-5", "abc", "30", "1"}) {
        ControlFixture f;
        CChatPanel* panel = f.Open(Login({{"TICKERTEXT", period}}));
        ASSERT_NE(panel, nullptr);
        const bool wanted = std::atoi(period) >= 1;
        QWidget* ticker = panel->findChild<QWidget*>(QStringLiteral("DezivArozi"));
        EXPECT_EQ(ticker != nullptr, wanted) << period;
        if (ticker != nullptr) {
            EXPECT_TRUE(ticker->isVisibleTo(panel));
            EXPECT_EQ(ticker->geometry(), QRect(344, 2, 800 - 5 - 344, 20));
        }
        EXPECT_EQ(panel->Context().m_nTickerPeriod, std::atoi(period));
    }
}

TEST(ChatControl, DispatchInterfaceInMemberOrder) {
    ControlFixture f;
    IDispatch* d = f.NewControl();
    const QStringList members =
        QString("CONNECTTYPE TITLE SERVER PORT USERNAME PASSWORD ROOM CHANNEL CONNECTONSTARTUP "
                "COOKIE DISABLEFILEXFER STANDALONE TICKERTEXT LOGOFILE DoConnect DoLoadURL "
                "IsConnected DoDisconnect")
            .split(' ');
    for (int i = 0; i < 18; ++i) {
        DISPID id = 0;
        const std::string name = members[i].toStdString();
        ASSERT_EQ(d->GetIDOfName(name.c_str(), &id), S_OK) << name;
        EXPECT_EQ(id, i + 1) << name;
    }
    DISPID id = 0;
    EXPECT_EQ(d->GetIDOfName("AboutBox", &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(d->GetIDOfName("POLLING", &id), DISP_E_UNKNOWNNAME);
}

TEST(ChatControl, PropertiesMethodsAndModifiedMark) {
    ControlFixture f;
    CRazarCtrl* c = f.NewControl();
    IDispatch* d = c;
    Variant v;
    // STANDALONE reads FALSE and ignores writes.
    ASSERT_EQ(d->Invoke(12, InvokeKind::PropertyPut, std::vector<Variant>{Variant(true)}, nullptr),
              S_OK);
    ASSERT_EQ(d->Invoke(12, InvokeKind::PropertyGet, {}, &v), S_OK);
    EXPECT_EQ(v, Variant(false));
    EXPECT_FALSE(c->IsModified());
    // TICKERTEXT is stored without marking the control modified.
    d->Invoke(13, InvokeKind::PropertyPut, std::vector<Variant>{Variant("50")}, nullptr);
    EXPECT_EQ(c->Properties().m_strTickerText, "50");
    EXPECT_FALSE(c->IsModified());
    d->Invoke(2, InvokeKind::PropertyPut, std::vector<Variant>{Variant("Hall")}, nullptr);
    EXPECT_TRUE(c->IsModified());
    ASSERT_EQ(d->Invoke(2, InvokeKind::PropertyGet, {}, &v), S_OK);
    EXPECT_EQ(v, Variant("Hall"));
    ASSERT_EQ(d->Invoke(17, InvokeKind::Method, {}, &v), S_OK);
    EXPECT_EQ(v, Variant(true)); // IsConnected, connected or not
    EXPECT_EQ(d->Invoke(18, InvokeKind::Method, {}, nullptr), S_OK); // DoDisconnect: nothing
}

TEST(ChatControl, DoConnectFiresGetParamsOnly) {
    ControlFixture f;
    CRazarCtrl* c = f.NewControl();
    std::vector<DISPID> events;
    auto* sink =
        new FunctionSink([&](DISPID id, std::span<const Variant>) { events.push_back(id); });
    std::uint32_t cookie = 0;
    ASSERT_EQ(c->Advise(sink, &cookie), S_OK);
    sink->Release();
    IDispatch* d = c;
    ASSERT_EQ(d->Invoke(15, InvokeKind::Method, {}, nullptr), S_OK);
    ASSERT_EQ(d->Invoke(16, InvokeKind::Method, {}, nullptr), S_OK); // DoLoadURL: nothing
    EXPECT_EQ(events, std::vector<DISPID>{DISPID_GETPARAMS});
    ASSERT_EQ(c->Unadvise(cookie), S_OK);
    d->Invoke(15, InvokeKind::Method, {}, nullptr);
    EXPECT_EQ(events.size(), 1u);
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
    EXPECT_EQ(box->caption, "Warning!");
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
    EXPECT_EQ(panel->Context().m_pPanel, static_cast<IChatPanel*>(panel));
    // The keyboard hook serves the panel and goes with its window.
    EXPECT_TRUE(CKeyboardHook::IsInstalled());
    EXPECT_EQ(CKeyboardHook::Target(), static_cast<IKeyboardHookTarget*>(panel));
    f.Drop(f.controls.front());
    EXPECT_FALSE(CKeyboardHook::IsInstalled());
    EXPECT_EQ(CKeyboardHook::Target(), nullptr);
}
