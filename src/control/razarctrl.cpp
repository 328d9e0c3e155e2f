#include "razarctrl.h"

#include "chatpanel.h"
#include "chatstrings.h"
#include "dialogservice.h"
#include "guids.h"
#include "razarapp.h"

#include <QResizeEvent>

namespace kivra::control {

using namespace kivra::platform;

namespace {
// Raised by every constructor, lowered by every destructor; never below 0.
int g_nLiveControls = 0;

void LowerLiveCount() {
    if (g_nLiveControls > 0)
        --g_nLiveControls;
}

// PARAMs as the exchange reads them: from the page's bag, texts as given, booleans as a page
// writes them.
class BagLoader : public RazarPropertyExchange {
public:
    explicit BagLoader(const PropertyBag& bag) : m_bag(bag) {}
    bool IsLoading() const override { return true; }
    std::optional<std::string> LoadText(const char* name) override { return m_bag.Read(name); }
    std::optional<bool> LoadBool(const char* name) override {
        const auto text = m_bag.Read(name);
        return text ? Variant::ParseBool(*text) : std::nullopt;
    }
    void SaveText(const char*, const std::string&) override {}
    void SaveBool(const char*, bool) override {}

private:
    const PropertyBag& m_bag;
};

class BagSaver : public RazarPropertyExchange {
public:
    explicit BagSaver(PropertyBag& bag) : m_bag(bag) {}
    bool IsLoading() const override { return false; }
    std::optional<std::string> LoadText(const char*) override { return std::nullopt; }
    std::optional<bool> LoadBool(const char*) override { return std::nullopt; }
    void SaveText(const char* name, const std::string& value) override { m_bag.Write(name, value); }
    void SaveBool(const char* name, bool value) override {
        m_bag.Write(name, value ? "TRUE" : "FALSE");
    }

private:
    PropertyBag& m_bag;
};
} // namespace

// The control's own window: it passes its size on to the panel.
class CRazarCtrl::CtrlWindow : public QWidget {
public:
    CtrlWindow(QWidget* parent, CRazarCtrl& owner) : QWidget(parent), m_owner(owner) {
        setObjectName(QStringLiteral("CRazarCtrl"));
    }
    ~CtrlWindow() override {
        if (m_pOwner != nullptr)
            m_pOwner->m_pPanel = nullptr;
    }
    void Detach() { m_pOwner = nullptr; }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (m_pOwner != nullptr)
            m_pOwner->OnSize(event->size().width(), event->size().height());
    }

private:
    CRazarCtrl& m_owner;
    CRazarCtrl* m_pOwner = &m_owner;
};

CRazarCtrl::CRazarCtrl(ISettingsStore* settings)
    : m_pSettings(settings), m_events(Guid::Parse(kEventGuid).value_or(Guid{})) {
    ++g_nLiveControls;
    BuildDispatch();
}

CRazarCtrl::~CRazarCtrl() {
    DestroyControlWindow();
    m_events.UnadviseAll();
    if (!m_bCountReturned)
        LowerLiveCount();
}

int CRazarCtrl::LiveCount() {
    return g_nLiveControls;
}

void CRazarCtrl::AddText(const char* name, std::string RazarProperties::*member,
                         bool marksModified) {
    m_dispatch.AddProperty(
        name, [this, member] { return Variant(m_props.*member); },
        [this, member, marksModified](const Variant& v) {
            m_props.*member = v.ToString();
            if (marksModified)
                m_bModified = true;
        });
}

void CRazarCtrl::AddFlag(const char* name, bool RazarProperties::*member) {
    m_dispatch.AddProperty(
        name, [this, member] { return Variant(m_props.*member); },
        [this, member](const Variant& v) {
            m_props.*member = v.ToBool().value_or(m_props.*member);
            m_bModified = true;
        });
}

void CRazarCtrl::BuildDispatch() {
    using P = RazarProperties;
    AddText("CONNECTTYPE", &P::m_strConnectType, true);
    AddText("TITLE", &P::m_strTitle, true);
    AddText("SERVER", &P::m_strServer, true);
    AddText("PORT", &P::m_strPort, true);
    AddText("USERNAME", &P::m_strUserName, true);
    AddText("PASSWORD", &P::m_strPassword, true);
    AddText("ROOM", &P::m_strRoom, true);
    AddText("CHANNEL", &P::m_strChannel, true);
    AddFlag("CONNECTONSTARTUP", &P::m_bConnectOnStartup);
    AddText("COOKIE", &P::m_strCookie, true);
    AddFlag("DISABLEFILEXFER", &P::m_bDisableFileXfer);
    m_dispatch.AddProperty(
        "STANDALONE", [] { return Variant(false); }, [](const Variant&) {});
    AddText("TICKERTEXT", &P::m_strTickerText, false);
    AddText("LOGOFILE", &P::m_strLogoFile, true);
    m_dispatch.AddMethod("DoConnect", 0, [this](std::span<const Variant>) {
        DoConnect();
        return Variant();
    });
    m_dispatch.AddMethod("DoLoadURL", 0, [this](std::span<const Variant>) {
        DoLoadURL();
        return Variant();
    });
    m_dispatch.AddMethod("IsConnected", 0,
                         [this](std::span<const Variant>) { return Variant(IsConnected()); });
    m_dispatch.AddMethod("DoDisconnect", 0, [this](std::span<const Variant>) {
        DoDisconnect();
        return Variant();
    });
}

