// CChatProtocol: the server's control blocks. A block is the byte 0x01, "<begin>", keyword lines
// "<keyword> value" and a "<end>" line. Nothing of a block runs until its end line (followed by a
// line end) is in the buffer, so a block split across reads runs exactly once.
#include "chatprotocol.h"
#include "useroptions.h"

#include <cstring>
#include <string>

namespace {

enum : unsigned {
    ACTION_WHOIS = 1,
    ACTION_EMOTIONS = 2,
    ACTION_USERPREFS = 4,
    ACTION_TICKER = 8,
    ACTION_BUDDIES = 16,
};

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares the first n bytes of `keyword` with `word` without case; n may reach past the end of
// `word`, in which case its terminator takes part (so the keyword must end there too).
bool MatchesPrefix(const std::string& keyword, const char* word, std::size_t n) {
    const char* k = keyword.c_str();
    for (std::size_t i = 0; i < n; ++i) {
        if (LowerAscii(k[i]) != LowerAscii(word[i]))
            return false;
        if (word[i] == '\0')
            return true;
    }
    return true;
}

bool MatchesExact(const std::string& keyword, const char* word) {
    return MatchesPrefix(keyword, word, std::strlen(word) + 1);
}

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

enum class LineResult { Line, Malformed, Incomplete };

// Reads one keyword line starting at `p` (at or before its "<"). On Line, `p` moves past the
// line's first line-end byte and the keyword and value are stored (cut to their bounds) when
// the out-pointers are given.
LineResult NextLine(const char*& p, std::string* keyword, std::string* value) {
    while (*p && *p != '<')
        ++p;
    if (!*p)
        return LineResult::Incomplete;
    ++p;
    const char* kw = p;
    while (*p && *p != '>') {
        if (IsLineEnd(*p) || *p == '\x01')
            return LineResult::Malformed;
        ++p;
    }
    if (!*p)
        return LineResult::Incomplete;
    const char* kwEnd = p;
    ++p;
    while (*p == ' ')
        ++p;
    const char* val = p;
    while (*p && !IsLineEnd(*p))
        ++p;
    if (!*p)
        return LineResult::Incomplete;
    if (keyword) {
        const auto n = static_cast<std::size_t>(kwEnd - kw);
        keyword->assign(kw, n < CChatProtocol::kMaxKeyword ? n : CChatProtocol::kMaxKeyword);
    }
    if (value) {
        const auto n = static_cast<std::size_t>(p - val);
        value->assign(val, n < CChatProtocol::kMaxValue ? n : CChatProtocol::kMaxValue);
    }
    ++p;
    return LineResult::Line;
}

bool IsEndKeyword(const char* kw, const char* kwEnd) {
    return kwEnd - kw == 3 && LowerAscii(kw[0]) == 'e' && LowerAscii(kw[1]) == 'n' &&
           LowerAscii(kw[2]) == 'd';
}

enum class BlockShape { Complete, Malformed, Incomplete, NotABlock };

// Walks a block's lines without running them. On Complete, `unitEnd` is the position after the
// end line's own line end (CR LF counts as one) and `end` the position after every line end that
// follows it. On Malformed, `unitEnd` is the position after the byte that broke the keyword, so
// the rest of the stream is cut into units as usual.
BlockShape MeasureBlock(const char* text, const char** unitEnd, const char** end) {
    static const char kBegin[] = "<begin>";
    for (int i = 0; i < 7; ++i) {
        const char c = text[1 + i];
        if (!c)
            return BlockShape::Incomplete;
        if (LowerAscii(c) != kBegin[i])
            return BlockShape::NotABlock;
    }
    const char* p = text + 8;
    for (;;) {
        while (*p && *p != '<')
            ++p;
        const char* kw = p + 1;
        const LineResult r = NextLine(p, nullptr, nullptr);
        if (r == LineResult::Malformed) {
            *unitEnd = p + 1;
            return BlockShape::Malformed;
        }
        if (r == LineResult::Incomplete)
            return BlockShape::Incomplete;
        const char* kwEnd = static_cast<const char*>(std::memchr(kw, '>', p - kw));
        if (kwEnd && IsEndKeyword(kw, kwEnd)) {
            *unitEnd = p[-1] == '\r' && *p == '\n' ? p + 1 : p;
            while (IsLineEnd(*p))
                ++p;
            *end = p;
            return BlockShape::Complete;
        }
    }
}

void CopyCut(char (&field)[256], const std::string& value) {
    CopyParam(field, value);
}

} // namespace

