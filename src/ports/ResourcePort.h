// The program's own resources (kernel32): a resource is found by type, integer identifier and
// language in the executable's module, loaded and locked, and read as raw bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace velmora {

namespace win {
// Predefined resource types (winuser.h RT_*).
inline constexpr std::uint16_t kRtBitmap = 2;
inline constexpr std::uint16_t kRtString = 6;
inline constexpr std::uint16_t kRtVersion = 16;

// MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL): FindResourceEx then searches the usual language
// fallbacks (thread, user, system, English, any) instead of one language.
inline constexpr std::uint16_t kLangNeutral = 0x0000;
}  // namespace win

class IResources {
 public:
  virtual ~IResources() = default;

  // FindResourceEx(own module, type, MAKEINTRESOURCE(id), language), then LoadResource,
  // LockResource and SizeofResource: the resource's bytes, or nullopt when it is missing or
  // cannot be loaded or locked.
  virtual std::optional<std::vector<std::uint8_t>> LoadResourceBytes(std::uint16_t type,
                                                                     std::uint16_t id,
                                                                     std::uint16_t language) = 0;
};

}  // namespace velmora
