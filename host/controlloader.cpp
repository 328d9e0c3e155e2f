#include "controlloader.h"

#include "classfactory.h"
#include "guids.h"
#include "registration.h"

#include <dlfcn.h>
#include <filesystem>
#include <utility>

namespace kivra::host {

using namespace kivra::platform;

using RegisterFn = HRESULT (*)();
using GetClassObjectFn = HRESULT (*)(const Guid*, const Guid*, void**);

LoadedModule::LoadedModule(LoadedModule&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)) {}

LoadedModule& LoadedModule::operator=(LoadedModule&& other) noexcept {
    std::swap(m_handle, other.m_handle);
    return *this;
}

// The module stays loaded for the life of the process: Qt may still hold pointers into it
// (widget vtables, posted events) until the application object is gone.
LoadedModule::~LoadedModule() = default;

bool LoadedModule::Open(const std::string& path, std::string& error) {
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr) {
        const char* why = dlerror();
        error = "cannot load the module " + path + ": " + (why ? why : "unknown error");
        return false;
    }
    return true;
}

void* LoadedModule::Symbol(const char* name) const {
    return m_handle ? dlsym(m_handle, name) : nullptr;
}

std::string FindBeside(const std::filesystem::path& binDir, const std::string& name,
                       const std::string& moduleDir) {
    std::error_code ec;
    const std::filesystem::path beside = binDir / name;
    if (std::filesystem::is_regular_file(beside, ec) || moduleDir.empty())
        return beside.string();
    const std::filesystem::path installed = (binDir / moduleDir / name).lexically_normal();
    return std::filesystem::is_regular_file(installed, ec) ? installed.string() : beside.string();
}

bool EnsureRegistered(RegistryStore& store, const std::string& bundledModule, std::string& error) {
    const auto clsid = ClsidFromProgId(store, kivra::control::kControlProgId);
    if (clsid) {
        const auto path = InprocServerPath(store, *clsid);
        std::error_code ec;
        if (path && std::filesystem::is_regular_file(*path, ec))
            return true;
    }
    LoadedModule module;
    if (!module.Open(bundledModule, error))
        return false;
    auto reg = reinterpret_cast<RegisterFn>(module.Symbol("DllRegisterServer"));
    if (reg == nullptr) {
        error = "the module " + bundledModule + " has no DllRegisterServer";
        return false;
    }
    const HRESULT hr = reg();
    if (Failed(hr)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
        error = "registering " + bundledModule + " failed with " + code;
        return false;
    }
    return true;
}

std::optional<LoadedControl> LoadControl(RegistryStore& store, const Guid& clsid,
                                         std::string& error) {
    const auto path = InprocServerPath(store, clsid);
    if (!path) {
        error = "the class " + clsid.ToString() + " is not registered";
        return std::nullopt;
    }
    LoadedControl loaded;
    if (!loaded.module.Open(*path, error))
        return std::nullopt;
    auto get = reinterpret_cast<GetClassObjectFn>(loaded.module.Symbol("DllGetClassObject"));
    if (get == nullptr) {
        error = "the module " + *path + " has no DllGetClassObject";
        return std::nullopt;
    }
    ComPtr<IClassFactory> factory;
    if (Failed(get(&clsid, &IID_IClassFactory, factory.Out())) || !factory) {
        error = "the module " + *path + " does not make the class " + clsid.ToString();
        return std::nullopt;
    }
    if (Failed(factory->CreateInstance(nullptr, kivra::control::IID_IRazarControl,
                                       loaded.control.Out())) ||
        !loaded.control) {
        error = "the class " + clsid.ToString() + " is not a chat control";
        return std::nullopt;
    }
    return loaded;
}

} // namespace kivra::host
