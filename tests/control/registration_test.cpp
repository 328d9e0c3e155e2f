#include "controlfixture.h"
#include "dispatch.h"
#include "guids.h"
#include "razarmodule.h"
#include "registration.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

using namespace kivra::control;
using namespace kivra::platform;

namespace {
// Registration into the fixture's private registry folder.
class Registration : public testing::Test, public ControlFixture {
protected:
    std::string Default(const std::string& key) {
        return registry.QueryString(RegRoot::ClassesRoot, key, "").value_or("<missing>");
    }
};
} // namespace

TEST_F(Registration, RegisterWritesEveryKeyAndUnregisterRemovesThem) {
    const std::string module = "/opt/kivra/libmskivra50.so";
    ASSERT_EQ(RegisterModule(registry, module), S_OK);

    const std::string clsid = std::string("CLSID\\") + kControlClsid;
    const std::string page = std::string("CLSID\\") + kPropPageClsid;
    const std::string lib = std::string("TypeLib\\") + kTypeLibGuid + "\\5.0";
    const std::pair<std::string, std::string> defaults[] = {
        {clsid, "mskivra50 Client Control"},
        {clsid + "\\InprocServer32", module},
        {clsid + "\\ProgID", "mskivra50.razar.1"},
        {clsid + "\\MiscStatus\\1", std::to_string(0x00020191)},
        {clsid + "\\TypeLib", kTypeLibGuid},
        {clsid + "\\Version", "5.0"},
        {"mskivra50.razar.1\\CLSID", kControlClsid},
        {page, "mskivra50 Client Control Prop Page"},
        {page + "\\InprocServer32", module},
        {"mskivra50.razarPropPage.1\\CLSID", kPropPageClsid},
        {lib, "mskivra50 OLE Control module"},
    };
    for (const auto& [key, value] : defaults)
        EXPECT_EQ(Default(key), value) << key;
    EXPECT_EQ(
        registry.QueryString(RegRoot::ClassesRoot, clsid + "\\InprocServer32", "ThreadingModel"),
        "Apartment");
    for (const char* key : {"\\Insertable", "\\Control",
                            "\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}",
                            "\\Implemented Categories\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}"})
        EXPECT_TRUE(registry.KeyExists(RegRoot::ClassesRoot, clsid + key)) << key;

    ASSERT_EQ(UnregisterModule(registry), S_OK);
    for (const std::string& key :
         {clsid, page, std::string("mskivra50.razar.1"), std::string("mskivra50.razarPropPage.1"),
          std::string("TypeLib\\") + kTypeLibGuid})
        EXPECT_FALSE(registry.KeyExists(RegRoot::ClassesRoot, key)) << key;
    EXPECT_TRUE(warnings.str().empty()) << warnings.str();
}

TEST_F(Registration, ClassObjectsOfTheModule) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(GetModuleClassObject(*Guid::Parse(kControlClsid), IID_IClassFactory, factory.Out()),
              S_OK);
    ComPtr<IDispatch> ctrl;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, ctrl.Out()), S_OK);
    ctrl.Reset();
    factory.Reset();
    EXPECT_EQ(ModuleCounts::CanUnloadNow(), S_OK);
}

// The built module through its C entry points, against a private registry folder.
TEST_F(Registration, ModuleEntryPointsRegisterItsOwnPath) {
    const char* bin = std::getenv("KIVRA_BIN_DIR");
    if (bin == nullptr)
        GTEST_SKIP() << "KIVRA_BIN_DIR is not set";
    const std::string path = std::string(bin) + "/libmskivra50.so";
    setenv("KIVRA_REGISTRY_DIR", (dir.path() + "/registry").toStdString().c_str(), 1);
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    using Fn = HRESULT (*)();
    auto reg = reinterpret_cast<Fn>(dlsym(module, "DllRegisterServer"));
    auto unreg = reinterpret_cast<Fn>(dlsym(module, "DllUnregisterServer"));
    auto canUnload = reinterpret_cast<Fn>(dlsym(module, "DllCanUnloadNow"));
    ASSERT_TRUE(reg && unreg && canUnload && dlsym(module, "DllGetClassObject"));
    ASSERT_EQ(reg(), S_OK);
    const auto registered = InprocServerPath(registry, *Guid::Parse(kControlClsid));
    ASSERT_TRUE(registered);
    EXPECT_TRUE(std::filesystem::equivalent(*registered, path));
    EXPECT_EQ(canUnload(), S_OK);
    ASSERT_EQ(unreg(), S_OK);
    EXPECT_FALSE(InprocServerPath(registry, *Guid::Parse(kControlClsid)));
}
