#pragma once
// Class factories and the standard class-object lookup of a module: a factory per CLSID makes
// fresh objects; GetClassObject finds the factory for a CLSID among the module's factories.

#include "component.h"

#include <functional>
#include <span>

namespace kivra::platform {

// {00000001-0000-0000-C000-000000000046}
inline constexpr Guid IID_IClassFactory{
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class IClassFactory : public IUnknown {
public:
    static constexpr const Guid& kIid = IID_IClassFactory;
    // Aggregation is not offered: a non-null `outer` gives CLASS_E_NOAGGREGATION.
    virtual HRESULT CreateInstance(IUnknown* outer, const Guid& iid, void** out) = 0;
    virtual HRESULT LockServer(bool lock) = 0;
};

class ClassFactory : public ComObject<IClassFactory> {
public:
    // `create` returns a new object holding one reference, or null on failure.
    using Creator = std::function<IUnknown*()>;
    ClassFactory(const Guid& clsid, Creator create) : m_clsid(clsid), m_create(std::move(create)) {}

    const Guid& Clsid() const { return m_clsid; }
    HRESULT CreateInstance(IUnknown* outer, const Guid& iid, void** out) override;
    HRESULT LockServer(bool lock) override;

private:
    Guid m_clsid;
    Creator m_create;
};

// What a module's DllGetClassObject does: the factory registered for `clsid`, asked for `iid`;
// CLASS_E_CLASSNOTAVAILABLE when the module has no such class.
struct ClassEntry {
    Guid clsid;
    ClassFactory::Creator create;
};
HRESULT GetClassObject(std::span<const ClassEntry> classes, const Guid& clsid, const Guid& iid,
                       void** out);

} // namespace kivra::platform
