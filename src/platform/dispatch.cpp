#include "dispatch.h"

#include "reghive.h"

#include <algorithm>

namespace kivra::platform {

DISPID DispatchTable::NextId(DISPID wanted) {
    const DISPID id = wanted == DISPID_UNKNOWN ? m_next : wanted;
    m_next = std::max(m_next, id + 1);
    return id;
}

DISPID DispatchTable::AddProperty(std::string name, Getter get, Setter put, DISPID id) {
    Member m;
    m.name = std::move(name);
    m.id = NextId(id);
    m.get = std::move(get);
    m.put = std::move(put);
    m_members.push_back(std::move(m));
    return m_members.back().id;
}

DISPID DispatchTable::AddMethod(std::string name, std::size_t argCount, Method call, DISPID id) {
    Member m;
    m.name = std::move(name);
    m.id = NextId(id);
    m.isMethod = true;
    m.argCount = argCount;
    m.call = std::move(call);
    m_members.push_back(std::move(m));
    return m_members.back().id;
}

std::optional<DISPID> DispatchTable::IdOfName(std::string_view name) const {
    const std::string folded = RegFoldCase(name);
    for (const Member& m : m_members)
        if (RegFoldCase(m.name) == folded)
            return m.id;
    return std::nullopt;
}

const DispatchTable::Member* DispatchTable::Find(DISPID id) const {
    for (const Member& m : m_members)
        if (m.id == id)
            return &m;
    return nullptr;
}

HRESULT DispatchTable::Invoke(DISPID id, InvokeKind kind, std::span<const Variant> args,
                              Variant* result) const {
    const Member* m = Find(id);
    if (!m)
        return DISP_E_MEMBERNOTFOUND;
    if (m->isMethod) {
        if (kind == InvokeKind::PropertyPut)
            return DISP_E_MEMBERNOTFOUND;
        if (args.size() != m->argCount)
            return DISP_E_BADPARAMCOUNT;
        Variant r = m->call ? m->call(args) : Variant();
        if (result)
            *result = std::move(r);
        return S_OK;
    }
    if (kind == InvokeKind::PropertyPut) {
        if (!m->put)
            return DISP_E_MEMBERNOTFOUND;
        if (args.size() != 1)
            return DISP_E_BADPARAMCOUNT;
        // The stored type decides: a boolean property takes TRUE/FALSE/-1/0 and the like, a
        // text property takes anything in its text form.
        const Variant current = m->get ? m->get() : Variant();
        Variant converted;
        switch (current.type()) {
        case Variant::Type::Bool: {
            auto b = args[0].ToBool();
            if (!b)
                return DISP_E_TYPEMISMATCH;
            converted = *b;
            break;
        }
        case Variant::Type::Int: {
            auto i = args[0].ToInt();
            if (!i)
                return DISP_E_TYPEMISMATCH;
            converted = *i;
            break;
        }
        case Variant::Type::String:
            converted = args[0].ToString();
            break;
        case Variant::Type::Empty:
            converted = args[0];
            break;
        }
        m->put(converted);
        return S_OK;
    }
    if (!args.empty())
        return DISP_E_BADPARAMCOUNT;
    Variant r = m->get ? m->get() : Variant();
    if (result)
        *result = std::move(r);
    return S_OK;
}

HRESULT TableDispatch::GetIDOfName(std::string_view name, DISPID* id) {
    if (!id)
        return E_POINTER;
    auto found = m_table.IdOfName(name);
    *id = found.value_or(DISPID_UNKNOWN);
    return found ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT TableDispatch::Invoke(DISPID id, InvokeKind kind, std::span<const Variant> args,
                              Variant* result) {
    return m_table.Invoke(id, kind, args, result);
}

} // namespace kivra::platform
