#include "sim/SimAnsiCodePage.h"

#include <array>
#include <optional>

#include "config/Utf8Text.h"

namespace velmora::sim {
namespace {

// Windows-1252 bytes 0x80-0x9F.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char32_t ByteToCodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;  // ASCII and Latin-1 0xA0-0xFF are the same code points
}

std::optional<unsigned char> CodePointToByte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == c) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

}  // namespace

std::string SimAnsiCodePage::AnsiToUtf8(const std::string& ansiBytes) {
  std::string text;
  text.reserve(ansiBytes.size());
  for (char byte : ansiBytes) AppendUtf8(text, ByteToCodePoint(static_cast<unsigned char>(byte)));
  return text;
}

std::string SimAnsiCodePage::Utf8ToAnsi(const std::string& utf8Text) {
  std::string ansi;
  ansi.reserve(utf8Text.size());
  std::size_t pos = 0;
  while (pos < utf8Text.size()) {
    const std::optional<char32_t> c = NextUtf8CodePoint(utf8Text, pos);
    const std::optional<unsigned char> byte = c ? CodePointToByte(*c) : std::nullopt;
    ansi += static_cast<char>(byte.value_or('?'));
  }
  return ansi;
}

}  // namespace velmora::sim
