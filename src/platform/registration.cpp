#include "registration.h"

#include <filesystem>

namespace kivra::platform {

namespace {

constexpr RegRoot kCR = RegRoot::ClassesRoot;
// The standard proxy/stub for dispatch interfaces.
constexpr std::string_view kDispatchProxyStub = "{00020420-0000-0000-C000-000000000046}";

std::string ClsidKey(const Guid& clsid) {
    return "CLSID\\" + clsid.ToString();
}

void WriteInprocServer(RegHive& h, const std::string& key, const std::string& modulePath,
                       const std::string& threadingModel) {
    const std::string inproc = key + "\\InprocServer32";
    h.SetValue(inproc, "", RegValue::String(modulePath));
    if (!threadingModel.empty())
        h.SetValue(inproc, "ThreadingModel", RegValue::String(threadingModel));
}

void WriteProgId(RegHive& h, const std::string& progId, const std::string& typeName,
                 const Guid& clsid, bool insertable) {
    if (progId.empty())
        return;
    h.DeleteKey(progId);
    h.SetValue(progId, "", RegValue::String(typeName));
    h.SetValue(progId + "\\CLSID", "", RegValue::String(clsid.ToString()));
    if (insertable)
        h.CreateKey(progId + "\\Insertable");
}

std::string FolderOf(const std::string& path) {
    const std::string parent = std::filesystem::path(path).parent_path().string();
    return parent.empty() ? std::string(".") : parent;
}

} // namespace

bool RegisterControlClass(RegistryStore& store, const ControlClassInfo& info) {
    if (info.clsid.IsNull())
        return false;
    return store.Modify(kCR, [&](RegHive& h) {
        const std::string key = ClsidKey(info.clsid);
        // A fresh registration replaces whatever an older one left below the class key.
        h.DeleteKey(key);
        h.SetValue(key, "", RegValue::String(info.typeName));
        WriteInprocServer(h, key, info.modulePath, info.threadingModel);
        if (!info.progId.empty())
            h.SetValue(key + "\\ProgID", "", RegValue::String(info.progId));
        if (info.isControl)
            h.CreateKey(key + "\\Control");
        if (info.insertable)
            h.CreateKey(key + "\\Insertable");
        h.SetValue(key + "\\MiscStatus", "", RegValue::String("0"));
        h.SetValue(key + "\\MiscStatus\\1", "", RegValue::String(std::to_string(info.miscStatus)));
        if (info.toolboxBitmapId > 0)
            h.SetValue(
                key + "\\ToolboxBitmap32", "",
                RegValue::String(info.modulePath + ", " + std::to_string(info.toolboxBitmapId)));
        if (!info.typeLib.IsNull())
            h.SetValue(key + "\\TypeLib", "", RegValue::String(info.typeLib.ToString()));
        if (!info.version.empty())
            h.SetValue(key + "\\Version", "", RegValue::String(info.version));
        WriteProgId(h, info.progId, info.typeName, info.clsid, info.insertable);
        return true;
    });
}

bool RegisterPropertyPage(RegistryStore& store, const PropertyPageInfo& info) {
    if (info.clsid.IsNull())
        return false;
    return store.Modify(kCR, [&](RegHive& h) {
        const std::string key = ClsidKey(info.clsid);
        h.DeleteKey(key);
        h.SetValue(key, "", RegValue::String(info.typeName));
        WriteInprocServer(h, key, info.modulePath, info.threadingModel);
        if (!info.progId.empty())
            h.SetValue(key + "\\ProgID", "", RegValue::String(info.progId));
        WriteProgId(h, info.progId, info.typeName, info.clsid, false);
        return true;
    });
}

bool RegisterImplementedCategory(RegistryStore& store, const Guid& clsid, const Guid& catid) {
    const std::string key = ClsidKey(clsid) + "\\Implemented Categories\\" + catid.ToString();
    if (key.size() > 1024)
        return false;
    return store.CreateKey(kCR, key);
}

bool RegisterTypeLib(RegistryStore& store, const TypeLibInfo& info) {
    if (info.libid.IsNull() || info.version.empty())
        return false;
    return store.Modify(kCR, [&](RegHive& h) {
        const std::string lib = "TypeLib\\" + info.libid.ToString() + "\\" + info.version;
        h.DeleteKey(lib);
        h.SetValue(lib, "", RegValue::String(info.helpString));
        h.SetValue(lib + "\\0\\win32", "", RegValue::String(info.modulePath));
        h.SetValue(lib + "\\FLAGS", "", RegValue::String("0"));
        h.SetValue(lib + "\\HELPDIR", "", RegValue::String(FolderOf(info.modulePath)));
        for (const TypeLibInterface& itf : info.interfaces) {
            const std::string key = "Interface\\" + itf.iid.ToString();
            h.DeleteKey(key);
            h.SetValue(key, "", RegValue::String(itf.name));
            h.SetValue(key + "\\ProxyStubClsid", "",
                       RegValue::String(std::string(kDispatchProxyStub)));
            h.SetValue(key + "\\ProxyStubClsid32", "",
                       RegValue::String(std::string(kDispatchProxyStub)));
            h.SetValue(key + "\\TypeLib", "", RegValue::String(info.libid.ToString()));
            h.SetValue(key + "\\TypeLib", "Version", RegValue::String(info.version));
        }
        return true;
    });
}

bool UnregisterClass(RegistryStore& store, const Guid& clsid, const std::string& progId) {
    return store.Modify(kCR, [&](RegHive& h) {
        bool changed = h.DeleteKey(ClsidKey(clsid));
        if (!progId.empty()) {
            // Only a ProgID that still points at this class is ours to remove.
            const RegValue* owner = h.FindValue(progId + "\\CLSID", "");
            if (!owner || owner->text == clsid.ToString() || Guid::Parse(owner->text) == clsid)
                changed = h.DeleteKey(progId) || changed;
        }
        return changed;
    });
}

bool UnregisterTypeLib(RegistryStore& store, const Guid& libid, const std::string& version) {
    return store.Modify(kCR, [&](RegHive& h) {
        const std::string libKey = "TypeLib\\" + libid.ToString();
        bool changed = h.DeleteKey(libKey + "\\" + version);
        if (h.HasKey(libKey) && h.SubKeys(libKey).empty() && h.Values(libKey).empty())
            changed = h.DeleteKey(libKey) || changed;
        for (const std::string& iid : h.SubKeys("Interface")) {
            const RegValue* lib = h.FindValue("Interface\\" + iid + "\\TypeLib", "");
            const RegValue* ver = h.FindValue("Interface\\" + iid + "\\TypeLib", "Version");
            if (lib && Guid::Parse(lib->text) == libid && (!ver || ver->text == version))
                changed = h.DeleteKey("Interface\\" + iid) || changed;
        }
        return changed;
    });
}

std::optional<Guid> ClsidFromProgId(RegistryStore& store, const std::string& progId) {
    if (progId.empty())
        return std::nullopt;
    auto text = store.QueryString(kCR, progId + "\\CLSID", "");
    if (!text)
        return std::nullopt;
    return Guid::Parse(*text);
}

std::optional<std::string> InprocServerPath(RegistryStore& store, const Guid& clsid) {
    auto path = store.QueryString(kCR, ClsidKey(clsid) + "\\InprocServer32", "");
    if (!path || path->empty())
        return std::nullopt;
    return path;
}

std::optional<std::string> TypeLibPath(RegistryStore& store, const Guid& libid,
                                       const std::string& version) {
    auto path =
        store.QueryString(kCR, "TypeLib\\" + libid.ToString() + "\\" + version + "\\0\\win32", "");
    if (!path || path->empty())
        return std::nullopt;
    return path;
}

} // namespace kivra::platform
