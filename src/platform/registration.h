#pragma once
// Self-registration of a module's classes and type library into HKEY_CLASSES_ROOT, and lookups
// the host makes to find a module by CLSID or ProgID. Layout written for a control class:
//
//   CLSID\{clsid}                      @ = type name
//     InprocServer32                   @ = module path, "ThreadingModel" = "Apartment"
//     ProgID                           @ = ProgID
//     Control, Insertable              (empty keys; Insertable only when asked)
//     MiscStatus                       @ = "0";  MiscStatus\1  @ = status bits in decimal
//     ToolboxBitmap32                  @ = "<module path>, <bitmap id>"
//     TypeLib                          @ = {libid}
//     Version                          @ = "5.0"
//     Implemented Categories\{catid}   (one empty key each)
//   <ProgID>                           @ = type name;  CLSID  @ = {clsid};  Insertable
//
// and for a type library:
//
//   TypeLib\{libid}\<version>          @ = help string
//     0\win32                          @ = module path
//     FLAGS                            @ = "0"
//     HELPDIR                          @ = folder of the module
//   Interface\{iid}                    @ = name;  ProxyStubClsid32, TypeLib (+ "Version")

#include "guid.h"
#include "registrystore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kivra::platform {

// Component categories of a control that is safe for scripting and safe for initialising from
// persistent data.
inline constexpr Guid CATID_SafeForScripting{
    0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
inline constexpr Guid CATID_SafeForInitializing{
    0x7DD95802, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};

struct ControlClassInfo {
    Guid clsid;
    std::string progId;
    std::string typeName;
    std::string modulePath;
    std::string threadingModel = "Apartment";
    bool insertable = true;
    bool isControl = true; // writes the "Control" key
    std::uint32_t miscStatus = 0;
    int toolboxBitmapId = 1;     // 0: no ToolboxBitmap32 key
    Guid typeLib;                // null: no TypeLib key
    std::string version = "5.0"; // empty: no Version key
};

struct PropertyPageInfo {
    Guid clsid;
    std::string progId; // may be empty
    std::string typeName;
    std::string modulePath;
    std::string threadingModel = "Apartment";
};

struct TypeLibInterface {
    Guid iid;
    std::string name; // "_DRazar"
};

struct TypeLibInfo {
    Guid libid;
    std::string version = "5.0";
    std::string helpString;
    std::string modulePath;
    std::vector<TypeLibInterface> interfaces;
};

// Each Register... writes all its keys in one change, replacing what a previous registration of
// the same class left; false when the store could not write.
bool RegisterControlClass(RegistryStore& store, const ControlClassInfo& info);
bool RegisterPropertyPage(RegistryStore& store, const PropertyPageInfo& info);
bool RegisterTypeLib(RegistryStore& store, const TypeLibInfo& info);
// "CLSID\{clsid}\Implemented Categories\{catid}".
bool RegisterImplementedCategory(RegistryStore& store, const Guid& clsid, const Guid& catid);

// Remove the CLSID key tree and, when given, the ProgID key tree. Removing keys that are not
// there succeeds.
bool UnregisterClass(RegistryStore& store, const Guid& clsid, const std::string& progId);
// Removes TypeLib\{libid}\<version> (and TypeLib\{libid} once it has no version left) and the
// Interface keys that point at this type library.
bool UnregisterTypeLib(RegistryStore& store, const Guid& libid, const std::string& version);

// Lookups for the host.
std::optional<Guid> ClsidFromProgId(RegistryStore& store, const std::string& progId);
std::optional<std::string> InprocServerPath(RegistryStore& store, const Guid& clsid);
std::optional<std::string> TypeLibPath(RegistryStore& store, const Guid& libid,
                                       const std::string& version);

} // namespace kivra::platform
