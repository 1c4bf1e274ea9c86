// Window outlines of the skinned main window and its picture buttons: every pixel of the key
// colour in a picture becomes a hole in the window's region.
#pragma once

#include "ports/RegionPort.h"

namespace velmora {

// Pure blue in COLORREF form (0x00BBGGRR): red 0, green 0, blue 255.
inline constexpr ColorRef kPureBlue = 0xFF0000;

class TImageControl {
 public:
  explicit TImageControl(IRegions& regions);

  // Makes the form borderless and clips it to the picture without its key-colour pixels.
  void ShapeForm(WindowHandle form, const IPictureCanvas& picture, ColorRef keyColor);
  // The button's current picture without its KeyColor pixels; the caller hands the region to
  // SetWindowRgn of the panel hosting the button.
  RegionHandle ControlRegion(const IPictureCanvas& buttonPicture);
  // The picture's rectangle with each key-colour run cut out; owned by the caller.
  RegionHandle RegionFromImage(const IPictureCanvas& picture, ColorRef keyColor);

  ColorRef KeyColor = kPureBlue;

 private:
  IRegions& regions_;
};

}  // namespace velmora
