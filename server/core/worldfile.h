#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivra::server {

struct ExitDef {
    std::string name;   // what the user types ("north")
    std::string target; // the room it leads to
};

struct RoomDef {
    std::string name;
    std::string type = "chat"; // "chat" or "auditorium"
    std::vector<std::string> description;
    std::vector<ExitDef> exits;
};

// The world file: "room NAME" starts a room, followed by "type chat|auditorium",
// "description TEXT" (one per line) and "exit NAME TARGET" lines; "#" starts a comment.
// Parsing checks that every exit leads to a room of the file.
struct WorldParse {
    std::vector<RoomDef> rooms;
    std::string error; // empty on success; else "line N: why"
};
WorldParse ParseWorld(std::string_view text);
std::string_view DefaultWorldText();

struct Account {
    std::string name;
    std::string password;
    std::string cookie;
    std::string role; // "" for an ordinary user, else roomop, roomadmin, realmadmin, worldadmin
};

// Accounts file: "name:password[:cookie[:role]]" per line, "#" comments.
struct AccountsParse {
    std::vector<Account> accounts;
    std::string error;
};
AccountsParse ParseAccounts(std::string_view text);

} // namespace kivra::server
