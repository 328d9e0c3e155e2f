#pragma once
// The message interface of the rich text view: message numbers, the embedded item record and
// the logical-font record that travel through it. Everything that drives a view speaks only
// these, so the engine behind them can change without touching its users.

#include <cstddef>
#include <cstdint>

enum : unsigned {
    RTV_SETFLAGS = 0x1404,
    RTV_SETATTRIBUTES = 0x1406,
    RTV_GETDOCUMENT = 0x1409,
    RTV_GETHEIGHT = 0x140E,
    RTV_GETSCROLLPOS = 0x1410,
    RTV_UPDATE = 0x1417,
    RTV_SETFONT = 0x2600,
    RTV_GETFONT = 0x2602,
    RTV_SETSTYLE = 0x2604,
    RTV_GETSTYLE = 0x2605,
    RTV_SETCOLOR = 0x2608,
    RTV_GETCOLOR = 0x2609,
    RTV_GETSEL = 0x2C00,
    RTV_INSERTTEXT = 0x2C02,
    RTV_MOVECARET = 0x2C0C,
    RTV_SAVETEXT = 0x2E02,
    RTV_INSERTITEM = 0x3000,
    RTV_GETITEM = 0x3003,
    RTV_HITTEST = 0x3007,
    RTV_ATTACHITEM = 0x3008,
    RTV_SETMARGINS = 0x320C,
};

// Notifications the view sends to its parent.
enum : unsigned {
    RTV_WM_COMMAND = 0x0111,
    RTVN_CHANGE = 0x0300,         // high word of wParam with WM_COMMAND
    RTVN_PRIVATE_CHANGE = 0x3619, // instead of WM_COMMAND when attribute 0x80000 is set
    RTVN_INSERT_FAILED = 0x361C,
};

// Character style bits.
enum : std::uint32_t { RTV_BOLD = 1, RTV_ITALIC = 2, RTV_UNDERLINE = 4 };

// View flags (RTV_SETFLAGS). The chat views set 0x2610, which is read-only, word-wrapped,
// vertically scrolling and selectable.
enum : std::uint32_t {
    RTVF_READONLY = 0x0010,
    RTVF_WORDWRAP = 0x0200,
    RTVF_VSCROLL = 0x0400,
    RTVF_SELECTABLE = 0x2000,
};

// Attribute bits (RTV_SETATTRIBUTES).
enum : std::uint32_t {
    RTVA_PRIVATE_NOTIFY = 0x80000,
};

// RTV_MOVECARET codes.
enum : unsigned {
    RTV_CARET_POSITION = 0,
    RTV_CARET_DOC_START = 1,
    RTV_CARET_LINE_START = 2,
    RTV_CARET_DOC_END = 3,
    RTV_CARET_LINE_END = 4,
    RTV_CARET_WORD_END = 5,
    RTV_CARET_LINE_UP = 6,
    RTV_CARET_LINE_DOWN = 7,
};

// Engine item types.
enum : std::uint16_t { RTV_ITEM_PICTURE = 9, RTV_ITEM_TEXT = 11 };

// The embedded item record. Field order is part of the interface; handles and pointers are
// pointer-sized. The caller zero-fills it before use.
struct RtvItem {
    std::uint16_t reserved0;
    std::uint16_t type;   // RTV_ITEM_PICTURE or RTV_ITEM_TEXT
    std::uint16_t width;  // picture width in pixels
    std::uint16_t width2; // the same width again
    std::uint16_t height; // picture height in pixels
    std::uint16_t reserved1;
    std::uint16_t layout1; // 2 for pictures (plus the caller's placement for inline pictures)
    std::uint16_t reserved2;
    std::uint16_t layout2; // 4 for pictures
    std::uint16_t reserved3;
    std::uint32_t reserved4;
    std::int32_t offset; // vertical offset from the base line
    std::uint32_t reserved5;
    std::uintptr_t data; // const QImage* of a picture, or const char* display text of a link
    char text[44];       // the user's name for the program's kind 4
    std::uint32_t reserved6;
    std::uint32_t kind;       // the program's own kind, kept unchanged
    std::uintptr_t reference; // the program's own reference, kept unchanged
    std::int32_t position;    // where to insert
    std::uint8_t reserved7[16];
    std::uintptr_t item;  // set by the engine on insertion
    std::uintptr_t owner; // the view
    std::uint8_t reserved8[12];
};
static_assert(offsetof(RtvItem, type) == 2 && offsetof(RtvItem, offset) == 24);
static_assert(offsetof(RtvItem, data) > offsetof(RtvItem, reserved5) &&
              offsetof(RtvItem, text) > offsetof(RtvItem, data) &&
              offsetof(RtvItem, kind) > offsetof(RtvItem, text) &&
              offsetof(RtvItem, reference) > offsetof(RtvItem, kind) &&
              offsetof(RtvItem, position) > offsetof(RtvItem, reference) &&
              offsetof(RtvItem, item) > offsetof(RtvItem, position) &&
              offsetof(RtvItem, owner) > offsetof(RtvItem, item));

// A logical font. lfHeight < 0 is the character height in pixels at 96 dots per inch.
struct RtvLogFont {
    std::int32_t lfHeight;
    std::int32_t lfWidth;
    std::int32_t lfEscapement;
    std::int32_t lfOrientation;
    std::int32_t lfWeight; // 700 bold, 400 normal
    std::uint8_t lfItalic;
    std::uint8_t lfUnderline;
    std::uint8_t lfStrikeOut;
    std::uint8_t lfCharSet;
    std::uint8_t lfOutPrecision;
    std::uint8_t lfClipPrecision;
    std::uint8_t lfQuality;
    std::uint8_t lfPitchAndFamily;
    char lfFaceName[32];
};

// RTV_INSERTTEXT takes a counted text: the length, then the characters and a terminating zero.
struct RtvCountedText {
    std::int32_t length;
    const char* text;
};

// 0x00BBGGRR helpers.
constexpr std::uint32_t RtvRgb(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