// Exposed to the unit splitter: where the unit of the block starting at `text` ends, when it is
// complete or known to be malformed (null while it is still open).
const char* MeasureChatBlock(const char* text, bool* complete, bool* malformed) {
    const char* unitEnd = nullptr;
    const char* end = nullptr;
    const BlockShape shape = MeasureBlock(text, &unitEnd, &end);
    *complete = shape == BlockShape::Complete;
    *malformed = shape == BlockShape::Malformed || shape == BlockShape::NotABlock;
    return unitEnd;
}

char* CChatProtocol::ParseBlock(char* text, int* incomplete) {
    int dummy = 0;
    if (!incomplete)
        incomplete = &dummy;
    *incomplete = 0;
    const char* unitEnd = nullptr;
    const char* blockEnd = nullptr;
    const BlockShape shape = MeasureBlock(text, &unitEnd, &blockEnd);
    if (shape == BlockShape::NotABlock)
        return text + 1;
    if (shape == BlockShape::Incomplete) {
        *incomplete = 1;
        return text;
    }
    // Complete or malformed: run the lines up to the end line or the faulty line.
    const char* p = text + 8;
    unsigned actions = 0;
    std::string keyword;
    std::string value;
    for (;;) {
        const LineResult r = NextLine(p, &keyword, &value);
        if (r != LineResult::Line)
            return text + 1; // malformed: the rest shows as text
        if (MatchesExact(keyword, "end")) {
            RunBlockActions(actions);
            return text + (blockEnd - text);
        }
        DispatchKeyword(keyword, value, actions);
    }
}

