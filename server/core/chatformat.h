#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivra::server {

// The twelve message kinds whose colour and effects each user chooses.
enum MessageKind {
    kUsername,
    kTellMessage,
    kSayMessage,
    kEmoteMessage,
    kShoutMessage,
    kUsage,
    kRoomDescription,
    kRoomExits,
    kEnterMessage,
    kLeaveMessage,
    kInfoMessage,
    kAttention,
    kKindCount
};

const char* KindName(int kind);
int KindFromName(std::string_view name); // -1 when unknown
int ColorCode(std::string_view name);    // unknown names and "notset" give 2, as the client does
const char* ColorName(int code);         // "" for 0 and codes above 8

constexpr std::uint32_t kBold = 1u << 16;
constexpr std::uint32_t kUnderline = 1u << 17;

// A user's styles: colour code in the low 16 bits, bold and underline bits above.
struct CUserStyles {
    CUserStyles();
    std::array<std::uint32_t, kKindCount> style{};

    // "DISPLAY kind colour [bold] [underline]" arguments (after the verb); false when the
    // kind is unknown.
    bool ApplyDisplay(std::string_view args);
};

// The colour escape that draws text in `style` on the client: bold maps to the bright flag.
std::string Escape(std::uint32_t style);
// The escape that closes every unit; its ";m" ending is what the client's unit cutter looks for.
std::string ResetEscape();

// Wire names carry "+" for blanks; keys compare names case-insensitively with blank and "+"
// treated alike.
std::string WireName(std::string_view name);
std::string DisplayName(std::string_view wire);
std::string NameKey(std::string_view name);
// Names may hold letters, digits, blanks and "-_.'"; anything else could break a pseudo-tag.
bool IsValidName(std::string_view name);

bool EqualsNoCase(std::string_view a, std::string_view b);
std::string Lower(std::string_view s);
std::string Trim(std::string_view s);

// Builds a control block: 0x01, "<begin>", keyword lines, "<end>", every line ended by CR LF
// (the client's unit cutter looks for "<end>" followed by CR LF). Values lose line ends and are
// cut to the 1023 bytes the client keeps.
class CBlockWriter {
public:
    CBlockWriter& Add(std::string_view keyword, std::string_view value = {});
    std::string Text() const;
    bool Empty() const { return m_lines.empty(); }

private:
    std::string m_lines;
};

std::string Block(std::string_view keyword, std::string_view value = {});

// The display units a receiver gets for speech. `avatar` is the user pseudo-tag (empty while
// the receiver has avatars off); names are display names.
std::string AvatarTag(std::string_view url, std::string_view name);
std::string SayUnit(const CUserStyles& to, std::string_view avatar, std::string_view speaker,
                    std::string_view text, bool own, bool shout = false);
std::string EmoteUnit(const CUserStyles& to, std::string_view avatar, std::string_view speaker,
                      std::string_view text);
std::string TellUnit(const CUserStyles& to, std::string_view avatar, std::string_view recipients,
                     std::string_view from, std::string_view text);
std::string TellEchoUnit(const CUserStyles& to, std::string_view recipients, std::string_view from,
                         std::string_view text);
// One coloured line of server text.
std::string Notice(const CUserStyles& to, int kind, std::string_view text);

} // namespace kivra::server
