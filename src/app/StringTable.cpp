// RT_STRING resources: strings are stored sixteen to a block; block n + 1 holds the strings
// 16 n to 16 n + 15, each as a 16-bit count of UTF-16 code units followed by the units (no
// terminator). An absent string is a count of 0.
#include <cstddef>

#include "app/Localisation.h"
#include "config/Utf8Text.h"

namespace velmora {
namespace {

constexpr unsigned kStringsPerBlock = 16;

std::uint16_t ReadUnit(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t codePoint = units[i];
    if (IsHighSurrogate(units[i]) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
      codePoint = 0x10000 + ((units[i] - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    AppendUtf8(out, codePoint);  // a lone surrogate becomes U+FFFD
  }
  return out;
}

}  // namespace

std::u16string StringTableEntry(std::span<const std::uint8_t> block, unsigned index) {
  std::size_t offset = 0;
  for (unsigned skipped = 0; skipped <= index; ++skipped) {
    if (offset + 2 > block.size()) return {};
    const std::size_t length = ReadUnit(block, offset);
    offset += 2;
    if (offset + 2 * length > block.size()) return {};
    if (skipped == index) {
      std::u16string entry(length, u'\0');
      for (std::size_t i = 0; i < length; ++i) entry[i] = ReadUnit(block, offset + 2 * i);
      return entry;
    }
    offset += 2 * length;
  }
  return {};
}

std::string LoadLocalString(IResources& resources, unsigned entry, std::uint16_t language) {
  const unsigned blockNumber = entry / kStringsPerBlock + 1;
  if (blockNumber > 0xFFFF) return {};
  const auto block = resources.LoadResourceBytes(win::kRtString,
                                                 static_cast<std::uint16_t>(blockNumber), language);
  if (!block) return {};
  return Utf16ToUtf8(StringTableEntry(*block, entry % kStringsPerBlock));
}

}  // namespace velmora
