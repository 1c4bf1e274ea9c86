// Stand-ins for the four driver files in the Linux build (the simulated Windows runs the
// portable request handler, not a PE image): blocks of the sizes DriverImages.h gives, back
// to back in the order x86, IA-64, x64, 9x, each starting with a tag that names it. Nothing
// reads their contents; they are written out and handed to the service manager as they stand.
// The Windows build carries the built drivers as resources instead (Win32DriverImages.cpp).
#include <array>
#include <cstddef>

#include "hw/DriverImages.h"

#ifndef VELMORA_DRIVER_IMAGES_FROM_RESOURCES

namespace velmora {
namespace {

constexpr std::size_t kOffsetX86 = 0;
constexpr std::size_t kOffsetIa64 = kOffsetX86 + kDriverImageSizeX86;
constexpr std::size_t kOffsetX64 = kOffsetIa64 + kDriverImageSizeIa64;
constexpr std::size_t kOffset9x = kOffsetX64 + kDriverImageSizeX64;
constexpr std::size_t kTotalSize = kOffset9x + kDriverImageSize9x;

constexpr void Tag(std::array<std::uint8_t, kTotalSize>& images, std::size_t offset,
                   const char* tag) {
  for (std::size_t i = 0; tag[i] != '\0'; ++i)
    images[offset + i] = static_cast<std::uint8_t>(tag[i]);
}

constexpr std::array<std::uint8_t, kTotalSize> MakeImages() {
  std::array<std::uint8_t, kTotalSize> images{};
  Tag(images, kOffsetX86, "ZlkVmDrv placeholder x86");
  Tag(images, kOffsetIa64, "ZlkVmDrv placeholder ia64");
  Tag(images, kOffsetX64, "ZlkVmDrv placeholder x64");
  Tag(images, kOffset9x, "ZlkVmDrv placeholder 9x");
  return images;
}

constexpr std::array<std::uint8_t, kTotalSize> kImages = MakeImages();

}  // namespace

DriverImage EmbeddedDriverImage(TOsType osType) {
  switch (osType) {
    case otNt5X86:
    case otNt6X86:
      return {kImages.data() + kOffsetX86, kDriverImageSizeX86};
    case otNt5Ia64:
    case otNt6Ia64:
      return {kImages.data() + kOffsetIa64, kDriverImageSizeIa64};
    case otNt5X64:
    case otNt6X64:
      return {kImages.data() + kOffsetX64, kDriverImageSizeX64};
    case otWin9x:
      return {kImages.data() + kOffset9x, kDriverImageSize9x};
    default:
      return {};
  }
}

}  // namespace velmora

#endif  // VELMORA_DRIVER_IMAGES_FROM_RESOURCES
