#pragma once
// IRazarControl: how a host embeds the chat control, beside its dispatch interface. The host
// gets the object from the module's class factory, gives it a site, loads its properties from
// the page's PARAMs, creates its window and, at the end, destroys the window and releases it.

#include "classfactory.h"
#include "dispatch.h"
#include "propertybag.h"
#include "razarsite.h"

class QWidget;

namespace kivra::control {

// {5C1D0A4E-7B39-4F62-8E15-C2A9D8F47B30}
inline constexpr kivra::platform::Guid IID_IRazarControl{
    0x5C1D0A4E, 0x7B39, 0x4F62, {0x8E, 0x15, 0xC2, 0xA9, 0xD8, 0xF4, 0x7B, 0x30}};

class IRazarControl : public kivra::platform::IUnknown {
public:
    static constexpr const kivra::platform::Guid& kIid = IID_IRazarControl;
    using HRESULT = kivra::platform::HRESULT;

    // The site stays the host's; it must outlive the control's window.
    virtual HRESULT SetSite(IRazarSite* site) = 0;
    // The property exchange from PARAMs (load) and into a bag (save, in exchange order).
    virtual HRESULT Load(const kivra::platform::PropertyBag& bag) = 0;
    virtual HRESULT Save(kivra::platform::PropertyBag& bag) = 0;
    // Creates the control's window as a child of `parent`; null when creation fails (a second
    // live control, no site).
    virtual QWidget* CreateControlWindow(QWidget* parent) = 0;
    // Destroys the window (and the panel with its session), as a closing page does.
    virtual void DestroyControlWindow() = 0;
    // The panel's script face; null while there is no window.
    virtual IRazarScript* Script() = 0;
    // Event sinks: GetParams (1) and ExitChat (2) reach `sink` through Invoke.
    virtual HRESULT Advise(kivra::platform::IDispatch* sink, std::uint32_t* cookie) = 0;
    virtual HRESULT Unadvise(std::uint32_t cookie) = 0;
};

} // namespace kivra::control
