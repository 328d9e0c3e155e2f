#include "useroptions.h"

#include "namekeylist.h"

namespace {

struct KindInfo {
    const char* name;
    std::uint32_t colour;
    std::uint32_t effect;
    bool edited;
};

constexpr KindInfo kKinds[CUserOptions::KIND_COUNT] = {
    {"username", CUserOptions::COLOR_RED, CUserOptions::STYLE_BOLD, true},
    {"tell-message", CUserOptions::COLOR_MAGENTA, 0, true},
    {"say-message", CUserOptions::COLOR_BLUE, 0, true},
    {"emote-message", CUserOptions::COLOR_MAGENTA, 0, true},
    {"shout-message", CUserOptions::COLOR_BLUE, 0, true},
    {"usage", CUserOptions::COLOR_BLACK, 0, false},
    {"room-description", CUserOptions::COLOR_BLACK, 0, false},
    {"room-exits", CUserOptions::COLOR_BLACK, 0, false},
    {"enter-message", CUserOptions::COLOR_BLACK, CUserOptions::STYLE_BOLD, true},
    {"leave-message", CUserOptions::COLOR_BLACK, CUserOptions::STYLE_BOLD, true},
    {"info-message", CUserOptions::COLOR_BLACK, CUserOptions::STYLE_BOLD, false},
    {"attention", CUserOptions::COLOR_BLACK, CUserOptions::STYLE_BOLD, false},
};

// Index = colour code; "notset" and unknown names map to black's code.
constexpr const char* kColourNames[] = {"",       "white", "black",   "red", "green",
                                        "yellow", "blue",  "magenta", "cyan"};

} // namespace

CUserOptions::CUserOptions(CChatContext* owner) : m_pOwner(owner) {
    for (int k = 0; k < KIND_COUNT; ++k) {
        m_dwStyle[k] = kKinds[k].colour;
        m_dwStyle[k] |= kKinds[k].effect;
    }
}

const char* CUserOptions::KindName(int kind) {
    return (kind >= 0 && kind < KIND_COUNT) ? kKinds[kind].name : "";
}

int CUserOptions::FindKind(std::string_view name) {
    for (int k = 0; k < KIND_COUNT; ++k) {
        if (EqualsNoCase(name, kKinds[k].name))
            return k;
    }
    return -1;
}

bool CUserOptions::IsEditedKind(int kind) {
    return kind >= 0 && kind < KIND_COUNT && kKinds[kind].edited;
}

std::uint32_t CUserOptions::ColorCode(std::string_view name) {
    for (std::uint32_t code = COLOR_WHITE; code <= COLOR_CYAN; ++code) {
        if (EqualsNoCase(name, kColourNames[code]))
            return code;
    }
    return COLOR_BLACK;
}

void CUserOptions::SetColor(std::uint32_t& style, std::string_view name) {
    style = ColorCode(name);
}

void CUserOptions::AddEffect(std::uint32_t& style, std::string_view name) {
    if (EqualsNoCase(name, "bold"))
        style |= STYLE_BOLD;
    else if (EqualsNoCase(name, "underline"))
        style |= STYLE_UNDERLINE;
}

const char* CUserOptions::ColorName(std::uint32_t style) {
    const std::uint32_t code = style & STYLE_COLOR_MASK;
    return code <= COLOR_CYAN ? kColourNames[code] : "";
}

void CUserOptions::SetColorCode(std::uint32_t& style, std::uint32_t code) {
    style = (style & ~STYLE_COLOR_MASK) | (code & STYLE_COLOR_MASK);
}

void CUserOptions::ClearEffect(std::uint32_t& style, std::uint32_t bit) {
    style &= ~(bit & (STYLE_BOLD | STYLE_UNDERLINE));
}

std::string CUserOptions::DisplayCommand(int kind) const {
    if (kind < 0 || kind >= KIND_COUNT)
        return {};
    const std::uint32_t style = m_dwStyle[kind];
    std::string line = "DISPLAY ";
    line += KindName(kind);
    line += ' ';
    line += ColorName(style);
    line += ' ';
    if (IsBold(style))
        line += "bold ";
    if (IsUnderline(style))
        line += "underline";
    line += '\n';
    return line;
}
