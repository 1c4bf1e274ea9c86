#include "power/ImageControl.h"

#include "power/ImageRuns.h"

namespace velmora {

TImageControl::TImageControl(IRegions& regions) : regions_(regions) {}

void TImageControl::ShapeForm(WindowHandle form, const IPictureCanvas& picture, ColorRef keyColor) {
  regions_.RemoveBorder(form);
  const RegionHandle region = RegionFromImage(picture, keyColor);
  if (region == 0) return;
  // A window that refuses the region leaves it with us.
  if (regions_.SetWindowRgn(form, region, true) == 0) regions_.DeleteObject(region);
}

RegionHandle TImageControl::ControlRegion(const IPictureCanvas& buttonPicture) {
  return RegionFromImage(buttonPicture, KeyColor);
}

RegionHandle TImageControl::RegionFromImage(const IPictureCanvas& picture, ColorRef keyColor) {
  const RegionHandle region = regions_.CreateRectRgn(0, 0, picture.Width(), picture.Height());
  if (region == 0) return 0;
  // Runs never overlap and lie inside the rectangle, so XOR cuts each one out.
  for (const KeyColorRun& run : KeyColorRuns(picture, keyColor)) {
    const RegionHandle hole = regions_.CreateRectRgn(run.x, run.y, run.x + run.length, run.y + 1);
    if (hole == 0) continue;
    regions_.CombineRgn(region, region, hole, win::kRgnXor);
    regions_.DeleteObject(hole);
  }
  return region;
}

}  // namespace velmora
