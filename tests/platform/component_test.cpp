// The component layer: objects, factory, dispatch, connection points, property bag, registration.

#include "classfactory.h"
#include "connectionpoint.h"
#include "dispatch.h"
#include "propertybag.h"
#include "registration.h"
#include "tempdir.h"

#include <gtest/gtest.h>

using namespace kivra::platform;

namespace {

constexpr Guid kIidCounter{0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr Guid kClsid{0xAAAA0004, 0x1234, 0x5678, {0x9A, 0xBC, 0xDE, 0xF0, 1, 2, 3, 4}};

class ICounter : public IUnknown {
public:
    static constexpr const Guid& kIid = kIidCounter;
    virtual int Next() = 0;
};

class Counter : public ComObject<ICounter, IDispatch> {
public:
    explicit Counter(int* destroyed) : m_destroyed(destroyed) {}
    ~Counter() override { ++*m_destroyed; }
    int Next() override { return ++m_n; }
    HRESULT GetIDOfName(std::string_view, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID, InvokeKind, std::span<const Variant>, Variant*) override {
        return E_NOTIMPL;
    }

private:
    int* m_destroyed;
    int m_n = 0;
};

} // namespace

TEST(Component, QueryInterfaceReferencesAndTheClassFactory) {
    int destroyed = 0;
    const long before = ModuleCounts::Objects();
    auto* c = new Counter(&destroyed);
    EXPECT_EQ(ModuleCounts::CanUnloadNow(), S_FALSE);
    {
        ComPtr<ICounter> counter = ComPtr<ICounter>::Attach(c);
        ComPtr<IDispatch> disp = counter.As<IDispatch>();
        ASSERT_TRUE(disp);
        ComPtr<IUnknown> unk1 = counter.As<IUnknown>();
        ComPtr<IUnknown> unk2 = disp.As<IUnknown>();
        // Identity: every road to IUnknown gives the same pointer.
        EXPECT_EQ(unk1.Get(), unk2.Get());
        EXPECT_EQ(c->RefCount(), 4u);
        void* none = reinterpret_cast<void*>(1);
        EXPECT_EQ(c->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
        EXPECT_EQ(c->QueryInterface(kIidCounter, nullptr), E_POINTER);
    }
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(ModuleCounts::Objects(), before);

    const ClassEntry classes[] = {
        {kClsid, [&] { return static_cast<ICounter*>(new Counter(&destroyed)); }}};
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(GetClassObject(classes, kClsid, IID_IClassFactory, factory.Out()), S_OK);

    ComPtr<ICounter> obj;
    ASSERT_EQ(factory->CreateInstance(nullptr, kIidCounter, obj.Out()), S_OK);
    EXPECT_EQ(obj->Next(), 1);
    obj.Reset();
    // An interface the object lacks: the fresh object must not leak.
    ComPtr<IClassFactory> wrong;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, wrong.Out()), E_NOINTERFACE);
    EXPECT_EQ(destroyed, 3);
    ComPtr<ICounter> aggregated;
    EXPECT_EQ(factory->CreateInstance(factory.Get(), kIidCounter, aggregated.Out()),
              CLASS_E_NOAGGREGATION);

    factory->LockServer(true); // the factory alone keeps the module loaded too: count the lock
    EXPECT_EQ(ModuleCounts::Locks(), 1);
    factory->LockServer(false);
    factory.Reset();
    EXPECT_EQ(ModuleCounts::CanUnloadNow(), S_OK);
}

TEST(Variant, PageBooleansAndConversions) {
    for (const char* t : {"TRUE", "true", "True", "1", "-1", " -1 ", "2"})
        EXPECT_EQ(Variant::ParseBool(t), true) << t;
    for (const char* t : {"FALSE", "false", "0", " 0"})
        EXPECT_EQ(Variant::ParseBool(t), false) << t;
    for (const char* t : {"", "yes", "TRUEX", "1x", "99999999999"})
        EXPECT_FALSE(Variant::ParseBool(t)) << t;
    EXPECT_EQ(Variant(true).ToString(), "TRUE");
    EXPECT_FALSE(Variant().ToBool());
    EXPECT_EQ(Variant(std::int32_t(0)).ToBool(), false);
    EXPECT_EQ(Variant().ToString(), "");
}

// Ids in member order, get and put by name, and unknown names are the control's dispatch tests.
TEST(Dispatch, MembersInOrderByNameAnyCaseWithTypedPuts) {
    std::vector<Variant> flagPuts;
    int calls = 0;
    auto getFlag = [] { return Variant(true); };
    DispatchTable t;
    t.AddProperty("SERVER", getFlag, nullptr);
    t.AddProperty("CONNECTONSTARTUP", getFlag, [&](const Variant& v) { flagPuts.push_back(v); });
    t.AddMethod("DoConnect", 0, [&](auto) { return Variant(++calls); });
    EXPECT_EQ(t.IdOfName("doconnect"), 3);

    const struct {
        DISPID id;
        InvokeKind kind;
        std::vector<Variant> args;
        HRESULT result;
    } calls_[] = {
        {2, InvokeKind::PropertyPut, {Variant("maybe")}, DISP_E_TYPEMISMATCH}, // never put
        {2, InvokeKind::PropertyPut, {Variant("false")}, S_OK},
        {1, InvokeKind::PropertyPut, {Variant(true)}, DISP_E_MEMBERNOTFOUND}, // read-only
        {3, InvokeKind::PropertyPut, {Variant(true)}, DISP_E_MEMBERNOTFOUND}, // a method
        {3, InvokeKind::Method, {Variant(true)}, DISP_E_BADPARAMCOUNT},
        {99, InvokeKind::Method, {}, DISP_E_MEMBERNOTFOUND},
        {3, InvokeKind::Method, {}, S_OK},
    };
    for (const auto& c : calls_)
        EXPECT_EQ(t.Invoke(c.id, c.kind, c.args, nullptr), c.result) << c.id;
    EXPECT_EQ(flagPuts, std::vector<Variant>{Variant(false)});
    Variant r; // the second call: the one with an argument never ran
    EXPECT_EQ(t.Invoke(3, InvokeKind::Method, {}, &r), S_OK);
    EXPECT_EQ(r, Variant(std::int32_t(2)));
}

