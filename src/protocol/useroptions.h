#pragma once
// CUserOptions: the user's server-side options as the server's userprefs block delivers them, and
// the vocabulary of message kinds, colour names and effects that the options page sends back.
//
// A style word holds a colour code in its low 16 bits, bold in bit 16 and underline in bit 17.

#include "stringarray.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CChatContext;

class CUserOptions {
public:
    // The twelve message kinds, in the order of their style words.
    enum Kind : int {
        KIND_USERNAME,
        KIND_TELL_MESSAGE,
        KIND_SAY_MESSAGE,
        KIND_EMOTE_MESSAGE,
        KIND_SHOUT_MESSAGE,
        KIND_USAGE,
        KIND_ROOM_DESCRIPTION,
        KIND_ROOM_EXITS,
        KIND_ENTER_MESSAGE,
        KIND_LEAVE_MESSAGE,
        KIND_INFO_MESSAGE,
        KIND_ATTENTION,
        KIND_COUNT
    };
    static constexpr std::uint32_t STYLE_COLOR_MASK = 0xFFFFu;
    static constexpr std::uint32_t STYLE_BOLD = 1u << 16;
    static constexpr std::uint32_t STYLE_UNDERLINE = 1u << 17;
    static constexpr std::uint32_t COLOR_WHITE = 1;
    static constexpr std::uint32_t COLOR_BLACK = 2;
    static constexpr std::uint32_t COLOR_RED = 3;
    static constexpr std::uint32_t COLOR_GREEN = 4;
    static constexpr std::uint32_t COLOR_YELLOW = 5;
    static constexpr std::uint32_t COLOR_BLUE = 6;
    static constexpr std::uint32_t COLOR_MAGENTA = 7;
    static constexpr std::uint32_t COLOR_CYAN = 8;
    // Permission coding of allowfollow / allowgoto.
    enum : std::int32_t { PERMIT_ASK = 0, PERMIT_YES = 1, PERMIT_NO = 2 };
    // Bits of the change mask: one per value the preferences pages edit.
    enum : std::uint32_t {
        CHANGED_FOLLOW = 0x00001,
        CHANGED_GOTO = 0x00002,
        CHANGED_BRIEF = 0x00004,
        CHANGED_ECHO = 0x00008,
        CHANGED_EMAIL = 0x00010,
        CHANGED_HOMEPAGE = 0x00020,
        CHANGED_ADDRESS = 0x00040,
        CHANGED_GENDER = 0x00080,
        CHANGED_DESCRIPTION = 0x00100,
        CHANGED_USERNAME = 0x00200,
        CHANGED_TELL = 0x00400,
        CHANGED_SAY = 0x00800,
        CHANGED_EMOTE = 0x01000,
        CHANGED_SHOUT = 0x02000,
        CHANGED_ENTER = 0x20000,
        CHANGED_LEAVE = 0x40000,
    };

    // Gives every kind its default colour, then its default effect.
    explicit CUserOptions(CChatContext* owner = nullptr);

    CChatContext* m_pOwner = nullptr;
    std::int32_t m_nAllowFollow = 0;
    std::int32_t m_nAllowGoto = 0;
    std::int32_t m_nReserved = 0;
    std::int32_t m_nBriefMode = 0;
    std::int32_t m_nEcho = 0;
    std::uint32_t m_dwStyle[KIND_COUNT] = {};
    char m_szEmail[256] = {};
    char m_szHomepage[256] = {};
    char m_szExtra[256] = {};
    std::int32_t m_nGender = 0;
    CStringArray m_address;
    CStringArray m_description;
    // What the preferences pages changed since the options arrived; sending never clears it.
    std::uint32_t m_dwChangeMask = 0;

    // The wire word of a kind ("username" ... "attention"); empty for an unknown index.
    static const char* KindName(int kind);
    // The kind whose wire word equals `name` (letters in any case), or -1.
    static int FindKind(std::string_view name);
    // True for the seven kinds the options page sends back.
    static bool IsEditedKind(int kind);

    // The code of a colour name: 1..8 for the eight names, 2 for "notset" and anything else.
    static std::uint32_t ColorCode(std::string_view name);
    // Replaces the whole word with the colour's code, so a colour clears the kind's effects.
    static void SetColor(std::uint32_t& style, std::string_view name);
    // Sets the bit of "bold" or "underline"; other names change nothing.
    static void AddEffect(std::uint32_t& style, std::string_view name);
    // The name of the word's colour code; empty for 0 and codes above 8.
    static const char* ColorName(std::uint32_t style);
    static bool IsBold(std::uint32_t style) { return (style & STYLE_BOLD) != 0; }
    static bool IsUnderline(std::uint32_t style) { return (style & STYLE_UNDERLINE) != 0; }
    // Replaces the low 16 bits, keeping the effects.
    static void SetColorCode(std::uint32_t& style, std::uint32_t code);
    // Clears one effect bit (STYLE_BOLD or STYLE_UNDERLINE).
    static void ClearEffect(std::uint32_t& style, std::uint32_t bit);

    // The line that sends a kind's style back: "DISPLAY <kind> <colour> " then "bold " and
    // "underline" as set, then LF.
    std::string DisplayCommand(int kind) const;

    // The change-mask bit of an edited kind's style; 0 for the kinds the pages do not edit.
    static std::uint32_t ChangeBit(int kind);
    // Sends the changed values of a preferences page (1 general, 2 user, 3 display) through
    // the owner's protocol object. Nothing goes out while the mask is 0 or for another page.
    // Returns the number of commands sent.
    int SendChanges(int page) const;
    // The commands SendChanges would send for `page`, in order.
    std::vector<std::string> ChangeCommands(int page) const;
};
