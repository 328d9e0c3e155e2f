#include "recipientmru.h"

#include "namekeylist.h"

#include <cstdio>

namespace {

int StoredCount(ISettingsStore& store) {
    const std::uint32_t count = store.GetProfileInt(CRecipientMru::kSection, "MRUCount", 0);
    return count > std::uint32_t(CRecipientMru::kMaxEntries) ? CRecipientMru::kMaxEntries
                                                             : int(count);
}

std::string Entry(ISettingsStore& store, int index) {
    return store.GetProfileString(CRecipientMru::kSection, CRecipientMru::ValueName(index),
                                  CRecipientMru::kMissing);
}

// Copies entry `from` to `to`; a gap stays a gap instead of becoming the filler text.
void Move(ISettingsStore& store, int from, int to) {
    const std::string value = Entry(store, from);
    const std::string name = CRecipientMru::ValueName(to);
    store.WriteProfileString(CRecipientMru::kSection, name.c_str(),
                             value == CRecipientMru::kMissing ? nullptr : value.c_str());
}

} // namespace

std::string CRecipientMru::ValueName(int index) {
    char name[16];
    std::snprintf(name, sizeof name, "MRU%03d", index);
    return name;
}

std::vector<std::string> CRecipientMru::Read(ISettingsStore& store) {
    std::vector<std::string> names;
    const int count = StoredCount(store);
    for (int i = 0; i < count; ++i) {
        std::string value = store.GetProfileString(kSection, ValueName(i), "");
        if (value.empty())
            break;
        names.push_back(std::move(value));
    }
    return names;
}

void CRecipientMru::Add(ISettingsStore& store, const std::string& name) {
    if (name.empty())
        return;
    const int count = StoredCount(store);
    if (store.GetProfileInt(kSection, "MRUCount", 0) == 0)
        store.WriteProfileInt(kSection, "MRUCount", 0);
    int found = -1;
    for (int i = 0; i < count && found < 0; ++i) {
        std::string entry = Entry(store, i);
        if (!entry.empty() && entry[0] == '*')
            entry.erase(0, 1);
        if (EqualsNoCase(entry, name))
            found = i;
    }
    if (found >= 0) {
        if (count == 1)
            return;
        store.WriteProfileString(kSection, ValueName(found).c_str(), nullptr);
        for (int i = found - 1; i >= 0; --i)
            Move(store, i, i + 1);
    } else {
        int top = count - 1;
        if (count == kMaxEntries) {
            store.WriteProfileString(kSection, ValueName(kMaxEntries - 1).c_str(), nullptr);
            top = kMaxEntries - 2;
        }
        for (int i = top; i >= 0; --i)
            Move(store, i, i + 1);
    }
    store.WriteProfileString(kSection, ValueName(0).c_str(), name.c_str());
    if (found < 0 && count < kMaxEntries)
        store.WriteProfileInt(kSection, "MRUCount", std::uint32_t(count + 1));
}
