// CChatProtocol: construction, the protocol's lists and every line and block the client sends.
#include "chatprotocol.h"

#include <string>

namespace {
constexpr char kSoh = '\x01';
constexpr char kTelnetLoginOptions[] = "\xFF\xFE\x01\xFF\xFD\x03\xFF\xFC\x18";

// A name or text inside a command line: a CR or LF would end the line early and start another
// command, so they are dropped.
std::string LineSafe(const char* name) {
    std::string s;
    for (const char* p = name ? name : ""; *p; ++p)
        if (*p != '\r' && *p != '\n')
            s.push_back(*p);
    return s;
}

std::string Plussed(const char* name) {
    std::string s = LineSafe(name);
    for (char& c : s) {
        if (c == ' ')
            c = '+';
    }
    return s;
}

const char* Safe(const char* text) {
    return text ? text : "";
}
} // namespace

CChatProtocol::CChatProtocol(CChatContext* owner) : m_pOwner(owner) {
    m_actions.Append("Action...");
}

CChatProtocol::~CChatProtocol() = default;

IChatTransport* CChatProtocol::Transport() const {
    return m_pOwner ? m_pOwner->m_pTransport : nullptr;
}

IOutputView* CChatProtocol::MainView() const {
    return m_pOwner ? m_pOwner->m_pOutput : nullptr;
}

IOutputView* CChatProtocol::TargetView(IPrivateWindow* window) const {
    return window ? window->View() : MainView();
}

bool CChatProtocol::IsOwnName(std::string_view name) const {
    // Names travel with "+" for blanks: "Me+Myself" is the user "Me Myself".
    return m_pOwner && SameNameKey(name, m_pOwner->UserName());
}

int CChatProtocol::Send(const char* text) {
    IChatTransport* transport = Transport();
    if (!transport || !text)
        return 0;
    return transport->SendText(text);
}

int CChatProtocol::SendFormatted(std::string_view a, std::string_view b, std::string_view c) {
    std::string line;
    line.reserve(a.size() + b.size() + c.size());
    line.append(a).append(b).append(c);
    return Send(line.c_str());
}

int CChatProtocol::Login() {
    Send(kTelnetLoginOptions);
    if (!m_pOwner)
        return 0;
    const ChatConnectionParams& p = m_pOwner->m_params;
    std::string block(1, kSoh);
    block += "<begin>\n";
    if (p.szCookie[0]) {
        block.append("<cookie> ").append(p.szCookie).append("\n");
        block.append("<clientversion> ").append(kClientVersion).append("\n");
    } else {
        if (!p.szUserName[0] || !p.szPassword[0])
            return 0;
        block.append("<username> ").append(p.szUserName).append("\n");
        block.append("<password> ").append(p.szPassword).append("\n");
        block.append("<clientversion> ").append(kClientVersion).append("\n");
    }
    if (p.szRoom[0])
        block.append("<room> ").append(p.szRoom).append("\n");
    block += "<end>\n";
    Send(block.c_str());
    return 1;
}

int CChatProtocol::Logout() {
    SendSay("/quit\r\n");
    m_exits.Free();
    m_actions.Free();
    return 1;
}

int CChatProtocol::SendSay(const char* text) {
    IChatTransport* transport = Transport();
    if (!text || !transport || !transport->IsConnected())
        return 0;
    if (text[0] == '/')
        return Send(text + 1);
    if (text[0] == ':') {
        Send("emote ");
        return Send(text + 1);
    }
    Send("say ");
    return Send(text);
}

int CChatProtocol::ShowText(const char* text, int style) {
    IOutputView* view = MainView();
    if (!text || !*text || !view)
        return 0;
    view->AppendText(text, std::char_traits<char>::length(text),
                     static_cast<std::uint32_t>(style < 1 ? 1 : style));
    view->FinishAppend();
    return 1;
}

int CChatProtocol::SetIgnore(const char* name, int on) {
    return SendFormatted(on ? "ignore add " : "ignore remove ", Plussed(name), "\n");
}

int CChatProtocol::SendWhoisRequest(const char* name) {
    const std::string safe = LineSafe(name);
    m_whois.name = safe;
    if (m_whois.name.size() > 255)
        m_whois.name.resize(255);
    return SendFormatted("\x01<begin>\n<whois> ", safe, "\n<end>\n");
}

const CStringArray* CChatProtocol::GetMenuList(int id) {
    if (id == MENU_EXITS)
        return &m_exits;
    if (id == MENU_ACTIONS || id == MENU_ACTIONS_USER)
        return &m_actions;
    return nullptr;
}

int CChatProtocol::SendTell(const char* names, const char* text) {
    std::string line = "tell ";
    line.append(LineSafe(names)).append(" ").append(LineSafe(text)).append("\r\n");
    return Send(line.c_str());
}

int CChatProtocol::DoMenuCommand(int id, int index) {
    if (index < 1)
        return 0;
    const auto slot = static_cast<std::size_t>(index - 1);
    if (id == MENU_EXITS) {
        if (slot >= m_exits.Count())
            return 0;
        return SendFormatted(m_exits.At(slot), "\n");
    }
    if (id == MENU_ACTIONS_USER) {
        if (slot >= m_actions.Count())
            return 0;
        IUserList* users = m_pOwner ? m_pOwner->m_pUserList : nullptr;
        if (!users)
            return 0;
        const std::vector<std::string> selection = users->Selection();
        if (selection.empty())
            return 0;
        // The list shows names with blanks; on the wire they travel with "+".
        std::string line = m_actions.At(slot);
        line.append(" ").append(Plussed(selection.front().c_str())).append("\n");
        return Send(line.c_str());
    }
    return 0;
}

int CChatProtocol::SetFollow(const char* name, int on) {
    return SendFormatted(on ? "follow " : "stopfollow ", LineSafe(name), "\n");
}

int CChatProtocol::RequestUsers() {
    return Send("users\n");
}

int CChatProtocol::RequestEmotions() {
    return Send("\x01<begin>\n<emotions>\n<end>\n");
}

int CChatProtocol::RequestUserPrefs() {
    return Send("\x01<begin>\n<userprefs>\n<end>\n");
}

int CChatProtocol::IsIgnoring(const char* name) {
    return m_ignored.Contains(Safe(name)) ? 1 : 0;
}

int CChatProtocol::IsWatching(const char* name) {
    return m_watched.Contains(Safe(name)) ? 1 : 0;
}

void CChatProtocol::AddWatch(const char* name) {
    m_watched.Add(Safe(name));
}

void CChatProtocol::RemoveWatch(const char* name) {
    m_watched.Remove(Safe(name));
}

void CChatProtocol::OnIgnoring(const char* name) {
    m_ignored.Add(Safe(name));
}

void CChatProtocol::OnStoppedIgnoring(const char* name) {
    m_ignored.Remove(Safe(name));
}
