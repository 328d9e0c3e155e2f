#pragma once
// Late-bound calls: IDispatch, and DispatchTable, the table of named members (properties and
// methods) with their dispatch ids that an object's IDispatch answers from. Names match without
// regard to letter case, as a script host looks them up.

#include "component.h"
#include "variant.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kivra::platform {

using DISPID = std::int32_t;
inline constexpr DISPID DISPID_UNKNOWN = -1;

enum class InvokeKind { Method, PropertyGet, PropertyPut };

// {00020400-0000-0000-C000-000000000046}
inline constexpr Guid IID_IDispatch{
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class IDispatch : public IUnknown {
public:
    static constexpr const Guid& kIid = IID_IDispatch;
    virtual HRESULT GetIDOfName(std::string_view name, DISPID* id) = 0;
    // `result` may be null when the caller wants none.
    virtual HRESULT Invoke(DISPID id, InvokeKind kind, std::span<const Variant> args,
                           Variant* result) = 0;
};

class DispatchTable {
public:
    using Getter = std::function<Variant()>;
    using Setter = std::function<void(const Variant&)>;
    using Method = std::function<Variant(std::span<const Variant>)>;

    struct Member {
        std::string name;
        DISPID id = DISPID_UNKNOWN;
        bool isMethod = false;
        std::size_t argCount = 0; // methods
        Getter get;               // properties
        Setter put;               // properties; empty for read-only ones
        Method call;              // methods
    };

    // Members get ids in the order they are added, from 1, unless `id` names one. A property
    // put converts its argument to the type of the getter's current value; a value that does
    // not convert fails with DISP_E_TYPEMISMATCH and the setter is not called.
    DISPID AddProperty(std::string name, Getter get, Setter put, DISPID id = DISPID_UNKNOWN);
    DISPID AddMethod(std::string name, std::size_t argCount, Method call,
                     DISPID id = DISPID_UNKNOWN);

    std::optional<DISPID> IdOfName(std::string_view name) const;
    const Member* Find(DISPID id) const;
    const std::vector<Member>& Members() const { return m_members; }

    // A property may be read by a method call as well (script hosts do that); a method may not
    // be the target of a put.
    HRESULT Invoke(DISPID id, InvokeKind kind, std::span<const Variant> args,
                   Variant* result) const;

private:
    DISPID NextId(DISPID wanted);
    std::vector<Member> m_members;
    DISPID m_next = 1;
};

// An IDispatch object over a DispatchTable: what an event sink or a simple scripted object
// needs. The table is filled after construction.
class TableDispatch : public ComObject<IDispatch> {
public:
    DispatchTable& Table() { return m_table; }
    HRESULT GetIDOfName(std::string_view name, DISPID* id) override;
    HRESULT Invoke(DISPID id, InvokeKind kind, std::span<const Variant> args,
                   Variant* result) override;

private:
    DispatchTable m_table;
};

} // namespace kivra::platform
