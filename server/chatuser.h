#pragma once

#include "chatformat.h"
#include "worldfile.h"

#include <set>
#include <string>
#include <vector>

namespace kivra::server {

class CClientConnection;
struct CRoom;

// One person in the world: a logged-in connection or a demo bot (no connection).
struct CChatUser {
    std::string name; // display name (blanks, not "+")
    std::string key;  // NameKey(name)
    std::string role; // "" or roomop, roomadmin, realmadmin, worldadmin
    CClientConnection* connection = nullptr;
    CRoom* room = nullptr;

    CUserStyles styles;
    bool avatars = true;
    bool echo = true;
    bool brief = false;
    bool sysmsg = true;
    bool ignoreMovement = false;
    std::string allowFollow = "yes";
    std::string allowGoto = "yes";
    std::string email;
    std::string homepage;
    std::string gender = "male";
    std::vector<std::string> description;
    std::vector<std::string> address;

    std::set<std::string> ignoring; // name keys
    std::string following;          // key of the user this one follows, or ""

    bool IsBot() const { return connection == nullptr; }
    std::string Wire() const { return WireName(name); }
};

struct CRoom {
    std::string name;
    std::string type = "chat";
    std::vector<std::string> description;
    std::vector<ExitDef> exits;
    std::vector<CChatUser*> present;
    bool isPrivate = false;
    std::string ownerKey; // private rooms: the creator, shown as roomop there
};

} // namespace kivra::server
