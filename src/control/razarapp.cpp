#include "razarapp.h"

#include "registrystore.h"
#include "settingsstore.h"

namespace kivra::control {

ISettingsStore& ModuleSettings() {
    static CSettingsStore store(kivra::platform::RegistryStore::instance());
    return store;
}

} // namespace kivra::control