void CChatProtocol::DispatchKeyword(const std::string& keyword, const std::string& value,
                                    unsigned& actions) {
    CChatContext* ctx = m_pOwner;
    if (!ctx)
        return;
    IUserList* users = ctx->m_pUserList;
    IChatPanel* panel = ctx->m_pPanel;
    CUserOptions* options = ctx->m_pUserOptions.get();
    const char* v = value.c_str();

    if (MatchesExact(keyword, "isadmin")) {
        ctx->m_nAdmin = 1;
    } else if (MatchesExact(keyword, "notadmin")) {
        ctx->m_nAdmin = 0;
    } else if (MatchesExact(keyword, "newroom")) {
        OnNewRoom();
    } else if (MatchesExact(keyword, "roomtype")) {
        OnRoomType(v);
    } else if (MatchesExact(keyword, "leave")) {
        OnUserLeft(v);
    } else if (MatchesExact(keyword, "userprefs")) {
        if (!ctx->m_pUserOptions)
            ctx->m_pUserOptions = std::make_shared<CUserOptions>(ctx);
        actions |= ACTION_USERPREFS;
    } else if (MatchesExact(keyword, "username color")) {
        if (options)
            CUserOptions::SetColor(options->m_dwStyle[CUserOptions::KIND_USERNAME], value);
    } else if (MatchesExact(keyword, "username effect")) {
        if (options)
            CUserOptions::AddEffect(options->m_dwStyle[CUserOptions::KIND_USERNAME], value);
    } else if (MatchesExact(keyword, "enter-message color")) {
        if (options)
            CUserOptions::SetColor(options->m_dwStyle[CUserOptions::KIND_ENTER_MESSAGE], value);
    } else if (MatchesExact(keyword, "enter-message effect")) {
        if (options)
            CUserOptions::AddEffect(options->m_dwStyle[CUserOptions::KIND_ENTER_MESSAGE], value);
    } else if (MatchesPrefix(keyword, "enter", 5) || MatchesPrefix(keyword, "user", 4)) {
        const std::size_t w = MatchesPrefix(keyword, "enter", 5) ? 5 : 4;
        std::string role = keyword;
        if (keyword.size() > w) {
            role = keyword.substr(w + 1 <= keyword.size() ? w + 1 : keyword.size());
            if (MatchesPrefix(role, "role=", 5))
                role = role.substr(5);
        }
        OnUserPresent(v, role.c_str());
    } else if (MatchesExact(keyword, "iamfollowing")) {
        ctx->m_strFollowedUser = value;
        ctx->m_nFollowing = 1;
        if (users)
            users->MarkFollowed(MakeDisplayName(value), true);
    } else if (MatchesExact(keyword, "nolongerfollowing")) {
        if (users && !ctx->m_strFollowedUser.empty())
            users->MarkFollowed(MakeDisplayName(ctx->m_strFollowedUser), false);
        ctx->m_strFollowedUser.clear();
        ctx->m_nFollowing = 0;
    } else if (MatchesExact(keyword, "followingme")) {
        OnFollowingMe(v);
    } else if (MatchesExact(keyword, "stoppedfollowingme")) {
        OnStoppedFollowingMe(v);
    } else if (MatchesExact(keyword, "iamignoring")) {
        OnIgnoring(v);
        if (users)
            users->MarkIgnored(MakeDisplayName(value), true);
    } else if (MatchesExact(keyword, "stoppedignoring")) {
        OnStoppedIgnoring(v);
        if (users)
            users->MarkIgnored(MakeDisplayName(value), false);
    } else if (MatchesExact(keyword, "exit")) {
        OnExit(v);
    } else if (MatchesExact(keyword, "serverversion")) {
        ctx->m_strServerVersion = value;
    } else if (MatchesExact(keyword, "emotions")) {
        OnEmotion(v);
        actions |= ACTION_EMOTIONS;
    } else if (MatchesPrefix(keyword, "buddy", 5)) {
        if (IBuddyCollector* buddies = panel ? panel->EnsureBuddyDialog() : nullptr)
            buddies->AddServerBuddy(value);
        actions |= ACTION_BUDDIES;
    } else if (MatchesExact(keyword, "loadurl")) {
        ServerNavigate(value, "kivradisplay");
    } else if (MatchesExact(keyword, "ipaddress")) {
        // Without the blank there is no address to reach: the line is ignored.
        const std::size_t blank = value.find(' ');
        if (blank != std::string::npos && ctx->m_pFileTransfer)
            ctx->m_pFileTransfer->OnPeerAddress(value.substr(0, blank), value.substr(blank + 1));
    } else if (MatchesExact(keyword, "loadframe")) {
        const std::size_t blank = value.find(' ');
        if (blank != std::string::npos)
            ServerNavigate(value.substr(blank + 1), value.substr(0, blank));
    } else if (MatchesPrefix(keyword, "whois", 5)) {
        OnWhois(keyword.c_str(), v);
        actions |= ACTION_WHOIS;
    } else if (MatchesPrefix(keyword, "tickermsg", 9)) {
        if (ctx->m_pTicker) {
            ctx->m_pTicker->AddMessage(value);
            actions |= ACTION_TICKER;
        }
    } else if (MatchesPrefix(keyword, "allowfollow", 11)) {
        if (options)
            options->m_nAllowFollow = EqualsNoCase(value, "yes")  ? CUserOptions::PERMIT_YES
                                      : EqualsNoCase(value, "no") ? CUserOptions::PERMIT_NO
                                                                  : CUserOptions::PERMIT_ASK;
    } else if (MatchesPrefix(keyword, "allowgoto", 9)) {
        if (options)
            options->m_nAllowGoto = EqualsNoCase(value, "yes")  ? CUserOptions::PERMIT_YES
                                    : EqualsNoCase(value, "no") ? CUserOptions::PERMIT_NO
                                                                : CUserOptions::PERMIT_ASK;
    } else if (MatchesPrefix(keyword, "briefmode", 10)) {
        if (options)
            options->m_nBriefMode = EqualsNoCase(value, "off") ? 0 : 1;
    } else if (MatchesPrefix(keyword, "echosayandtell", 14)) {
        if (options)
            options->m_nEcho = EqualsNoCase(value, "no") ? 0 : 1;
    } else if (MatchesPrefix(keyword, "email", 5)) {
        if (options)
            CopyCut(options->m_szEmail, value);
    } else if (MatchesPrefix(keyword, "homepage", 8)) {
        if (options)
            CopyCut(options->m_szHomepage, value);
    } else if (MatchesPrefix(keyword, "description", 11)) {
        if (options)
            options->m_description.Append(value);
    } else if (MatchesPrefix(keyword, "address", 7)) {
        if (options)
            options->m_address.Append(value);
    } else if (MatchesPrefix(keyword, "gender", 6)) {
        if (options)
            options->m_nGender = EqualsNoCase(value, "male") ? 0 : 1;
    } else if (MatchesPrefix(keyword, "error", 5)) {
        if (panel)
            panel->MessageBox(value, "Chat Error", MB_ICONEXCLAMATION);
    } else {
        // "<kind> color" / "<kind> effect" for the kinds not matched above.
        const std::size_t blank = keyword.rfind(' ');
        if (blank == std::string::npos || !options)
            return;
        const int kind = CUserOptions::FindKind(std::string_view(keyword).substr(0, blank));
        if (kind < 0 || kind == CUserOptions::KIND_USERNAME ||
            kind == CUserOptions::KIND_ENTER_MESSAGE)
            return;
        const std::string_view what = std::string_view(keyword).substr(blank + 1);
        if (EqualsNoCase(what, "color"))
            CUserOptions::SetColor(options->m_dwStyle[kind], value);
        else if (EqualsNoCase(what, "effect"))
            CUserOptions::AddEffect(options->m_dwStyle[kind], value);
    }
}

