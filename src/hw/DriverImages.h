// The kernel driver images the program carries: x86, IA-64 and x64 NT kernel drivers and the
// Windows 9x virtual device driver, each a complete driver file written to disk byte for byte.
#pragma once

#include <cstdint>

#include "config/OsVersion.h"

namespace velmora {

struct DriverImage {
  const std::uint8_t* data = nullptr;
  std::uint32_t size = 0;
};

// Sizes of the stand-in images of the Linux build (a PE driver's sections plus a 6664-byte
// Authenticode signature block). The Windows build's images are the drivers built with it;
// their sizes are their file sizes.
inline constexpr std::uint32_t kDriverImageSizeX86 = 15368;   // 8704 + 6664
inline constexpr std::uint32_t kDriverImageSizeIa64 = 24584;  // 17920 + 6664
inline constexpr std::uint32_t kDriverImageSizeX64 = 17416;   // 10752 + 6664
inline constexpr std::uint32_t kDriverImageSize9x = 5173;     // LE virtual device driver

// The image for the running Windows: types 1/4 x86, 2/5 IA-64, 3/6 x64, 0 the 9x driver; an
// unknown type has no image, and neither has a type whose driver this build does not carry
// (the Windows build has no IA-64 or 9x driver): data null, size 0.
DriverImage EmbeddedDriverImage(TOsType osType);

}  // namespace velmora
