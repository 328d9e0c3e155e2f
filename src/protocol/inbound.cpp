// CChatProtocol: the inbound stream. Received bytes are cut into display units (a line, a say, a
// tell, an emote, a block); each unit is routed to the main view or a private-message window and
// scanned byte by byte: plain runs are appended, and 0x01, "<", ESC and 0xFF hand over to the
// block, tag, colour and telnet handlers.
//
// Anything still unfinished at the end of the received bytes (a block without its end line, a
// say or tell whose line has not ended, a cut escape, tag or telnet command) is handed back to the
// session to present again with the next bytes, so the result does not depend on how the stream
// was cut. Past kMaxCarry bytes such a tail is shown as text instead of being held.
#include "chatprotocol.h"

#include <algorithm>
#include <cstring>

const char* MeasureChatBlock(const char* text, bool* complete, bool* malformed);

struct CChatProtocol::Unit {
    const char* end = nullptr;
    std::string name;
    int kind = UNIT_OTHER;
    IPrivateWindow* window = nullptr;
    bool block = false; // a complete block
};

namespace {

constexpr std::string_view kUserTag = "<user";
constexpr std::string_view kTellTag = "<tell to=\"";
constexpr std::string_view kSayTag = "<say username=\"";
constexpr std::string_view kEmoteTag = "<emote username=\"";
constexpr std::string_view kBlockStart = "\x01<begin>";

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

enum class Prefix { No, Yes, Undecided };

// Whether [p, end) begins with `word` (letters in any case); Undecided when the bytes run out
// while they still agree.
Prefix StartsWith(const char* p, const char* end, std::string_view word) {
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (p + i >= end)
            return Prefix::Undecided;
        if (LowerAscii(p[i]) != LowerAscii(word[i]))
            return Prefix::No;
    }
    return Prefix::Yes;
}

// Position of `what` in [p, end), or null.
const char* Find(const char* p, const char* end, std::string_view what) {
    if (p >= end)
        return nullptr;
    const std::string_view hay(p, static_cast<std::size_t>(end - p));
    const std::size_t at = hay.find(what);
    return at == std::string_view::npos ? nullptr : p + at;
}

// The text after `open` up to `close`, searching [p, end); empty when `close` is missing.
std::string Between(const char* p, const char* end, std::string_view close) {
    const char* stop = Find(p, end, close);
    return stop ? std::string(p, stop) : std::string();
}

// The bytes at which the scanner stops: everything else is plain text.
struct SpecialBytes {
    bool table[256] = {};
    constexpr SpecialBytes() {
        table[0x00] = table[0x01] = table[0x1B] = table[0xFF] = true;
        table[static_cast<unsigned char>('<')] = true;
        table[static_cast<unsigned char>('\r')] = table[static_cast<unsigned char>('\n')] = true;
    }
};
constexpr SpecialBytes kSpecial;

constexpr ChatColor Rgb(unsigned r, unsigned g, unsigned b) {
    return r | (g << 8) | (b << 16);
}

