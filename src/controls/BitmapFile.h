// Windows device-independent bitmaps as the skin stores them: a .bmp file (BITMAPFILEHEADER
// followed by the DIB) or an RT_BITMAP resource (the DIB alone: BITMAPINFOHEADER, colour table,
// pixel rows). Uncompressed 24-bit and 32-bit pixels (BI_RGB) are read, rows bottom-up (positive
// height) or top-down (negative height), each row padded to a multiple of four bytes. Anything
// else, and any header whose sizes do not fit the bytes given, gives an empty picture.
#pragma once

#include <cstdint>
#include <span>

#include "controls/Picture.h"

namespace velmora {

// A DIB as stored in an RT_BITMAP resource.
TPicture DecodeDib(std::span<const std::uint8_t> dib);

// A .bmp file: "BM", file size, two reserved words, offset of the pixel rows, then the DIB.
TPicture DecodeBitmapFile(std::span<const std::uint8_t> file);

}  // namespace velmora
