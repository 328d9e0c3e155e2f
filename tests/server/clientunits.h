#pragma once
// What the chat client makes of the server's bytes: the stream goes through the client's own
// protocol object logged in as `me`, and each display unit comes back as one line saying where
// it went and what it showed: `main beep: Bob says, "hi"` (the beep marks a unit the client
// takes for someone else's) or `pm[Ann+Lee] kind:1: ...`; block lines as the user list got them.
#include "../protocol/fakes.h"

inline std::vector<std::string> ClientUnits(const std::string& stream, const std::string& me) {
    kivra_test::Harness h;
    CopyParam(h.ctx.m_params.szUserName, me);
    h.ctx.m_bMonitor = true;
    h.Receive(stream);
    std::vector<std::string> units;
    std::string where = "main", beep, text;
    for (const std::string& l : h.rec.log) {
        const auto colon = l.find(':');
        if (l.starts_with("users "))
            units.push_back(l);
        else if (l.find(" kind:") < colon)
            where = l;
        else if (l == "panel beep")
            beep = " beep";
        else if (l.find(" text(") < colon)
            text += l.substr(colon + 1);
        else if (l == "main finish" && !text.empty()) {
            units.push_back(where + beep + ": " +
                            text.substr(0, text.find_last_not_of("\r\n") + 1));
            where = "main", beep.clear(), text.clear();
        }
    }
    return units;
}
