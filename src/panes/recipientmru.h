#pragma once
// CRecipientMru: the names the user last sent a private message to, most recent first, kept in
// section "Priv Msg MRU" of the settings store as "MRUCount" and "MRU000" to "MRU014". The
// section may have been edited by hand: a count past the limit counts as the limit, a missing
// value is a gap that matches no name and is never copied into a real entry.

#include "chatinterfaces.h"

#include <string>
#include <vector>

class CRecipientMru {
public:
    static constexpr int kMaxEntries = 15;
    static constexpr const char* kSection = "Priv Msg MRU";
    // What a missing value reads as; it equals no name.
    static constexpr const char* kMissing = "#$^^Not In List@@!~~";

    // The entries for the recipient list: "MRUCount" of them, stopping at the first empty one.
    static std::vector<std::string> Read(ISettingsStore& store);
    // Puts `name` at the top: an entry already there (letter case ignored, a leading "*" not
    // compared) moves up, a new one pushes the oldest out once the list is full.
    static void Add(ISettingsStore& store, const std::string& name);

    static std::string ValueName(int index);
};
