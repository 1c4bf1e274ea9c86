#include "win32/Win32PictureDrawing.h"

#include <algorithm>

namespace velmora::win32 {
namespace {

std::size_t Area(int width, int height) {
  return width > 0 && height > 0
             ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height)
             : 0;
}

}  // namespace

BITMAPINFO TopDownDibInfo(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

DibFrame::DibFrame(int width, int height, ColorRef fill)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(Area(width, height), SwapRedBlue(fill)) {}

void DibFrame::Draw(const IPictureCanvas& picture, int left, int top, bool keyTransparent) {
  const int firstX = std::max(0, -left), firstY = std::max(0, -top);
  const int endX = std::min(picture.Width(), width_ - left);
  const int endY = std::min(picture.Height(), height_ - top);
  for (int y = firstY; y < endY; ++y) {
    for (int x = firstX; x < endX; ++x) {
      const ColorRef color = picture.Pixel(x, y);
      if (keyTransparent && color == kKeyColour) continue;
      pixels_[static_cast<std::size_t>(y + top) * static_cast<std::size_t>(width_) +
              static_cast<std::size_t>(x + left)] = SwapRedBlue(color);
    }
  }
}

ColorRef DibFrame::Pixel(int x, int y) const {
  return SwapRedBlue(pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                             static_cast<std::size_t>(x)]);
}

void DibFrame::Blit(HDC dc, int left, int top) const {
  if (pixels_.empty()) return;
  const BITMAPINFO info = TopDownDibInfo(width_, height_);
  ::SetDIBitsToDevice(dc, left, top, static_cast<DWORD>(width_), static_cast<DWORD>(height_), 0, 0,
                      0, static_cast<UINT>(height_), pixels_.data(), &info, DIB_RGB_COLORS);
}

void DibFrame::BlitBuffered(HDC dc, int left, int top) const {
  if (pixels_.empty()) return;
  const HDC memory = ::CreateCompatibleDC(dc);
  const HBITMAP bitmap = ::CreateCompatibleBitmap(dc, width_, height_);
  if (memory == nullptr || bitmap == nullptr) {
    if (bitmap != nullptr) ::DeleteObject(bitmap);
    if (memory != nullptr) ::DeleteDC(memory);
    Blit(dc, left, top);  // no memory for a buffer: paint directly
    return;
  }
  const HGDIOBJ previous = ::SelectObject(memory, bitmap);
  Blit(memory, 0, 0);
  ::BitBlt(dc, left, top, width_, height_, memory, 0, 0, SRCCOPY);
  ::SelectObject(memory, previous);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
}

}  // namespace velmora::win32
