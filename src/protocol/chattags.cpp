// The tags of the chat stream: bold, italic, underline, the rule, the link and the avatar (its
// own file). Every other tag, the server's speaker tags among them, is dropped without trace.
#include "chatprotocol.h"
#include "namekeylist.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace {

// True when the tag name at `name` (the tag ending just before `end`) begins with `word`, letters
// in any case.
bool NameIs(const char* name, const char* end, std::string_view word) {
    return std::size_t(end - name) >= word.size() &&
           EqualsNoCase(std::string_view(name, word.size()), word);
}

} // namespace

char* CChatProtocol::HandleTag(char* text, int* incomplete, IPrivateWindow* window) {
    int dummy = 0;
    if (!incomplete)
        incomplete = &dummy;
    *incomplete = 0;
    // The walk for the tag end: a tag not closed before the line ends is text, a second "<"
    // drops the bytes before it, and one cut by the end of the received bytes waits for the rest.
    char* close = text + 1;
    for (;; ++close) {
        if (!*close) {
            *incomplete = 1;
            return text;
        }
        if (*close == '\r' || *close == '\n')
            return text + 1;
        if (*close == '<')
            return close;
        if (*close == '>')
            break;
    }
    char* const end = close + 1;
    const bool on = text[1] != '/';
    const char* name = on ? text + 1 : text + 2;
    IOutputView* target = TargetView(window);

    if (NameIs(name, end, "b>") || NameIs(name, end, "i>") || NameIs(name, end, "u>")) {
        m_bEffectsOn = m_bEffectsOn || on;
        if (target) {
            const char letter = char(*name | 0x20);
            if (letter == 'b')
                target->SetBold(on);
            else if (letter == 'i')
                target->SetItalic(on);
            else
                target->SetUnderline(on);
        }
        return end;
    }
    if (on && NameIs(name, end, "hr>")) {
        if (target)
            target->AppendSeparator();
        return end;
    }
    if (on && m_bAvatarPending && NameIs(name, end, "user avatar="))
        return HandleAvatarTag(text, end);
    if (on && NameIs(name, end, "snd=")) {
        PlaySoundTag(name + 3, end);
        return end;
    }
    if (NameIs(name, end, "a href="))
        return HandleLinkTag(text + 1, end, incomplete, target);
    return end;
}

// "<snd=NAME>": the name starts at the first letter or digit after the "=" and runs to the ">".
void CChatProtocol::PlaySoundTag(const char* equals, const char* end) {
    constexpr std::size_t kMaxSoundName = 259;
    const char* start = nullptr;
    const char* p = equals;
    for (; *p && *p != '>' && *p != '\r' && *p != '\n'; ++p)
        if (!start && std::isalnum(static_cast<unsigned char>(*p)))
            start = p;
    if (*p != '>' || p >= end)
        return;
    if (!start)
        start = equals;
    IChatPanel* panel = m_pOwner ? m_pOwner->m_pPanel : nullptr;
    if (panel && m_pOwner->m_bPlaySounds)
        panel->PlaySound(
            std::string(start, std::min<std::size_t>(std::size_t(p - start), kMaxSoundName)));
}

// "<a href=URL>LABEL</a>": the label is read up to its closing tag on the same line, so a link
// never swallows the lines after it and a line cut by the end of the received bytes waits.
char* CChatProtocol::HandleLinkTag(char* name, char* end, int* incomplete, IOutputView* target) {
    const char* url = name + 7;
    const char* gt = end - 1;
    if (gt < url)
        return end;
    const char* stop = nullptr;
    bool closed = false;
    if (m_pLinkScanFrom && m_pLinkScanFrom <= end && end <= m_pLinkScanStop) {
        stop = m_pLinkScanStop;
        closed = m_bLinkClosed;
    } else {
        // The lower-case closer wins over an upper-case one further on; mixed case closes nothing.
        const char* upper = nullptr;
        const char* p = end;
        for (; *p && *p != '\r' && *p != '\n'; ++p) {
            if (p[0] == '<' && p[1] == '/' && (p[2] == 'a' || p[2] == 'A') && p[3] == '>') {
                if (p[2] == 'a')
                    break;
                if (!upper)
                    upper = p;
            }
        }
        if (!*p) {
            *incomplete = 1;
            return name - 1;
        }
        closed = (*p == '<') || upper;
        stop = *p == '<' ? p : (upper ? upper : p);
        m_pLinkScanFrom = end;
        m_pLinkScanStop = stop;
        m_bLinkClosed = closed;
    }
    if (!closed)
        return end; // the opening tag is dropped; the label stays plain text
    if (target)
        target->InsertLink(std::string(const_cast<const char*>(end), stop), std::string(url, gt));
    return const_cast<char*>(stop) + 4;
}
