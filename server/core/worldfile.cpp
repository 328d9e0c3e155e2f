#include "worldfile.h"

#include "chatformat.h"

namespace kivra::server {

namespace {

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        out.push_back(line);
        start = end + 1;
    }
    return out;
}

std::string Where(std::size_t n, const std::string& why) {
    return "line " + std::to_string(n) + ": " + why;
}

} // namespace

WorldParse ParseWorld(std::string_view text) {
    WorldParse result;
    const auto lines = Lines(text);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string line = Trim(lines[n]);
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t blank = line.find(' ');
        const std::string word = Lower(line.substr(0, blank));
        const std::string rest = blank == std::string::npos ? "" : Trim(line.substr(blank + 1));
        if (word == "room") {
            if (!IsValidName(rest)) {
                result.error = Where(n + 1, "bad room name");
                return result;
            }
            for (const auto& r : result.rooms) {
                if (EqualsNoCase(r.name, rest)) {
                    result.error = Where(n + 1, "room defined twice: " + rest);
                    return result;
                }
            }
            result.rooms.push_back(RoomDef{rest, "chat", {}, {}});
            continue;
        }
        if (result.rooms.empty()) {
            result.error = Where(n + 1, "text before the first room");
            return result;
        }
        RoomDef& room = result.rooms.back();
        if (word == "type") {
            const std::string type = Lower(rest);
            if (type != "chat" && type != "auditorium") {
                result.error = Where(n + 1, "room type must be chat or auditorium");
                return result;
            }
            room.type = type;
        } else if (word == "description") {
            room.description.push_back(rest);
        } else if (word == "exit") {
            const std::size_t b = rest.find(' ');
            if (b == std::string::npos) {
                result.error = Where(n + 1, "exit needs a name and a target room");
                return result;
            }
            room.exits.push_back(ExitDef{rest.substr(0, b), Trim(rest.substr(b + 1))});
        } else {
            result.error = Where(n + 1, "unknown word: " + word);
            return result;
        }
    }
    if (result.rooms.empty()) {
        result.error = "no rooms";
        return result;
    }
    for (const auto& room : result.rooms) {
        for (const auto& exit : room.exits) {
            bool found = false;
            for (const auto& r : result.rooms)
                found = found || EqualsNoCase(r.name, exit.target);
            if (!found) {
                result.error = "exit " + exit.name + " of " + room.name +
                               " leads to an unknown room: " + exit.target;
                result.rooms.clear();
                return result;
            }
        }
    }
    return result;
}

std::string_view DefaultWorldText() {
    return R"(# The built-in world.
room Lobby
type chat
description A bright hall with deep chairs and a notice board covered in flyers.
description Voices drift in from the garden and the library.
exit north Garden
exit east Library
exit south Auditorium

room Garden
type chat
description Gravel paths wind between rose beds; a fountain murmurs in the middle.
exit south Lobby
exit west Tea House

room Library
type chat
description Tall shelves, green lamps, and a sign asking for quiet.
exit west Lobby

room Tea House
type chat
description A small wooden house that smells of jasmine and toast.
exit east Garden

room Auditorium
type auditorium
description Rows of seats face a stage; questions go to the speaker.
exit north Lobby
)";
}

AccountsParse ParseAccounts(std::string_view text) {
    AccountsParse result;
    const auto lines = Lines(text);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string line = Trim(lines[n]);
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> parts;
        std::size_t start = 0;
        while (true) {
            const std::size_t colon = line.find(':', start);
            parts.push_back(line.substr(start, colon - start));
            if (colon == std::string::npos)
                break;
            start = colon + 1;
        }
        if (parts.size() < 2 || parts.size() > 4) {
            result.error = Where(n + 1, "expected name:password[:cookie[:role]]");
            return result;
        }
        Account account;
        account.name = DisplayName(parts[0]);
        account.password = parts[1];
        if (parts.size() > 2)
            account.cookie = parts[2];
        if (parts.size() > 3)
            account.role = Lower(parts[3]);
        if (!IsValidName(account.name)) {
            result.error = Where(n + 1, "bad user name");
            return result;
        }
        if (!account.role.empty() && account.role != "user" && account.role != "roomop" &&
            account.role != "roomadmin" && account.role != "realmadmin" &&
            account.role != "worldadmin") {
            result.error = Where(n + 1, "unknown role " + account.role);
            return result;
        }
        if (account.role == "user")
            account.role.clear();
        result.accounts.push_back(std::move(account));
    }
    return result;
}

} // namespace kivra::server
