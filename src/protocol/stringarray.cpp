#include "stringarray.h"

#include "namekeylist.h"

#include <cstdio>
#include <new>

bool CStringArray::Append(std::string_view text) {
    try {
        m_items.emplace_back(text);
    } catch (const std::bad_alloc&) {
        std::fputs("    ptrMore: No more heap space\n", stderr);
        return false;
    }
    return true;
}

const char* CStringArray::At(std::size_t index) const {
    return index < m_items.size() ? m_items[index].c_str() : nullptr;
}

void CStringArray::UpperFirst(std::size_t index) {
    if (index < m_items.size() && !m_items[index].empty()) {
        char& c = m_items[index][0];
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
}

bool CStringArray::Remove(std::string_view text) {
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
        if (*it == text) {
            m_items.erase(it);
            return true;
        }
    }
    return false;
}

void CStringArray::Free() {
    m_items.clear();
}

bool CStringArray::ContainsNoCase(std::string_view text) const {
    for (const std::string& item : m_items) {
        if (EqualsNoCase(item, text))
            return true;
    }
    return false;
}

const char* const* CStringArray::Data() const {
    m_pointers.clear();
    m_pointers.reserve(m_items.size() + 1);
    for (const std::string& item : m_items)
        m_pointers.push_back(item.c_str());
    m_pointers.push_back(nullptr);
    return m_pointers.data();
}
