#pragma once
// Finds the chat control through the registry and loads its module, as a browser does for an
// <object classid=...>: registers the bundled module first when the registry does not know it.

#include "component.h"
#include "razarcontrol.h"
#include "registrystore.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kivra::host {

class LoadedModule {
public:
    LoadedModule() = default;
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;
    LoadedModule(LoadedModule&& other) noexcept;
    LoadedModule& operator=(LoadedModule&& other) noexcept;
    ~LoadedModule();

    // dlopen's handle for `path`; false with `error` set when it cannot be loaded.
    bool Open(const std::string& path, std::string& error);
    void* Symbol(const char* name) const;
    bool IsOpen() const { return m_handle != nullptr; }

private:
    void* m_handle = nullptr;
};

// Where a file installed with the host lies, for the host in `binDir`: beside it (a build folder,
// or bin/ for kivra-server), else in `moduleDir` relative to it (an installed tree, where the
// module lives in lib/kivra). The first that exists; the path beside when neither does, so the
// error names the usual place.
std::string FindBeside(const std::filesystem::path& binDir, const std::string& name,
                       const std::string& moduleDir = KIVRA_MODULE_RELDIR);

// Makes sure the control's ProgID is registered with a module file that exists; registers
// `bundledModule` otherwise. False with `error` set when that fails.
bool EnsureRegistered(kivra::platform::RegistryStore& store, const std::string& bundledModule,
                      std::string& error);

// Loads the module registered for `clsid` and creates the control. Nothing, with `error` set
// (one line), when the CLSID is unknown, the module does not load or the object is not made.
struct LoadedControl {
    LoadedModule module;
    kivra::platform::ComPtr<kivra::control::IRazarControl> control;
};
std::optional<LoadedControl> LoadControl(kivra::platform::RegistryStore& store,
                                         const kivra::platform::Guid& clsid, std::string& error);

} // namespace kivra::host
