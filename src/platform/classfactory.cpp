#include "classfactory.h"

namespace kivra::platform {

HRESULT ClassFactory::CreateInstance(IUnknown* outer, const Guid& iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    IUnknown* object = m_create ? m_create() : nullptr;
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(iid, out);
    // Drop the creation reference: on success the caller holds the one from QueryInterface,
    // on failure the object goes away.
    object->Release();
    return hr;
}

HRESULT ClassFactory::LockServer(bool lock) {
    if (lock)
        ModuleCounts::Lock();
    else
        ModuleCounts::Unlock();
    return S_OK;
}

HRESULT GetClassObject(std::span<const ClassEntry> classes, const Guid& clsid, const Guid& iid,
                       void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    for (const ClassEntry& entry : classes) {
        if (entry.clsid != clsid)
            continue;
        auto* factory = new ClassFactory(clsid, entry.create);
        const HRESULT hr = factory->QueryInterface(iid, out);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

} // namespace kivra::platform
