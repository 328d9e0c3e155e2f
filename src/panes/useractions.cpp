#include "useractions.h"

#include "chatcontext.h"
#include "chatprotocol.h"
#include "codepage.h"

using kivra::platform::FromWire;

namespace {
std::string LowerWire(std::string_view display) {
    std::string out = CUserActions::WireName(display);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}
} // namespace

std::string CUserActions::CleanName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name)
        if (c != '\r' && c != '\n' && c != '\0')
            out.push_back(c);
    return out;
}

std::string CUserActions::WireName(std::string_view display) {
    std::string out = CleanName(display);
    for (char& c : out)
        if (c == ' ')
            c = '+';
    return out;
}

bool CUserActions::IsOwnName(std::string_view name) const {
    return EqualsNoCase(MakeDisplayName(name), MakeDisplayName(m_context.UserName()));
}

CUserActions::MenuItem CUserActions::FollowItem(const std::string& name) const {
    const QString u = FromWire(name);
    const bool hasName = !WireName(name).empty();
    const std::string me = LowerWire(name);
    const bool followsMe = hasName && m_commands.IsFollowingMe(name);
    const std::string& f = m_context.m_strFollowedUser;
    if (m_context.m_nFollowing && !f.empty()) {
        if (LowerWire(MakeDisplayName(f)) == me)
            return {QStringLiteral("Stop Following %1").arg(u), ID_STOP_FOLLOW, true};
        if (followsMe)
            return {QStringLiteral("Kick %1 Off Your Tail!").arg(u), ID_STOP_FOLLOW, hasName};
        return {QStringLiteral("Stop Following %1, Start Following %2")
                    .arg(FromWire(MakeDisplayName(f)), u),
                ID_FOLLOW, hasName};
    }
    if (followsMe)
        return {QStringLiteral("Kick %1 Off Your Tail!").arg(u), ID_STOP_FOLLOW, hasName};
    return {QStringLiteral("Start Following %1").arg(u), ID_FOLLOW, hasName};
}

bool CUserActions::Run(int id, const std::vector<std::string>& names, const std::string& current) {
    const std::string first = names.empty() ? std::string() : names.front();
    switch (id) {
    case ID_SEND_PM:
        StartPrivate(names);
        return true;
    case ID_ADD_BUDDY:
        AddBuddies(names);
        return true;
    case ID_WHOIS:
        Whois(current.empty() ? first : current);
        return true;
    case ID_SEND_FILE:
        SendFile(first);
        return true;
    case ID_CANCEL_TRANSFER:
        CancelTransfer();
        return true;
    case ID_FOLLOW:
    case ID_STOP_FOLLOW:
        Follow(first, id == ID_FOLLOW);
        return true;
    case ID_EMOTE_AT:
        EmoteAt(m_commands.SelectedEmotion(), names);
        return true;
    case ID_IGNORE:
    case ID_ALLOW:
    case ID_WATCH:
    case ID_STOP_WATCH:
        for (const std::string& name : names) {
            if (id == ID_IGNORE)
                Ignore(name);
            else if (id == ID_ALLOW)
                Allow(name);
            else if (id == ID_WATCH)
                Watch(name);
            else
                StopWatching(name);
        }
        return true;
    default:
        return false;
    }
}

void CUserActions::SendRaw(const std::string& line) {
    if (m_context.m_pProtocol)
        m_context.m_pProtocol->Send(line.c_str());
}

void CUserActions::StartPrivate(const std::vector<std::string>& names) {
    if (!names.empty() && m_startPrivate)
        m_startPrivate(names);
}

void CUserActions::AddBuddies(const std::vector<std::string>& names) {
    // Raw lines: through the say rule they would be spoken aloud in the room.
    for (const std::string& name : names) {
        const std::string wire = WireName(name);
        if (!wire.empty())
            SendRaw("buddy add " + wire + "\n");
    }
}

void CUserActions::RemoveBuddy(const std::string& name) {
    const std::string wire = WireName(name);
    if (!wire.empty())
        SendRaw("buddy remove " + wire + "\n");
}

void CUserActions::Whois(const std::string& name) {
    const std::string wire = WireName(name);
    if (!wire.empty() && m_context.m_pProtocol)
        m_context.m_pProtocol->SendWhoisRequest(wire.c_str());
}

void CUserActions::SendFile(const std::string& name) {
    const std::string wire = WireName(name);
    if (!wire.empty() && m_sendFile && m_commands.TransferState() == 1)
        m_sendFile(wire);
}

void CUserActions::CancelTransfer() {
    if (m_cancelTransfer && m_commands.TransferState() == 2)
        m_cancelTransfer();
}

void CUserActions::Follow(const std::string& name, bool on) {
    const std::string wire = WireName(name);
    if (!wire.empty() && m_context.m_pProtocol)
        m_context.m_pProtocol->SetFollow(wire.c_str(), on ? 1 : 0);
}

void CUserActions::EmoteAt(const std::string& emotion, const std::vector<std::string>& names) {
    const std::string word = CleanName(emotion);
    if (word.empty())
        return;
    for (const std::string& name : names) {
        const std::string wire = WireName(name);
        if (!wire.empty())
            m_commands.SendSay("/" + word + " " + wire + "\n");
    }
    m_context.m_nScrollHold = 0;
}

void CUserActions::Ignore(const std::string& name) {
    const std::string wire = WireName(name);
    if (wire.empty() || IsOwnName(name))
        return;
    CChatProtocol* protocol = m_context.m_pProtocol;
    if (!protocol)
        return;
    if (!protocol->IsIgnoring(wire.c_str()))
        protocol->SetIgnore(wire.c_str(), 1);
    // Ignoring also stops watching; the watched list may hold the name more than once.
    while (protocol->IsWatching(wire.c_str()))
        protocol->RemoveWatch(wire.c_str());
    if (m_context.m_pUserList)
        m_context.m_pUserList->MarkWatched(MakeDisplayName(wire), false);
}

void CUserActions::Allow(const std::string& name) {
    const std::string wire = WireName(name);
    CChatProtocol* protocol = m_context.m_pProtocol;
    if (!wire.empty() && protocol && protocol->IsIgnoring(wire.c_str()))
        protocol->SetIgnore(wire.c_str(), 0);
}

void CUserActions::Watch(const std::string& name) {
    const std::string wire = WireName(name);
    CChatProtocol* protocol = m_context.m_pProtocol;
    if (wire.empty() || !protocol || protocol->IsIgnoring(wire.c_str()))
        return;
    // Once only, so that one "stop watching" ends it.
    if (!protocol->IsWatching(wire.c_str()))
        protocol->AddWatch(wire.c_str());
    if (m_context.m_pUserList)
        m_context.m_pUserList->MarkWatched(MakeDisplayName(wire), true);
}

void CUserActions::StopWatching(const std::string& name) {
    const std::string wire = WireName(name);
    CChatProtocol* protocol = m_context.m_pProtocol;
    if (wire.empty() || !protocol)
        return;
    while (protocol->IsWatching(wire.c_str()))
        protocol->RemoveWatch(wire.c_str());
    if (m_context.m_pUserList)
        m_context.m_pUserList->MarkWatched(MakeDisplayName(wire), false);
}

void CUserActions::Goto(const std::string& name) {
    const std::string wire = WireName(name);
    if (!wire.empty())
        m_commands.SendSay("/goto " + wire + "\n");
}
