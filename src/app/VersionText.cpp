// The version shown in the about box, from the fixed part of the executable's VS_VERSIONINFO
// resource. Layout of the resource's root block: WORD wLength, WORD wValueLength, WORD wType,
// the key L"VS_VERSION_INFO" with its terminator, padding to a 32-bit boundary, then
// VS_FIXEDFILEINFO (52 bytes: dwSignature 0xFEEF04BD, dwStrucVersion, dwFileVersionMS,
// dwFileVersionLS, ...).
#include <cstddef>

#include "app/Localisation.h"

namespace velmora {
namespace {

constexpr std::u16string_view kVersionKey = u"VS_VERSION_INFO";
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFixedFileInfoSize = 52;
constexpr std::uint16_t kVersionResourceId = 1;

std::uint16_t Word(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::uint32_t Dword(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return Word(bytes, offset) | (static_cast<std::uint32_t>(Word(bytes, offset + 2)) << 16);
}

bool HasVersionKey(std::span<const std::uint8_t> bytes) {
  constexpr std::size_t kKeyOffset = 6;
  if (bytes.size() < kKeyOffset + 2 * (kVersionKey.size() + 1)) return false;
  for (std::size_t i = 0; i <= kVersionKey.size(); ++i) {
    const char16_t expected = i < kVersionKey.size() ? kVersionKey[i] : u'\0';
    if (Word(bytes, kKeyOffset + 2 * i) != expected) return false;
  }
  return true;
}

}  // namespace

std::string VersionText(const std::optional<FileVersion>& version) {
  if (!version) return {};
  std::string text = std::to_string(version->major) + "." + std::to_string(version->minor);
  if (version->release != 0 || version->build != 0) {
    text += "." + std::to_string(version->release) + "." + std::to_string(version->build);
  }
  return text;
}

std::optional<FileVersion> FixedFileVersion(std::span<const std::uint8_t> versionResource) {
  if (!HasVersionKey(versionResource)) return std::nullopt;
  if (Word(versionResource, 2) < kFixedFileInfoSize) return std::nullopt;
  const std::size_t keyEnd = 6 + 2 * (kVersionKey.size() + 1);
  const std::size_t fixed = (keyEnd + 3) & ~std::size_t{3};
  if (fixed + kFixedFileInfoSize > versionResource.size()) return std::nullopt;
  if (Dword(versionResource, fixed) != kFixedFileInfoSignature) return std::nullopt;
  const std::uint32_t mostSignificant = Dword(versionResource, fixed + 8);
  const std::uint32_t leastSignificant = Dword(versionResource, fixed + 12);
  return FileVersion{static_cast<std::uint16_t>(mostSignificant >> 16),
                     static_cast<std::uint16_t>(mostSignificant & 0xFFFF),
                     static_cast<std::uint16_t>(leastSignificant >> 16),
                     static_cast<std::uint16_t>(leastSignificant & 0xFFFF)};
}

std::string ExecutableVersionText(IResources& resources) {
  const auto bytes =
      resources.LoadResourceBytes(win::kRtVersion, kVersionResourceId, win::kLangNeutral);
  if (!bytes) return {};
  return VersionText(FixedFileVersion(*bytes));
}

}  // namespace velmora