void CChatProtocol::RunBlockActions(unsigned actions) {
    CChatContext* ctx = m_pOwner;
    if (!ctx)
        return;
    IChatPanel* panel = ctx->m_pPanel;
    if (actions & ACTION_WHOIS)
        ShowWhois();
    if (actions & ACTION_EMOTIONS)
        EmotionsDone();
    if ((actions & ACTION_USERPREFS) && panel)
        panel->SendPanelMessage(WM_CHAT_PREFS, 0, 0);
    if ((actions & ACTION_TICKER) && ctx->m_pTicker)
        ctx->m_pTicker->Restart(ctx->m_nTickerPeriod);
    if ((actions & ACTION_BUDDIES) && panel)
        panel->SendPanelMessage(WM_CHAT_BUDDIES, 0, 0);
}

void CChatProtocol::OnNewRoom() {
    m_watched.Clear();
    m_exits.Free();
    if (!m_pOwner)
        return;
    if (IUserList* users = m_pOwner->m_pUserList) {
        users->Clear();
        users->AddOwnEntry(m_pOwner->UserName());
    }
}

void CChatProtocol::OnRoomType(const char* value) {
    if (!m_pOwner)
        return;
    const bool auditorium = EqualsNoCase(value ? value : "", "auditorium");
    m_pOwner->m_nAuditorium = auditorium ? 1 : 0;
    if (m_pOwner->m_pPanel)
        m_pOwner->m_pPanel->ShowAskButton(auditorium);
}

void CChatProtocol::OnUserPresent(const char* name, const char* role) {
    IUserList* users = m_pOwner ? m_pOwner->m_pUserList : nullptr;
    if (!users || !name)
        return;
    const std::string display = MakeDisplayName(name);
    if (!users->Contains(display))
        users->AddUser(display);
    users->SetRole(display, role ? role : "");
    if (m_followingMe.Contains(name))
        users->MarkFollower(display, true);
    if (IsIgnoring(name))
        users->MarkIgnored(display, true);
    const std::string& followed = m_pOwner->m_strFollowedUser;
    if (!followed.empty() && EqualsNoCase(followed, name))
        users->MarkFollowed(display, true);
}