constexpr ChatColor kEscapeColours[2][8] = {
    {Rgb(0x00, 0x00, 0x00), Rgb(0xC0, 0x00, 0x00), Rgb(0x00, 0xC0, 0x00), Rgb(0xC0, 0xC0, 0x00),
     Rgb(0x00, 0x00, 0xC0), Rgb(0xC0, 0x00, 0xC0), Rgb(0x00, 0xC0, 0xC0), Rgb(0xC0, 0xC0, 0xC0)},
    {Rgb(0x80, 0x80, 0x80), Rgb(0xFF, 0x00, 0x00), Rgb(0x00, 0xFF, 0x00), Rgb(0xFF, 0xFF, 0x00),
     Rgb(0x00, 0x00, 0xFF), Rgb(0xFF, 0x00, 0xFF), Rgb(0x00, 0xFF, 0xFF), Rgb(0xFF, 0xFF, 0xFF)},
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

char* CChatProtocol::ProcessReceived(char* data, int length, int* incomplete) {
    int dummy = 0;
    if (!incomplete)
        incomplete = &dummy;
    *incomplete = 0;
    if (!data || length < 1)
        return data;
    if (m_bDispatching) {
        // Called again from inside a modal box of the running dispatch: keep everything for later
        // rather than scanning a second stream through the same work buffer.
        *incomplete = 1;
        return data;
    }
    m_bDispatching = true;
    // Cleared however this call ends, so a pane that throws does not stall the stream for good.
    struct DispatchGuard {
        bool& flag;
        ~DispatchGuard() { flag = false; }
    } guard{m_bDispatching};

    // Zero bytes carry no text (telnet pads CR with them) and would cut the units' texts short:
    // they are dropped, and the origin of every kept byte is remembered when any was dropped.
    // Telnet commands are read from the caller's bytes, where a zero option is still there.
    const auto n = static_cast<std::size_t>(length);
    m_pData = data;
    m_nDataLength = n;
    m_origin.clear();
    if (std::memchr(data, 0, n)) {
        m_work.clear();
        m_origin.reserve(n + 1);
        for (std::size_t i = 0; i < n; ++i) {
            if (data[i]) {
                m_work.push_back(data[i]);
                m_origin.push_back(i);
            }
        }
        m_origin.push_back(n);
    } else {
        m_work.assign(data, n);
    }
    char* const base = m_work.data();
    m_pLinkScanFrom = m_pLinkScanStop = nullptr;
    char* const inputEnd = base + m_work.size();

    char* r = base;
    // The last bytes ended a block's end line with CR: the LF that opens these bytes is the rest
    // of that line end, not an empty line.
    if (m_bSkipLf && r < inputEnd && *r == '\n')
        ++r;
    m_bSkipLf = false;
    char* result = nullptr;
    while (r < inputEnd) {
        m_bWatchMarkerShown = false;
        m_bAvatarPending = true;
        const bool force = static_cast<std::size_t>(inputEnd - r) > kMaxCarry;
        Unit unit;
        if (!SplitUnit(r, inputEnd, force, unit)) {
            result = r;
            break;
        }
        RouteUnit(unit);
        if (unit.window)
            unit.window->SetUnitKind(unit.kind);
        char* unitEnd = base + (unit.end - base);
        const char saved = *unitEnd;
        *unitEnd = '\0';
        bool unfinished = false;
        char* stop = ScanUnit(r, unitEnd, false, unit, unfinished);
        if (unfinished && stop == r && unitEnd != inputEnd) {
            // Unfinished at the start of a unit that more bytes follow: it cannot be finished by
            // waiting, so it is taken as it is.
            stop = ScanUnit(r, unitEnd, true, unit, unfinished);
        }
        *unitEnd = saved;
        if (unfinished && unitEnd == inputEnd) {
            result = stop;
            break;
        }
        if (!stop && unit.block && unitEnd == inputEnd && unitEnd[-1] == '\r')
            m_bSkipLf = true;
        // A construct cut by the end of its unit, and a block after text, start a unit of their
        // own.
        r = stop ? stop : unitEnd;
    }
    if (result) {
        *incomplete = 1;
        return data + Origin(result);
    }
    return data + length;
}

std::size_t CChatProtocol::Origin(const char* p) const {
    const auto at = static_cast<std::size_t>(p - m_work.data());
    return m_origin.empty() ? at : m_origin[at];
}

bool CChatProtocol::SplitUnit(const char* begin, const char* end, bool force, Unit& unit) const {
    unit.end = end;
    unit.kind = UNIT_OTHER;
    unit.name.clear();

    // The start of a pseudo-tag or block that has not fully arrived decides nothing yet.
    auto undecided = [&](Prefix p) { return p == Prefix::Undecided && !force; };

    // A say, emote or tell ends with its line: its end marker closes with the line's LF, and one
    // whose line ends without the marker is that line all the same. Until the line has ended the
    // unit waits for more bytes (false), so it is never shown in pieces, but it never holds back
    // the lines behind it.
    auto endWithLine = [&]() {
        if (const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', end - begin))) {
            unit.end = lf + 1;
            return true;
        }
        unit.end = end;
        return force;
    };
    auto classifySay = [&](const char* tag) {
        unit.name = Between(tag + kSayTag.size(), unit.end, "\">");
        unit.kind = UNIT_SAY_OTHER;
        if (IsOwnName(unit.name)) {
            unit.name.clear();
            unit.kind = UNIT_SAY_MINE;
        }
    };
    auto classifyEmote = [&](const char* tag) {
        unit.name = Between(tag + kEmoteTag.size(), unit.end, "\">");
        unit.kind = IsOwnName(unit.name) ? UNIT_SAY_MINE : UNIT_SAY_OTHER;
    };
    auto classifyTell = [&](const char* tag, bool userPrefixed) {
        const char* toStart = tag + kTellTag.size();
        std::string to;
        std::string from;
        if (const char* toEnd = Find(toStart, unit.end, "\" from=\"")) {
            to.assign(toStart, toEnd);
            from = Between(toEnd + 8, unit.end, "\">");
        }
        if (to.find(',') != std::string::npos) {
            unit.kind = userPrefixed ? UNIT_MY_TELL : UNIT_SAY_MINE;
        } else if (IsOwnName(to)) {
            unit.name = from;
            unit.kind = UNIT_TELL_TO_ME;
        } else {
            unit.name = to;
            unit.kind = UNIT_MY_TELL;
        }
    };

    const Prefix user = StartsWith(begin, end, kUserTag);
    if (undecided(user))
        return false;
    if (user == Prefix::Yes) {
        const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', end - begin));
        const char* lineEnd = lf ? lf : end;
        const auto* gt = static_cast<const char*>(std::memchr(begin, '>', lineEnd - begin));
        if (!gt)
            return endWithLine();
        const char* tag = gt + 1;
        const Prefix tell = StartsWith(tag, end, kTellTag);
        const Prefix say = StartsWith(tag, end, kSayTag);
        const Prefix emote = StartsWith(tag, end, kEmoteTag);
        if (undecided(tell) || undecided(say) || undecided(emote))
            return false;
        if (tell == Prefix::Yes) {
            if (!endWithLine())
                return false;
            classifyTell(tag, true);
        } else if (say == Prefix::Yes) {
            if (!endWithLine())
                return false;
            classifySay(tag);
        } else if (emote == Prefix::Yes) {
            if (!endWithLine())
                return false;
            classifyEmote(tag);
        } else if (const char* at = Find(begin, end, "\r\n")) {
            // A user tag before anything else is a line like any other; running it on to the end
            // of the buffer would swallow the tells behind it into the main view.
            unit.end = at + 2;
        }
        return true;
    }

    const Prefix tell = StartsWith(begin, end, kTellTag);
    const Prefix say = StartsWith(begin, end, kSayTag);
    const Prefix emote = StartsWith(begin, end, kEmoteTag);
    const Prefix block = StartsWith(begin, end, kBlockStart);
    if (undecided(tell) || undecided(say) || undecided(emote) || undecided(block))
        return false;
    if (tell == Prefix::Yes || say == Prefix::Yes || emote == Prefix::Yes) {
        if (!endWithLine())
            return false;
        if (tell == Prefix::Yes)
            classifyTell(begin, false);
        else if (say == Prefix::Yes)
            classifySay(begin);
        else
            classifyEmote(begin);
        return true;
    }
    if (block == Prefix::Yes) {
        // A block's unit ends with its real end line, so an "<end>" inside a value cannot cut it
        // short, and the line ends after it are lines of their own.
        bool complete = false;
        bool malformed = false;
        const char* blockEnd = MeasureChatBlock(begin, &complete, &malformed);
        if (blockEnd) {
            unit.end = blockEnd;
            unit.block = complete;
            return true;
        }
        unit.end = end;
        return force;
    }
    if (*begin == '\n') {
        // The second half of a CR LF cut by the reads (or an empty LF line) is a unit by itself,
        // so a tell right behind it is still a tell.
        unit.end = begin + 1;
    } else if (const char* at = Find(begin, end, "\r\n")) {
        unit.end = at + 2;
    }
    return true;
}

void CChatProtocol::RouteUnit(Unit& unit) {
    unit.window = nullptr;
    if (unit.kind != UNIT_TELL_TO_ME && unit.kind != UNIT_MY_TELL)
        return;
    IPrivateWindowMap* map = m_pOwner ? m_pOwner->m_pPrivateWindows : nullptr;
    // A tell to several people has no single partner whose window could take it.
    if (!map || unit.name.empty())
        return;
    const std::string key = MakeNameKey(unit.name);
    IPrivateWindow* window = map->Find(key);
    if (!window && map->OpenCount() < m_pOwner->m_nMaxPM)
        window = map->Create(unit.name, key);
    if (window) {
        window->BringUp(unit.kind == UNIT_MY_TELL);
        unit.window = window;
    }
}

char* CChatProtocol::ScanUnit(char* begin, char* end, bool forceAll, const Unit& unit,
                              bool& unfinished) {
    IOutputView* main = MainView();
    const char* const inputEnd = m_work.data() + m_work.size();
    char* p = begin;
    char* q = begin;
    char* restart = nullptr;
    bool lineEnd = false;
    unfinished = false;
    // Once a block in a forced unit proved unfinished, later 0x01 bytes of the unit are not
    // parsed again: each parse would walk to the end of the unit.
    bool blocksOff = false;

    while (q < end) {
        const auto c = static_cast<unsigned char>(*q);
        if (!kSpecial.table[c]) {
            ++q;
            while (q < end && !kSpecial.table[static_cast<unsigned char>(*q)])
                ++q;
            continue;
        }
        int incomplete = 0;
        char* next = nullptr;
        // Holding this construct back would carry more than the bound: take it as it is.
        const bool force = forceAll || static_cast<std::size_t>(inputEnd - q) > kMaxCarry;
        switch (c) {
        case '\r':
        case '\n':
            // The line's text takes the effects a tag switched on for it.
            if (m_bEffectsOn && q > p && q[-1] != '\r' && q[-1] != '\n') {
                FlushText(p, q, unit, false);
                p = q;
            }
            m_bEffectsOn = false;
            if (main) {
                main->SetBold(false);
                main->SetItalic(false);
                main->SetUnderline(false);
            }
            lineEnd = true;
            ++q;
            continue;
        case 0x01:
            FlushText(p, q, unit, false);
            if (!unit.window && main)
                main->FinishAppend();
            if (q != begin && !force && StartsWith(q, inputEnd, kBlockStart) != Prefix::No) {
                // A block after text is a unit of its own, which ends with its own end line.
                // Not past the bound: there every new unit would measure the rest of the data.
                p = restart = q;
                break;
            }
            if (blocksOff) {
                next = q + 1;
                break;
            }
            next = ParseBlock(q, &incomplete);
            if (incomplete && force) {
                blocksOff = true;
                incomplete = 0;
                next = q + 1; // the 0x01 is dropped; the rest shows as text
            }
            break;
        case '<':
            FlushText(p, q, unit, false);
            next = HandleTag(q, &incomplete, unit.window);
            if (incomplete && force) {
                incomplete = 0;
                next = q + 1;
            }
            if (!incomplete && next <= q + 1) {
                p = q; // not a tag: the "<" is shown as text
                ++q;
                continue;
            }
            break;
        case 0x1B:
            FlushText(p, q, unit, true);
            next = HandleEscape(q, &incomplete, unit.window);
            if (incomplete && force) {
                incomplete = 0;
                next = q + 1;
            }
            break;
        case 0xFF:
            FlushText(p, q, unit, false);
            next = ScanTelnet(q, end, force, &incomplete);
            break;
        default: // the zero byte cannot occur inside a unit
            ++q;
            continue;
        }
        if (restart)
            break;
        if (incomplete) {
            unfinished = true;
            return q;
        }
        // A handler never moves backwards or past the unit.
        if (!next || next <= q)
            next = q + 1;
        if (next > end)
            next = end;
        p = q = next;
    }

    if (q > p) {
        FlushText(p, q, unit, false);
        if (!unit.window && m_pOwner && m_pOwner->m_bMonitor && unit.kind != UNIT_SAY_MINE &&
            (unit.name.empty() || !IsOwnName(unit.name)) && m_pOwner->m_pPanel)
            m_pOwner->m_pPanel->Beep();
    }
    if (lineEnd && main)
        main->FinishAppend();
    // A line cut by the end of the received bytes goes on in the next ones, and so do its
    // effects: switching them off here would make the rendering depend on where the bytes were cut.
    const bool cutLine = end == inputEnd && end > begin && end[-1] != '\n' && end[-1] != '\r';
    if (IOutputView* target = cutLine ? nullptr : TargetView(unit.window)) {
        target->SetBold(false);
        target->SetItalic(false);
        target->SetUnderline(false);
    }
    return restart;
}

// The three bytes of a telnet command are taken from the received bytes as they came, so a zero
// option (BINARY) is an option and not a dropped byte. A command cut by the end of the received
// bytes waits for the rest; one cut by the end of its unit starts a unit of its own.
char* CChatProtocol::ScanTelnet(char* q, char* end, bool force, int* incomplete) {
    const std::size_t at = Origin(q);
    if (at + 3 > m_nDataLength) {
        if (force)
            return end;
        *incomplete = 1;
        return q;
    }
    char command[4] = {m_pData[at], m_pData[at + 1], m_pData[at + 2], '\0'};
    HandleTelnet(command, nullptr);
    char* next = q + 1;
    const char* const inputEnd = m_work.data() + m_work.size();
    while (next < inputEnd && Origin(next) <= at + 2)
        ++next;
    if (next > end && !force) {
        *incomplete = 1;
        return q;
    }
    return next;
}

void CChatProtocol::FlushText(const char* p, const char* q, const Unit& unit, bool watchRule) {
    if (q <= p)
        return;
    const auto n = static_cast<std::size_t>(q - p);
    if (unit.window) {
        unit.window->AppendIncoming(p, n);
        return;
    }
    IOutputView* main = MainView();
    if (!main)
        return;
    if (watchRule && !unit.name.empty() && IsWatching(unit.name.c_str())) {
        if (!m_bWatchMarkerShown) {
            m_bWatchMarkerShown = true;
            IUserList* users = m_pOwner ? m_pOwner->m_pUserList : nullptr;
            if (const ChatPicture* marker = users ? users->WatchMarker() : nullptr)
                main->InsertPlainPicture(*marker, -17);
        }
        // The name comes from the tag with "+" for blanks, the text shows it with blanks.
        if (SameNameKey(std::string_view(p, n), unit.name)) {
            const std::string upper = MakeNameKey(std::string_view(p, n));
            // The key turns blanks into "+"; the name is shown with its blanks.
            std::string shown(p, n);
            for (std::size_t i = 0; i < n; ++i)
                shown[i] = shown[i] == ' ' ? ' ' : upper[i];
            main->AppendText(shown.data(), n, 1);
            return;
        }
    }
    main->AppendText(p, n, 1);
}

char* CChatProtocol::HandleTelnet(char* text, int* incomplete) {
    if (incomplete)
        *incomplete = 0;
    if (static_cast<unsigned char>(text[0]) != 0xFF)
        return text;
    const auto command = static_cast<unsigned char>(text[1]);
    const auto option = static_cast<unsigned char>(text[2]);
    unsigned char reply = 0;
    if (command == 251 && option != 3)
        reply = 254; // WILL x -> DONT x
    else if (command == 253 && option != 3)
        reply = 252; // DO x -> WONT x
    if (reply) {
        const char bytes[3] = {'\xFF', static_cast<char>(reply), static_cast<char>(option)};
        if (IChatTransport* transport = Transport())
            transport->SendData(bytes, 3);
    }
    return text + 3;
}

char* CChatProtocol::HandleEscape(char* text, int* incomplete, IPrivateWindow* window) {
    int dummy = 0;
    if (!incomplete)
        incomplete = &dummy;
    *incomplete = 0;
    char* stop = text;
    std::size_t scanned = 0;
    while (*stop && *stop != '\n' && *stop != '\r' && *stop != 'm') {
        if (++scanned > kMaxEscapeLength)
            return text + 1; // far too long to be a colour escape
        ++stop;
    }
    if (!*stop) {
        *incomplete = 1;
        return text;
    }
    if (*stop != 'm' || text[1] != '[')
        return text + 1;
    for (const char* s = text + 1; s < stop; ++s) {
        if (!(*s == '\x1B' || IsDigit(*s) || *s == ';' || *s == '['))
            return text + 1;
    }
    long params[kMaxEscapeParams] = {};
    int count = 0;
    char* s = text + 2;
    for (;;) {
        long value = 0;
        while (IsDigit(*s)) {
            // Saturates: an absurd number is simply not a known code.
            value = std::min(value * 10 + (*s - '0'), 1000000L);
            ++s;
        }
        if (count < kMaxEscapeParams)
            params[count++] = value;
        if (*s != ';')
            break;
        ++s;
    }
    if (!*s) {
        *incomplete = 1;
        return text + 1;
    }
    if (*s != 'm')
        return text + 1;
    ApplyEscapeParameters(params, count, TargetView(window));
    return s + 1;
}

void CChatProtocol::ApplyEscapeParameters(const long* params, int count, IOutputView* view) {
    for (int i = 0; i < count; ++i) {
        const long code = params[i];
        if (code == 0) {
            m_nBright = 0;
            if (view)
                view->SetBaseColour(kEscapeColours[0][0]);
        } else if (code == 1) {
            m_nBright = 1;
        } else if (code >= 30 && code <= 37) {
            if (view)
                view->SetBaseColour(kEscapeColours[m_nBright ? 1 : 0][code - 30]);
        }
    }
}
