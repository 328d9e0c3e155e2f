#pragma once
// CRazarCtrl: the scriptable chat control. It carries the page's properties, answers its
// dispatch interface, allows one live instance per process, and on window creation builds the
// panel, fills the connection parameter block and starts the session.

#include "chatinterfaces.h"
#include "connectionpoint.h"
#include "razarcontrol.h"
#include "razarproperties.h"

#include <QPointer>
#include <QWidget>
#include <memory>

namespace kivra::control {

class CChatPanel;

// Dispatch ids of the event interface.
enum : kivra::platform::DISPID { DISPID_GETPARAMS = 1, DISPID_EXITCHAT = 2 };

class CRazarCtrl : public kivra::platform::ComObject<kivra::platform::IDispatch, IRazarControl> {
public:
    // `settings` is the per-user store the panel reads; null takes the module's own.
    explicit CRazarCtrl(ISettingsStore* settings = nullptr);

    // Live controls in this process.
    static int LiveCount();

    RazarProperties& Properties() { return m_props; }
    bool IsModified() const { return m_bModified; }
    CChatPanel* Panel() const { return m_pPanel; }
    QWidget* Window() const { return m_pWindow; }

    // IDispatch
    kivra::platform::HRESULT GetIDOfName(std::string_view name,
                                         kivra::platform::DISPID* id) override;
    kivra::platform::HRESULT Invoke(kivra::platform::DISPID id, kivra::platform::InvokeKind kind,
                                    std::span<const kivra::platform::Variant> args,
                                    kivra::platform::Variant* result) override;

    // IRazarControl
    kivra::platform::HRESULT SetSite(IRazarSite* site) override;
    kivra::platform::HRESULT Load(const kivra::platform::PropertyBag& bag) override;
    kivra::platform::HRESULT Save(kivra::platform::PropertyBag& bag) override;
    QWidget* CreateControlWindow(QWidget* parent) override;
    void DestroyControlWindow() override;
    IRazarScript* Script() override;
    kivra::platform::HRESULT Advise(kivra::platform::IDispatch* sink,
                                    std::uint32_t* cookie) override;
    kivra::platform::HRESULT Unadvise(std::uint32_t cookie) override;

    // Methods of the dispatch interface.
    void DoConnect();
    void DoLoadURL() {}
    bool IsConnected() const { return true; }
    void DoDisconnect() {}

protected:
    ~CRazarCtrl() override;

private:
    class CtrlWindow;
    void BuildDispatch();
    void AddText(const char* name, std::string RazarProperties::*member, bool marksModified);
    void AddFlag(const char* name, bool RazarProperties::*member);
    // Window creation steps 3 to 9, once the window exists.
    void OnCreate(CtrlWindow* window);
    void OnSize(int width, int height);

    RazarProperties m_props;
    bool m_bModified = false;
    // A refused instance has already given back its place in the live count.
    bool m_bCountReturned = false;
    ISettingsStore* m_pSettings;
    IRazarSite* m_pSite = nullptr;
    kivra::platform::DispatchTable m_dispatch;
    kivra::platform::ConnectionPoint m_events;
    QPointer<QWidget> m_pWindow;
    CChatPanel* m_pPanel = nullptr;

    friend class CtrlWindow;
};

} // namespace kivra::control
