#pragma once
// The component layer's base: result codes, the reference-counted IUnknown with QueryInterface,
// a smart pointer, and the module-wide counts of live objects and server locks that decide
// whether the module may be unloaded.

#include "guid.h"

#include <atomic>
#include <cstdint>
#include <tuple>
#include <utility>

namespace kivra::platform {

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;

constexpr HRESULT MakeHresult(std::uint32_t v) {
    return static_cast<HRESULT>(v);
}
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHresult(0x80004003);
inline constexpr HRESULT E_FAIL = MakeHresult(0x80004005);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHresult(0x80040111);
inline constexpr HRESULT SELFREG_E_TYPELIB = MakeHresult(0x80040200);
inline constexpr HRESULT SELFREG_E_CLASS = MakeHresult(0x80040201);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHresult(0x80040200);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHresult(0x80040202);
inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHresult(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHresult(0x80020003);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHresult(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHresult(0x80020006);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHresult(0x8002000E);

constexpr bool Succeeded(HRESULT hr) {
    return hr >= 0;
}
constexpr bool Failed(HRESULT hr) {
    return hr < 0;
}

// {00000000-0000-0000-C000-000000000046}
inline constexpr Guid IID_IUnknown{
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class IUnknown {
public:
    static constexpr const Guid& kIid = IID_IUnknown;
    // On success stores an AddRef'ed pointer to the asked interface in `*out`.
    virtual HRESULT QueryInterface(const Guid& iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

// The module's live objects and server locks (DllCanUnloadNow answers from them).
class ModuleCounts {
public:
    static void ObjectCreated() { s_objects.fetch_add(1); }
    static void ObjectDestroyed() { s_objects.fetch_sub(1); }
    static void Lock() { s_locks.fetch_add(1); }
    static void Unlock() { s_locks.fetch_sub(1); }
    static long Objects() { return s_objects.load(); }
    static long Locks() { return s_locks.load(); }
    // S_OK when nothing is alive or locked, S_FALSE otherwise.
    static HRESULT CanUnloadNow() { return Objects() == 0 && Locks() == 0 ? S_OK : S_FALSE; }

private:
    static inline std::atomic<long> s_objects{0};
    static inline std::atomic<long> s_locks{0};
};

// Implements IUnknown for a class that implements the interfaces `Is...` (each with a static
// `kIid`). The object is born with one reference, which the creator owns, and deletes itself
// when the last reference goes. Derived classes may answer further interfaces through
// QueryExtra.
template <class... Is> class ComObject : public Is... {
public:
    ComObject() { ModuleCounts::ObjectCreated(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT QueryInterface(const Guid& iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown)
            *out = static_cast<IUnknown*>(static_cast<First*>(this));
        else
            ((iid == Is::kIid && !*out ? (*out = static_cast<Is*>(this)) : nullptr), ...);
        if (!*out)
            *out = QueryExtra(iid);
        if (!*out)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    ULONG RefCount() const { return m_refs.load(); }

protected:
    ~ComObject() override { ModuleCounts::ObjectDestroyed(); }
    virtual void* QueryExtra(const Guid&) { return nullptr; }

private:
    using First = std::tuple_element_t<0, std::tuple<Is...>>;
    std::atomic<ULONG> m_refs{1};
};

// Owns one reference. Attach() takes over a reference already held (a fresh object); Copy()
// adds one.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    static ComPtr Attach(T* p) {
        ComPtr c;
        c.m_p = p;
        return c;
    }
    static ComPtr Copy(T* p) {
        if (p)
            p->AddRef();
        return Attach(p);
    }
    ComPtr(const ComPtr& o) : m_p(o.m_p) {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }
    ~ComPtr() { Reset(); }
    void Reset() {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }
    T* Detach() { return std::exchange(m_p, nullptr); }
    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For QueryInterface-style out parameters; releases what was held.
    void** Out() {
        Reset();
        return reinterpret_cast<void**>(&m_p);
    }
    template <class U> ComPtr<U> As() const {
        ComPtr<U> r;
        if (m_p)
            m_p->QueryInterface(U::kIid, r.Out());
        return r;
    }

private:
    T* m_p = nullptr;
};

} // namespace kivra::platform
