// Pictures onto device contexts: a frame of 32-bit pixels is composed from pictures first and
// then handed to GDI in one SetDIBitsToDevice, so a window never shows a half-painted state.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "ports/RegionPort.h"

namespace velmora::win32 {

// The skins' key colour, pure blue, as COLORREF (0x00BBGGRR).
inline constexpr ColorRef kKeyColour = 0x00FF0000;

// COLORREF 0x00BBGGRR and the 0x00RRGGBB of a 32-bit DIB are the same bytes swapped; the swap
// turns either into the other.
inline std::uint32_t SwapRedBlue(std::uint32_t color) {
  return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

// The header of a 32-bit DIB with top-down rows.
BITMAPINFO TopDownDibInfo(int width, int height);

class DibFrame {
 public:
  // A width x height frame filled with one colour (COLORREF).
  DibFrame(int width, int height, ColorRef fill);

  // Copies the picture with its top-left corner at (left, top), clipped to the frame. With
  // keyTransparent, pure blue pixels leave the frame's pixel underneath.
  void Draw(const IPictureCanvas& picture, int left, int top, bool keyTransparent);
  // The frame's pixel at (x, y), as COLORREF.
  ColorRef Pixel(int x, int y) const;
  int Width() const { return width_; }
  int Height() const { return height_; }

  // The whole frame with its top-left corner at (left, top) of the device context.
  void Blit(HDC dc, int left, int top) const;
  // The same through a memory bitmap: composed off screen, then copied with one BitBlt.
  void BlitBuffered(HDC dc, int left, int top) const;

 private:
  int width_;
  int height_;
  std::vector<std::uint32_t> pixels_;  // 0x00RRGGBB, rows top to bottom
};

}  // namespace velmora::win32