TEST(ConnectionPoint, AdviseFireUnadviseIncludingDuringFire) {
    ConnectionPoint cp(kIidCounter);
    std::vector<std::string> log;
    std::uint32_t c1 = 0, c2 = 0, c3 = 0;
    auto* s1 =
        new FunctionSink([&](DISPID id, auto) { log.push_back("s1:" + std::to_string(id)); });
    auto* s2 = new FunctionSink([&](DISPID id, auto) {
        log.push_back("s2:" + std::to_string(id));
        cp.Unadvise(c3); // a later sink goes away while the event is under way
    });
    auto* s3 =
        new FunctionSink([&](DISPID id, auto) { log.push_back("s3:" + std::to_string(id)); });
    ASSERT_EQ(cp.Advise(s1, &c1), S_OK);
    ASSERT_EQ(cp.Advise(s2, &c2), S_OK);
    ASSERT_EQ(cp.Advise(s3, &c3), S_OK);
    EXPECT_EQ(s1->RefCount(), 2u);
    s1->Release();
    s2->Release();
    s3->Release(); // the connection point holds the last reference now

    EXPECT_EQ(cp.Fire(1), 2);
    EXPECT_EQ(log, (std::vector<std::string>{"s1:1", "s2:1"}));
    EXPECT_EQ(cp.Unadvise(c3), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(cp.Unadvise(c1), S_OK);
    log.clear();
    EXPECT_EQ(cp.Fire(2), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"s2:2"}));
    EXPECT_EQ(cp.Advise(nullptr, &c1), E_POINTER);
}

TEST(PropertyBag, NamesMatchAnyCaseLaterValueWins) {
    PropertyBag bag;
    bag.Write("UserName", "alice");
    bag.Write("POLLING", "-1");
    bag.Write("username", "bob"); // --param after the page
    EXPECT_EQ(bag.Entries().size(), 2u);
    EXPECT_EQ(bag.ReadString("USERNAME", "VALUE_UNSET"), "bob");
    EXPECT_EQ(bag.ReadString("SERVER", "VALUE_UNSET"), "VALUE_UNSET");
    EXPECT_EQ(bag.Read("polling"), "-1");
}

// The control's module test checks its keys written and removed; here lookups in any letter
// case, re-registration that replaces, and removal that leaves the rest.
TEST(Registration, LookupsReplaceOnReRegisterAndRemoveOnlyTheirOwnKeys) {
    TempDir dir;
    RegistryStore store(dir.path());
    const auto cr = RegRoot::ClassesRoot;
    store.SetString(cr, "Unrelated\\Key", "", "stays");
    store.SetString(cr, "shared.prog.1\\CLSID", "", "{BBBB0000-0000-0000-0000-000000000000}");
    const Guid lib = *Guid::Parse("{AAAA0000-1234-5678-9ABC-DEF001020304}");
    const Guid disp = *Guid::Parse("{AAAA0001-1234-5678-9ABC-DEF001020304}");
    const std::string module = "/opt/kivra/lib/libmskivra50.so";
    ControlClassInfo ctl{.clsid = kClsid,
                         .progId = "mskivra50.razar.1",
                         .typeName = "Control",
                         .modulePath = module,
                         .miscStatus = 0x00020191,
                         .typeLib = lib};
    ASSERT_TRUE(RegisterControlClass(store, ctl));
    ASSERT_TRUE(RegisterTypeLib(store, {lib, "5.0", "Library", module, {{disp, "_DRazar"}}}));
    const std::string k = "CLSID\\" + kClsid.ToString();
    EXPECT_EQ(store.QueryString(cr, k + "\\ToolboxBitmap32", ""), module + ", 1");
    EXPECT_EQ(store.QueryString(cr, "Interface\\" + disp.ToString() + "\\TypeLib", ""),
              lib.ToString());
    EXPECT_EQ(ClsidFromProgId(store, "MSKIVRA50.RAZAR.1"), kClsid);
    EXPECT_FALSE(ClsidFromProgId(store, "nobody.here.1"));

    // Registering again replaces rather than piles up.
    ctl.modulePath = "/elsewhere/libmskivra50.so";
    ctl.insertable = false;
    ASSERT_TRUE(RegisterControlClass(store, ctl));
    EXPECT_EQ(InprocServerPath(store, kClsid), "/elsewhere/libmskivra50.so");
    EXPECT_FALSE(store.KeyExists(cr, k + "\\Insertable"));

    ASSERT_TRUE(UnregisterTypeLib(store, lib, "5.0"));
    ASSERT_TRUE(UnregisterClass(store, kClsid, "mskivra50.razar.1"));
    EXPECT_FALSE(store.KeyExists(cr, "Interface\\" + disp.ToString()));
    EXPECT_EQ(store.QueryString(cr, "Unrelated\\Key", ""), "stays");
    // Unregistering what is not there is no failure; a ProgID another class took is left alone.
    EXPECT_TRUE(UnregisterClass(store, kClsid, "mskivra50.razar.1"));
    EXPECT_TRUE(UnregisterClass(store, kClsid, "shared.prog.1"));
    EXPECT_TRUE(store.KeyExists(cr, "shared.prog.1"));
}
