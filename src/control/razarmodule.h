#pragma once
// What the module does as a module: its classes, self-registration into HKEY_CLASSES_ROOT and the
// class-object lookup. The four exported entry points are thin calls into these.

#include "classfactory.h"
#include "registrystore.h"

#include <string>

namespace kivra::control {

inline constexpr std::uint32_t kControlMiscStatus = 0x00020191;
inline constexpr const char kTypeLibHelp[] = "mskivra50 OLE Control module";
inline constexpr const char kTypeLibVersion[] = "5.0";

// The per-class registration step: register (or unregister) the control class with its two
// component categories; false when the class or a category key could not be written.
bool UpdateControlRegistry(kivra::platform::RegistryStore& store, const std::string& modulePath,
                           bool registering);
bool UpdatePropPageRegistry(kivra::platform::RegistryStore& store, const std::string& modulePath,
                            bool registering);

// DllRegisterServer / DllUnregisterServer against `store` for a module at `modulePath`.
kivra::platform::HRESULT RegisterModule(kivra::platform::RegistryStore& store,
                                        const std::string& modulePath);
kivra::platform::HRESULT UnregisterModule(kivra::platform::RegistryStore& store);

// DllGetClassObject over the control and its property page.
kivra::platform::HRESULT GetModuleClassObject(const kivra::platform::Guid& clsid,
                                              const kivra::platform::Guid& iid, void** out);

} // namespace kivra::control
