#include "config/IniInteger.h"

#include <string>

namespace velmora {
namespace {

constexpr std::size_t kMaxHexDigits = 8;

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Removes a hexadecimal introducer from the front of text; false when there is none.
bool TakeHexIntroducer(std::string_view& text) {
  if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X')) {
    text.remove_prefix(1);
    return true;
  }
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    return true;
  }
  return false;
}

std::optional<std::uint32_t> ParseHexDigits(std::string_view digits) {
  if (digits.empty() || digits.size() > kMaxHexDigits) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : digits) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

// Magnitude of a decimal number, at most limit.
std::optional<std::uint32_t> ParseDecimalDigits(std::string_view digits, std::uint32_t limit) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > limit) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<std::int32_t> ParseIniNumber(std::string_view text) {
  while (text.starts_with(' ')) text.remove_prefix(1);
  bool negative = false;
  if (text.starts_with('-') || text.starts_with('+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::optional<std::uint32_t> magnitude;
  if (TakeHexIntroducer(text)) {
    magnitude = ParseHexDigits(text);
  } else {
    magnitude = ParseDecimalDigits(text, negative ? 0x80000000u : 0x7FFFFFFFu);
  }
  if (!magnitude) return std::nullopt;
  // Two's complement: the negation of a hexadecimal value wraps within 32 bits.
  const std::uint32_t bits = negative ? 0u - *magnitude : *magnitude;
  return static_cast<std::int32_t>(bits);
}

std::int32_t IniValueToInteger(std::string_view value, std::int32_t defaultValue) {
  std::optional<std::int32_t> number;
  if (value.size() >= 3 && (value.starts_with("0x") || value.starts_with("0X"))) {
    number = ParseIniNumber("$" + std::string(value.substr(2)));
  } else {
    number = ParseIniNumber(value);
  }
  return number.value_or(defaultValue);
}

}  // namespace velmora
