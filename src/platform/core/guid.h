#pragma once
// A 128-bit identifier of classes, interfaces and type libraries, with the registry text form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper-case hex digits, braces included).

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivra::platform {

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    // Accepts the text form with or without braces, hex digits in either case. Anything else
    // (wrong length, a missing dash, a stray character) gives nothing.
    static std::optional<Guid> Parse(std::string_view text);
    // The registry form with braces: 38 characters.
    std::string ToString() const;
    bool IsNull() const { return *this == Guid{}; }

    friend constexpr bool operator==(const Guid&, const Guid&) = default;
    friend constexpr auto operator<=>(const Guid&, const Guid&) = default;
};

// The length of the registry form, braces included.
inline constexpr std::size_t kGuidTextLength = 38;

} // namespace kivra::platform
