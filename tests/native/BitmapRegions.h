// Window regions for tests that shape whole skinned windows: each region is a bit mask over its
// bounding rectangle, so cutting many runs out of a 500 x 400 picture stays fast. Keeps the
// outline every window was given and notes misuse (a region used after a window took it, a
// handle deleted twice).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ports/RegionPort.h"

namespace velmora::regiontest {

struct RegionMask {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  std::vector<std::uint8_t> bits;  // row by row over the rectangle

  bool Contains(int x, int y) const;
  std::size_t Count() const;
  void Set(int x, int y, bool on);
};

class BitmapRegions : public IRegions {
 public:
  RegionHandle CreateRectRgn(int left, int top, int right, int bottom) override;
  // Answers COMPLEXREGION for every successful combination.
  int CombineRgn(RegionHandle destination, RegionHandle source1, RegionHandle source2,
                 int mode) override;
  bool DeleteObject(RegionHandle region) override;
  int SetWindowRgn(WindowHandle window, RegionHandle region, bool redraw) override;
  void RemoveBorder(WindowHandle window) override { borderless_.insert(window); }

  // The outline a window was given last; nullopt when it has none.
  std::optional<RegionMask> WindowRegion(WindowHandle window) const;
  bool IsBorderless(WindowHandle window) const { return borderless_.count(window) != 0; }
  // Regions created and neither deleted nor handed to a window.
  std::size_t LiveRegions() const { return regions_.size(); }
  std::vector<WindowHandle> ShapedWindows() const;

  int setWindowRgnCalls = 0;
  std::vector<bool> redraws;
  std::vector<std::string> misuse;
  bool setWindowRgnFails = false;

 private:
  std::map<RegionHandle, RegionMask> regions_;
  std::map<WindowHandle, RegionMask> windows_;
  std::set<WindowHandle> borderless_;
  RegionHandle next_ = 0x04020001;
};

}  // namespace velmora::regiontest
