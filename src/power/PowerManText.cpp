// UTF-16 text for the power calls: PowrProf takes and returns wide strings only.
#include <string_view>

#include "config/Utf8Text.h"
#include "power/PowerMan.h"

namespace velmora {
namespace {

void AppendUtf16(std::u16string& out, char32_t codePoint) {
  if (codePoint < 0x10000) {
    out.push_back(static_cast<char16_t>(codePoint));
    return;
  }
  codePoint -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string wide;
  std::size_t pos = 0;
  while (pos < text.size()) {
    AppendUtf16(wide, NextUtf8CodePoint(text, pos).value_or(kReplacementCharacter));
  }
  return wide;
}

}  // namespace

std::u16string PowerSchemeFilePath(const std::string& exeDir) {
  return Utf8ToUtf16(exeDir + kPowerSchemeFileName);
}

std::u16string FriendlyNameFromBuffer(const std::uint8_t* buffer, std::uint32_t size) {
  std::u16string name;
  // Little-endian UTF-16; an odd trailing byte is not a character.
  for (std::uint32_t i = 0; i + 1 < size; i += 2) {
    const auto unit = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
    if (unit == 0) break;
    name.push_back(unit);
  }
  return name;
}

}  // namespace velmora
