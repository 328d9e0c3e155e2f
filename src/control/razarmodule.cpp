#include "razarmodule.h"

#include "chatstrings.h"
#include "guids.h"
#include "razarctrl.h"
#include "registration.h"

#include <array>

namespace kivra::control {

using namespace kivra::platform;

namespace {

Guid G(const char* text) {
    return Guid::Parse(text).value_or(Guid{});
}

// The property page shows no controls of its own; it exists so the control's page list names a
// registered class.
class CRazarPropPage : public ComObject<IUnknown> {
public:
    static constexpr const char* Caption() { return "General"; }
};

} // namespace

bool UpdateControlRegistry(RegistryStore& store, const std::string& modulePath, bool registering) {
    const Guid clsid = G(kControlClsid);
    if (!registering)
        return UnregisterClass(store, clsid, kControlProgId);
    ControlClassInfo info;
    info.clsid = clsid;
    info.progId = kControlProgId;
    info.typeName = kivra::resources::LoadChatString(kivra::resources::IDS_CONTROL_TYPENAME);
    info.modulePath = modulePath;
    info.threadingModel = "Apartment";
    info.insertable = true;
    info.miscStatus = kControlMiscStatus;
    info.toolboxBitmapId = 1;
    info.typeLib = G(kTypeLibGuid);
    info.version = kTypeLibVersion;
    if (!RegisterControlClass(store, info))
        return false;
    // Only a CLSID in its 38-character registry form names the category keys.
    if (clsid.ToString().size() != kGuidTextLength)
        return false;
    return RegisterImplementedCategory(store, clsid, CATID_SafeForScripting) &&
           RegisterImplementedCategory(store, clsid, CATID_SafeForInitializing);
}

bool UpdatePropPageRegistry(RegistryStore& store, const std::string& modulePath, bool registering) {
    const Guid clsid = G(kPropPageClsid);
    if (!registering)
        return UnregisterClass(store, clsid, kPropPageProgId);
    PropertyPageInfo info;
    info.clsid = clsid;
    info.progId = kPropPageProgId;
    info.typeName = kivra::resources::LoadChatString(kivra::resources::IDS_PROPPAGE_TYPENAME);
    info.modulePath = modulePath;
    return RegisterPropertyPage(store, info);
}

HRESULT RegisterModule(RegistryStore& store, const std::string& modulePath) {
    TypeLibInfo lib;
    lib.libid = G(kTypeLibGuid);
    lib.version = kTypeLibVersion;
    lib.helpString = kTypeLibHelp;
    lib.modulePath = modulePath;
    lib.interfaces = {{G(kDispatchGuid), "_DRazar"}, {G(kEventGuid), "_DRazarEvents"}};
    if (!RegisterTypeLib(store, lib))
        return SELFREG_E_TYPELIB;
    if (!UpdateControlRegistry(store, modulePath, true) ||
        !UpdatePropPageRegistry(store, modulePath, true))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT UnregisterModule(RegistryStore& store) {
    if (!UnregisterTypeLib(store, G(kTypeLibGuid), kTypeLibVersion))
        return SELFREG_E_TYPELIB;
    if (!UpdateControlRegistry(store, {}, false) || !UpdatePropPageRegistry(store, {}, false))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT GetModuleClassObject(const Guid& clsid, const Guid& iid, void** out) {
    static const std::array<ClassEntry, 2> classes = {{
        {G(kControlClsid), []() -> IUnknown* { return static_cast<IDispatch*>(new CRazarCtrl()); }},
        {G(kPropPageClsid), []() -> IUnknown* { return new CRazarPropPage(); }},
    }};
    return GetClassObject(classes, clsid, iid, out);
}

} // namespace kivra::control
