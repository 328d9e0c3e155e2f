#pragma once
// The module's process-wide pieces: the registry key every per-user setting lies under, and the
// settings store over it.

#include "chatinterfaces.h"

namespace kivra::control {

// "Kivra\axkivractrl": settings live under HKEY_CURRENT_USER\Software\<this>\MSKIVRA50.
inline constexpr const char kRegistryKey[] = "Kivra\\axkivractrl";

// The store over the process's registry (KIVRA_REGISTRY_DIR or the user's config folder).
ISettingsStore& ModuleSettings();

} // namespace kivra::control
