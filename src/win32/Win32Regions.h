#pragma once

#include "ports/RegionPort.h"

namespace velmora::win32 {

class Win32Regions : public IRegions {
 public:
  RegionHandle CreateRectRgn(int left, int top, int right, int bottom) override;
  int CombineRgn(RegionHandle destination, RegionHandle source1, RegionHandle source2,
                 int mode) override;
  bool DeleteObject(RegionHandle region) override;
  int SetWindowRgn(WindowHandle window, RegionHandle region, bool redraw) override;
  void RemoveBorder(WindowHandle window) override;
};

}  // namespace velmora::win32
