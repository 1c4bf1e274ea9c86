#include "config/IniTextDecoding.h"

#include <cstdint>

#include "config/Utf8Text.h"

namespace velmora {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

bool IsHighSurrogate(char32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

char32_t CodeUnitAt(std::string_view bytes, std::size_t index, bool bigEndian) {
  const auto first = static_cast<unsigned char>(bytes[2 * index]);
  const auto second = static_cast<unsigned char>(bytes[2 * index + 1]);
  return bigEndian ? (char32_t{first} << 8) | second : (char32_t{second} << 8) | first;
}

}  // namespace

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  const std::size_t units = bytes.size() / 2;
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < units; ++i) {
    const char32_t unit = CodeUnitAt(bytes, i, bigEndian);
    if (IsHighSurrogate(unit) && i + 1 < units &&
        IsLowSurrogate(CodeUnitAt(bytes, i + 1, bigEndian))) {
      const char32_t low = CodeUnitAt(bytes, ++i, bigEndian);
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
    } else {
      AppendUtf8(out, unit);  // a lone surrogate comes out as U+FFFD
    }
  }
  return out;
}

std::string DecodeIniText(std::string_view bytes, IAnsiCodePage& codePage) {
  if (bytes.starts_with(kUtf8Mark)) return SanitizeUtf8(bytes.substr(kUtf8Mark.size()));
  if (bytes.starts_with(kUtf16LeMark)) return Utf16ToUtf8(bytes.substr(2), false);
  if (bytes.starts_with(kUtf16BeMark)) return Utf16ToUtf8(bytes.substr(2), true);
  return codePage.AnsiToUtf8(std::string(bytes));
}

}  // namespace velmora
