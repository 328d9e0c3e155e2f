#pragma once
// The module's five identifiers. They were generated once and must never change: pages and
// registries out there name them. They share their last four groups and count up by one in the
// last byte of the first group, type library first.

namespace kivra::control {

inline constexpr const char kTypeLibGuid[] = "{EAF7BB80-42E7-4CE7-AF3B-06FEC4E951A4}";
inline constexpr const char kDispatchGuid[] = "{EAF7BB81-42E7-4CE7-AF3B-06FEC4E951A4}";
inline constexpr const char kEventGuid[] = "{EAF7BB82-42E7-4CE7-AF3B-06FEC4E951A4}";
inline constexpr const char kControlClsid[] = "{EAF7BB83-42E7-4CE7-AF3B-06FEC4E951A4}";
inline constexpr const char kPropPageClsid[] = "{EAF7BB84-42E7-4CE7-AF3B-06FEC4E951A4}";

inline constexpr const char kControlProgId[] = "mskivra50.razar.1";
inline constexpr const char kPropPageProgId[] = "mskivra50.razarPropPage.1";

} // namespace kivra::control
