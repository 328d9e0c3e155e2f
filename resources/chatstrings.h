#pragma once
// The program's string table, keyed by the resource ids the code loads.

#include <string>

namespace kivra::resources {

// The string with this id, or an empty string for an id the table does not hold.
std::string LoadChatString(int id);

enum : int {
    IDS_CONTROL_TYPENAME = 1,
    IDS_PROPPAGE_TYPENAME = 2,
    IDS_PROPPAGE_CAPTION = 100,
    IDS_HELP_URL = 103,
    IDS_CLIENT_VERSION = 105,
    IDS_TICKER_WELCOME = 106,
};

} // namespace kivra::resources