HRESULT CRazarCtrl::GetIDOfName(std::string_view name, DISPID* id) {
    if (id == nullptr)
        return E_POINTER;
    const auto found = m_dispatch.IdOfName(name);
    *id = found.value_or(DISPID_UNKNOWN);
    return found ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT CRazarCtrl::Invoke(DISPID id, InvokeKind kind, std::span<const Variant> args,
                           Variant* result) {
    return m_dispatch.Invoke(id, kind, args, result);
}

void CRazarCtrl::DoConnect() {
    m_events.Fire(DISPID_GETPARAMS);
}

HRESULT CRazarCtrl::SetSite(IRazarSite* site) {
    m_pSite = site;
    return S_OK;
}

HRESULT CRazarCtrl::Load(const PropertyBag& bag) {
    BagLoader loader(bag);
    ExchangeRazarProperties(loader, m_props);
    return S_OK;
}

HRESULT CRazarCtrl::Save(PropertyBag& bag) {
    BagSaver saver(bag);
    ExchangeRazarProperties(saver, m_props);
    return S_OK;
}

HRESULT CRazarCtrl::Advise(IDispatch* sink, std::uint32_t* cookie) {
    return m_events.Advise(sink, cookie);
}

HRESULT CRazarCtrl::Unadvise(std::uint32_t cookie) {
    return m_events.Unadvise(cookie);
}

IRazarScript* CRazarCtrl::Script() {
    return m_pPanel;
}

QWidget* CRazarCtrl::CreateControlWindow(QWidget* parent) {
    if (m_pWindow != nullptr)
        return m_pWindow;
    if (m_pSite == nullptr)
        return nullptr;
    if (g_nLiveControls > 1) {
        m_pSite->Dialogs().MessageBox(parent,
                                      QStringLiteral("An instance of Kivra is already running.\n"
                                                     "Only one instance of Kivra may be active in "
                                                     "an IE session."),
                                      QStringLiteral("Warning!"), MB_ICONEXCLAMATION);
        if (!m_bCountReturned) {
            LowerLiveCount();
            m_bCountReturned = true;
        }
        return nullptr;
    }
    auto* window = new CtrlWindow(parent, *this);
    m_pWindow = window;
    OnCreate(window);
    return window;
}

void CRazarCtrl::OnCreate(CtrlWindow* window) {
    ISettingsStore& settings = m_pSettings != nullptr ? *m_pSettings : ModuleSettings();
    m_pPanel = new CChatPanel(window, *m_pSite, settings);
    m_pPanel->setGeometry(0, 0, window->width(), window->height());

    if (!CKeyboardHook::Install())
        m_pPanel->MessageBox("Keyboard hook failed.", "Kivra Initialization", MB_OK);

    CChatContext& ctx = m_pPanel->Context();
    ChatConnectionParams& p = ctx.m_params;
    CopyParam(p.szHttpProxy, m_props.m_strHttpProxy);
    CopyParam(p.szHttpServer, m_props.m_strHttpServer);
    CopyParam(p.szHttpPort, m_props.m_strHttpPort);
    CopyParam(p.szTunnelPrefix, m_props.m_strTunnelPrefix);
    CopyParam(p.szTunnelPage, m_props.m_strTunnelPage);
    p.nTunnelMode = WholeNumber(m_props.m_strTunnelMode);

    // Key 22 goes last: it decides bits 0x02 and 0x04 whatever the two properties said.
    ctx.SetOption(CHATOPT_NOFILEXFER, m_props.m_bDisableFileXfer);
    ctx.SetOption(CHATOPT_NOWHOIS, m_props.m_bDisableWhois);
    ctx.SetOption(CHATOPT_NOAVATARS, m_props.m_bDisableAvatars);
    ctx.SetOption(CHATOPT_NOPRIVATEMSG, m_props.m_bDisablePrivateMsg);
    const int polling = PollingSeconds(m_props.m_strPolling);
    ctx.SetOption(CHATOPT_POLLING, polling > 0);
    ctx.m_nPollingPeriod = polling;
    ctx.m_bShowAvatars = !m_props.m_bDisableAvatars;

    p.nConnectKind = 2;
    CopyParam(p.szServer, m_props.m_strServer);
    CopyParam(p.szPortList, m_props.m_strPort);
    CopyParam(p.szRoom, m_props.m_strRoom);
    CopyParam(p.szChannel, m_props.m_strChannel);
    CopyParam(p.szUserName, m_props.m_strUserName);
    p.nPasswordRequired = m_props.m_bPwRequired ? 1 : 0;
    CopyParam(p.szPassword, m_props.m_strPassword);
    CopyParam(p.szTitle, m_props.m_strTitle);
    CopyParam(p.szCookie, m_props.m_strCookie);
    CopyParam(p.szLogoFile, m_props.m_strLogoFile);

    const int tickerPeriod = WholeNumber(m_props.m_strTickerText);
    ctx.m_nTickerPeriod = tickerPeriod;
    if (tickerPeriod >= 1)
        m_pPanel->CreateTicker();

    // The session starts at once; CONNECTONSTARTUP is only reported.
    m_pPanel->StartSession();
}

void CRazarCtrl::OnSize(int width, int height) {
    if (m_pPanel == nullptr)
        return;
    m_pPanel->setGeometry(0, 0, width, height);
    m_pPanel->update();
}

void CRazarCtrl::DestroyControlWindow() {
    if (m_pWindow == nullptr)
        return;
    auto* window = static_cast<CtrlWindow*>(m_pWindow.data());
    window->Detach();
    m_pPanel = nullptr;
    delete window;
    m_pWindow = nullptr;
}

} // namespace kivra::control
