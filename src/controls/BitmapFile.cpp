#include "controls/BitmapFile.h"

#include <optional>
#include <vector>

namespace velmora {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER; V4 and V5 headers are longer
constexpr std::uint32_t kBiRgb = 0;
// Far beyond any skin picture; keeps a hostile header from asking for gigabytes.
constexpr std::int64_t kMaxSide = 16384;
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 26;

std::uint32_t Le16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8;
}

std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return Le16(bytes, at) | Le16(bytes, at + 2) << 16;
}

struct DibLayout {
  std::int64_t width = 0;
  std::int64_t height = 0;
  bool topDown = false;
  std::int64_t bytesPerPixel = 0;
  std::int64_t stride = 0;
  std::int64_t headerSize = 0;
  std::int64_t colourTableSize = 0;
};

std::optional<DibLayout> ReadInfoHeader(std::span<const std::uint8_t> dib) {
  if (dib.size() < kInfoHeaderSize) return std::nullopt;
  DibLayout layout;
  layout.headerSize = Le32(dib, 0);
  if (layout.headerSize < kInfoHeaderSize || layout.headerSize > std::int64_t(dib.size())) {
    return std::nullopt;
  }
  const std::int32_t width = static_cast<std::int32_t>(Le32(dib, 4));
  const std::int32_t height = static_cast<std::int32_t>(Le32(dib, 8));
  const std::uint32_t planes = Le16(dib, 12);
  const std::uint32_t bits = Le16(dib, 14);
  const std::uint32_t compression = Le32(dib, 16);
  if (planes != 1 || (bits != 24 && bits != 32) || compression != kBiRgb) return std::nullopt;
  layout.width = width;
  layout.topDown = height < 0;
  layout.height = layout.topDown ? -std::int64_t{height} : std::int64_t{height};
  if (layout.width <= 0 || layout.height <= 0) return std::nullopt;
  if (layout.width > kMaxSide || layout.height > kMaxSide) return std::nullopt;
  if (layout.width * layout.height > kMaxPixels) return std::nullopt;
  layout.bytesPerPixel = bits / 8;
  layout.stride = (layout.width * bits + 31) / 32 * 4;
  // Pictures of more than 8 bits per pixel may still carry an optional palette (biClrUsed).
  layout.colourTableSize = std::int64_t{Le32(dib, 32)} * 4;
  return layout;
}

// COLORREF is 0x00BBGGRR; a DIB pixel is stored blue, green, red (and an unused byte).
ColorRef PixelAt(const std::uint8_t* pixel) {
  return static_cast<ColorRef>(pixel[2]) | static_cast<ColorRef>(pixel[1]) << 8 |
         static_cast<ColorRef>(pixel[0]) << 16;
}

TPicture ReadPixels(std::span<const std::uint8_t> rows, const DibLayout& layout) {
  if (layout.stride * layout.height > std::int64_t(rows.size())) return TPicture();
  std::vector<ColorRef> pixels;
  pixels.reserve(static_cast<std::size_t>(layout.width * layout.height));
  for (std::int64_t y = 0; y < layout.height; ++y) {
    const std::int64_t stored = layout.topDown ? y : layout.height - 1 - y;
    const std::uint8_t* row = rows.data() + stored * layout.stride;
    for (std::int64_t x = 0; x < layout.width; ++x) {
      pixels.push_back(PixelAt(row + x * layout.bytesPerPixel));
    }
  }
  return TPicture(static_cast<int>(layout.width), static_cast<int>(layout.height),
                  std::move(pixels));
}

}  // namespace

TPicture DecodeDib(std::span<const std::uint8_t> dib) {
  const std::optional<DibLayout> layout = ReadInfoHeader(dib);
  if (!layout) return TPicture();
  const std::int64_t pixelsAt = layout->headerSize + layout->colourTableSize;
  if (pixelsAt > std::int64_t(dib.size())) return TPicture();
  return ReadPixels(dib.subspan(static_cast<std::size_t>(pixelsAt)), *layout);
}

TPicture DecodeBitmapFile(std::span<const std::uint8_t> file) {
  if (file.size() < kFileHeaderSize || file[0] != 'B' || file[1] != 'M') return TPicture();
  const std::optional<DibLayout> layout = ReadInfoHeader(file.subspan(kFileHeaderSize));
  if (!layout) return TPicture();
  // The offset may leave room for a palette or a gap, but never points into the header.
  const std::int64_t pixelsAt = Le32(file, 10);
  if (pixelsAt < std::int64_t{kFileHeaderSize} + layout->headerSize ||
      pixelsAt > std::int64_t(file.size())) {
    return TPicture();
  }
  return ReadPixels(file.subspan(static_cast<std::size_t>(pixelsAt)), *layout);
}

}  // namespace velmora
