// The commands that carry the preferences pages' edits back to the server.
#include "chatcontext.h"
#include "chatprotocol.h"
#include "useroptions.h"

namespace {

const char* PermissionWord(std::int32_t permission) {
    switch (permission) {
    case CUserOptions::PERMIT_YES:
        return "yes";
    case CUserOptions::PERMIT_NO:
        return "no";
    case CUserOptions::PERMIT_ASK:
        return "ask";
    default:
        return "";
    }
}

// A text goes out on one command line or inside one block line: a CR or LF in it would end the
// command early and let the rest pass as another command, so each becomes a blank.
std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

std::string LinesBlock(const char* keyword, const CStringArray& lines) {
    std::string block = "\x01<begin>\n<";
    block += keyword;
    block += "> ";
    bool first = true;
    for (const std::string& line : lines.Items()) {
        if (!first)
            block += "%0d";
        block += OneLine(line);
        first = false;
    }
    block += "\n<end>\n";
    return block;
}

// Page 3 sends the kinds in this order.
constexpr int kDisplayOrder[] = {
    CUserOptions::KIND_ENTER_MESSAGE, CUserOptions::KIND_USERNAME,
    CUserOptions::KIND_TELL_MESSAGE,  CUserOptions::KIND_SAY_MESSAGE,
    CUserOptions::KIND_EMOTE_MESSAGE, CUserOptions::KIND_SHOUT_MESSAGE,
    CUserOptions::KIND_LEAVE_MESSAGE,
};

} // namespace

std::uint32_t CUserOptions::ChangeBit(int kind) {
    switch (kind) {
    case KIND_USERNAME:
        return CHANGED_USERNAME;
    case KIND_TELL_MESSAGE:
        return CHANGED_TELL;
    case KIND_SAY_MESSAGE:
        return CHANGED_SAY;
    case KIND_EMOTE_MESSAGE:
        return CHANGED_EMOTE;
    case KIND_SHOUT_MESSAGE:
        return CHANGED_SHOUT;
    case KIND_ENTER_MESSAGE:
        return CHANGED_ENTER;
    case KIND_LEAVE_MESSAGE:
        return CHANGED_LEAVE;
    default:
        return 0;
    }
}

std::vector<std::string> CUserOptions::ChangeCommands(int page) const {
    std::vector<std::string> out;
    const std::uint32_t mask = m_dwChangeMask;
    if (mask == 0)
        return out;
    switch (page) {
    case 1:
        if (mask & CHANGED_FOLLOW)
            out.push_back(std::string("AUTOFOLLOW ") + PermissionWord(m_nAllowFollow) + "\n");
        if (mask & CHANGED_GOTO)
            out.push_back(std::string("AUTOGOTO ") + PermissionWord(m_nAllowGoto) + "\n");
        if (mask & CHANGED_BRIEF)
            out.push_back(m_nBriefMode != 0 ? "BRIEF ON\n" : "BRIEF OFF\n");
        if (mask & CHANGED_ECHO)
            out.push_back(m_nEcho != 0 ? "ECHO ON\n" : "ECHO OFF\n");
        break;
    case 2:
        if (mask & CHANGED_EMAIL)
            out.push_back("EMAIL " + OneLine(m_szEmail) + "\n");
        if (mask & CHANGED_HOMEPAGE)
            out.push_back("URL " + OneLine(m_szHomepage) + "\n");
        if (mask & CHANGED_DESCRIPTION)
            out.push_back(LinesBlock("description", m_description));
        if (mask & CHANGED_ADDRESS)
            out.push_back(LinesBlock("address", m_address));
        break;
    case 3:
        for (const int kind : kDisplayOrder)
            if (mask & ChangeBit(kind))
                out.push_back(DisplayCommand(kind));
        break;
    default:
        break;
    }
    return out;
}

int CUserOptions::SendChanges(int page) const {
    CChatProtocol* protocol = m_pOwner != nullptr ? m_pOwner->m_pProtocol : nullptr;
    if (protocol == nullptr)
        return 0;
    int sent = 0;
    for (const std::string& command : ChangeCommands(page)) {
        protocol->Send(command.c_str());
        ++sent;
    }
    return sent;
}
