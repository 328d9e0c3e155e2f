#include "chatstrings.h"

#include <map>

namespace kivra::resources {

namespace {
const std::map<int, const char*>& Table() {
    static const std::map<int, const char*> table = {
        {1, "mskivra50 Client Control"},
        {2, "mskivra50 Client Control Prop Page"},
        {100, "General"},
        {103, "https://www.kivra.example/help/"},
        {105, "5.0.0.203"},
        {106, "Welcome to our chat site!!"},
        {107, "Send Private Message to Selected..."},
        {108, "Send Private Message to %s..."},
        {109, "Send Private Message..."},
        {110, "Add Selected To Buddy List"},
        {111, "Add %s To Buddy List"},
        {112, "Who Is This Person..."},
        {113, "Who Is %s..."},
        {114, "Send File To %s..."},
        {115, "Cancel File Transfer"},
        {116, "Start Following %s"},
        {117, "Stop Following %s"},
        {118, "Follow This Person"},
        {119, "Stop Following %s, Start Following %s"},
        {120, "Kick %s Off Your Tail!"},
        {121, "%s at %s"},
        {122, "%s at Selected Persons"},
        {123, "Ignore Messages From Selected"},
        {124, "Ignore Messages From %s"},
        {125, "Allow Messages From Selected"},
        {126, "Allow Messages From %s"},
        {127, "Watch Messages From Selected"},
        {128, "Watch Messages From %s"},
        {129, "Stop Watching Messages From Selected"},
        {131, "Stop Watching Messages From %s"},
    };
    return table;
}
} // namespace

std::string LoadChatString(int id) {
    const auto it = Table().find(id);
    return it == Table().end() ? std::string() : std::string(it->second);
}

} // namespace kivra::resources