void CChatProtocol::OnUserLeft(const char* name) {
    if (!name)
        return;
    const std::string display = MakeDisplayName(name);
    if (IUserList* users = m_pOwner ? m_pOwner->m_pUserList : nullptr) {
        if (users->Contains(display))
            users->RemoveUser(display);
        users->RefreshCount();
    }
    RemoveWatch(display.c_str());
    if (m_followingMe.Contains(name))
        SendFormatted("stopfollow ", name, "\n");
}

void CChatProtocol::OnExit(const char* name) {
    if (name && !m_exits.ContainsNoCase(name))
        m_exits.Append(name);
}

void CChatProtocol::OnFollowingMe(const char* name) {
    if (!name)
        return;
    m_followingMe.Add(name);
    if (IUserList* users = m_pOwner ? m_pOwner->m_pUserList : nullptr)
        users->MarkFollower(MakeDisplayName(name), true);
}

void CChatProtocol::OnStoppedFollowingMe(const char* name) {
    if (!name)
        return;
    m_followingMe.Remove(name);
    if (IUserList* users = m_pOwner ? m_pOwner->m_pUserList : nullptr)
        users->MarkFollower(MakeDisplayName(name), false);
}

void CChatProtocol::OnWhois(const char* keyword, const char* value) {
    const std::string_view kw = keyword ? keyword : "";
    const std::string_view v = value ? value : "";
    auto cut = [](std::string_view s) { return std::string(s.substr(0, 255)); };
    if (EqualsNoCase(kw, "whois")) {
        m_whois.name = cut(v);
    } else if (EqualsNoCase(kw, "whois description")) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t at = v.find("%0d", start);
            if (at == std::string_view::npos) {
                m_whois.description.emplace_back(v.substr(start));
                break;
            }
            m_whois.description.emplace_back(v.substr(start, at - start));
            start = at + 3;
        }
    } else if (EqualsNoCase(kw, "whois homepage")) {
        m_whois.homepage = cut(v);
    } else if (EqualsNoCase(kw, "whois email")) {
        m_whois.email = cut(v);
    } else if (EqualsNoCase(kw, "whois inventory")) {
        m_whois.inventory.emplace_back(v);
    }
}

void CChatProtocol::ShowWhois() {
    if (m_pOwner && m_pOwner->m_pPanel)
        m_pOwner->m_pPanel->ShowWhois(m_whois);
    m_whois = WhoisRecord{};
}

void CChatProtocol::OnEmotion(const char* value) {
    IChatPanel* panel = m_pOwner ? m_pOwner->m_pPanel : nullptr;
    if (IEmotionCollector* emotions = panel ? panel->EnsureEmotionDialog() : nullptr)
        emotions->AddServerEmotion(value ? value : "");
}

void CChatProtocol::EmotionsDone() {
    if (m_pOwner && m_pOwner->m_pPanel)
        m_pOwner->m_pPanel->SendPanelMessage(WM_CHAT_EMOTIONS, 0, 0);
}

void CChatProtocol::ServerNavigate(const std::string& url, const std::string& frame) {
    IChatPanel* panel = m_pOwner ? m_pOwner->m_pPanel : nullptr;
    if (!panel)
        return;
    // javascript:, file:, data: and the like are never handed to the browser by a server.
    const std::size_t colon = url.find(':');
    const std::string scheme = colon == std::string::npos ? std::string() : url.substr(0, colon);
    if (!EqualsNoCase(scheme, "http") && !EqualsNoCase(scheme, "https") &&
        !EqualsNoCase(scheme, "mailto"))
        return;
    // A server that pushes addresses faster than a person could read them would flood the
    // desktop with browser windows: past one a second they are dropped.
    const auto now = m_clock();
    if (m_lastNavigation && now - *m_lastNavigation < std::chrono::seconds(1))
        return;
    m_lastNavigation = now;
    panel->Navigate(url, frame);
}
