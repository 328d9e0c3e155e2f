// The four entry points of libmskivra50.so, with C linkage so a host finds them with dlsym.

#include "razarmodule.h"

#include <dlfcn.h>
#include <string>

using kivra::platform::Guid;
using kivra::platform::HRESULT;

namespace {
// The module's own file, as registration records it for InprocServer32.
std::string ModulePath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || info.dli_fname == nullptr)
        return {};
    return info.dli_fname;
}
} // namespace

extern "C" {

__attribute__((visibility("default"))) HRESULT DllRegisterServer() {
    return kivra::control::RegisterModule(kivra::platform::RegistryStore::instance(), ModulePath());
}

__attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
    return kivra::control::UnregisterModule(kivra::platform::RegistryStore::instance());
}

__attribute__((visibility("default"))) HRESULT DllGetClassObject(const Guid* clsid, const Guid* iid,
                                                                 void** out) {
    if (clsid == nullptr || iid == nullptr || out == nullptr)
        return kivra::platform::E_POINTER;
    return kivra::control::GetModuleClassObject(*clsid, *iid, out);
}

__attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
    return kivra::platform::ModuleCounts::CanUnloadNow();
}
}
