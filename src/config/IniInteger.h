// Numbers in the hardware configuration file: decimal, or hexadecimal written "0x1F", "$1F",
// "x1F" (any letter case). A hexadecimal value may use all 32 bits, so 0xFFFFFFFF reads as -1.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora {

// The number syntax proper: leading blanks, an optional sign, then either "$", "x", "X", "0x"
// or "0X" and 1 to 8 hexadecimal digits, or decimal digits within the signed 32-bit range.
// Nothing may follow. nullopt for anything else.
std::optional<std::int32_t> ParseIniNumber(std::string_view text);

// A value as the configuration reads it: "0x"/"0X" at the start of a value of three or more
// characters becomes "$", then ParseIniNumber; an unparsable value gives defaultValue.
std::int32_t IniValueToInteger(std::string_view value, std::int32_t defaultValue);

}  // namespace velmora
