// Window regions (gdi32 and user32): the outline of a window is a region, built from rectangles
// and handed to the window, which then owns it. Also the pixels of a picture, from which the
// skinned windows take their outlines.
#pragma once

#include <cstdint>

#include "ports/WinTypes.h"

namespace velmora {

using RegionHandle = std::uintptr_t;  // HRGN, 0 when creation failed
using ColorRef = std::uint32_t;       // COLORREF: 0x00BBGGRR

namespace win {
// CombineRgn modes and results (wingdi.h).
inline constexpr int kRgnAnd = 1;
inline constexpr int kRgnOr = 2;
inline constexpr int kRgnXor = 3;
inline constexpr int kRgnDiff = 4;
inline constexpr int kRgnCopy = 5;
inline constexpr int kRegionError = 0;
inline constexpr int kNullRegion = 1;
inline constexpr int kSimpleRegion = 2;
inline constexpr int kComplexRegion = 3;
}  // namespace win

class IRegions {
 public:
  virtual ~IRegions() = default;

  // The rectangle from (left, top) up to, but not including, (right, bottom).
  virtual RegionHandle CreateRectRgn(int left, int top, int right, int bottom) = 0;
  // destination = source1 <mode> source2; the result kind, or kRegionError.
  virtual int CombineRgn(RegionHandle destination, RegionHandle source1, RegionHandle source2,
                         int mode) = 0;
  virtual bool DeleteObject(RegionHandle region) = 0;
  // On success the window owns the region; the caller must not use or delete it any more.
  virtual int SetWindowRgn(WindowHandle window, RegionHandle region, bool redraw) = 0;
  // Takes the caption and the sizing frame off a window, as a form with no border style has it.
  virtual void RemoveBorder(WindowHandle window) = 0;
};

// The pixels of a picture as the picture control draws it (its canvas), in COLORREF form.
class IPictureCanvas {
 public:
  virtual ~IPictureCanvas() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Called only for 0 <= x < Width(), 0 <= y < Height().
  virtual ColorRef Pixel(int x, int y) const = 0;
};

}  // namespace velmora
