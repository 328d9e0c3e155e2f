#pragma once
// A growable list of owned text copies that can also be handed out as a null-terminated array of
// C strings, the form the menu builders and the options page walk. Running out of memory is
// reported on the standard error stream and leaves the array as it was.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class CStringArray {
public:
    CStringArray() = default;
    CStringArray(const CStringArray& other) = default;
    CStringArray& operator=(const CStringArray& other) = default;

    // Appends a copy of `text`; false (and a note on stderr) when memory runs out.
    bool Append(std::string_view text);
    std::size_t Count() const { return m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }
    // The entry at `index`, or null past the end.
    const char* At(std::size_t index) const;
    // Upper-cases the first character of the entry at `index` (ASCII letters; nothing past the
    // end): menus show list entries that way and the entry keeps the form it was shown in.
    void UpperFirst(std::size_t index);
    // Removes the first entry equal to `text`; false when there is none.
    bool Remove(std::string_view text);
    // Removes every entry.
    void Free();
    // True when an entry equals `text`, ASCII letters compared without case.
    bool ContainsNoCase(std::string_view text) const;
    // The entries as C strings followed by a null pointer; valid until the next change.
    const char* const* Data() const;
    const std::vector<std::string>& Items() const { return m_items; }

private:
    std::vector<std::string> m_items;
    mutable std::vector<const char*> m_pointers;
};
