// Simulated window regions: each region is the set of pixels it covers, so a test can check an
// outline pixel by pixel. Records which regions are still alive, which windows own which region
// and every misuse (a region used after a window took it, a handle deleted twice).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ports/RegionPort.h"

namespace velmora::sim {

class SimRegions : public IRegions {
 public:
  using Pixels = std::set<std::pair<int, int>>;  // (x, y)

  RegionHandle CreateRectRgn(int left, int top, int right, int bottom) override;
  int CombineRgn(RegionHandle destination, RegionHandle source1, RegionHandle source2,
                 int mode) override;
  bool DeleteObject(RegionHandle region) override;
  int SetWindowRgn(WindowHandle window, RegionHandle region, bool redraw) override;
  void RemoveBorder(WindowHandle window) override;

  // The pixels of a region the program still owns; empty for an unknown handle.
  Pixels RegionPixels(RegionHandle region) const;
  // The outline a window was given; nullopt when it has none.
  std::optional<Pixels> WindowRegion(WindowHandle window) const;
  bool IsBorderless(WindowHandle window) const { return borderless_.count(window) != 0; }
  // Regions created and neither deleted nor handed to a window.
  std::size_t LiveRegions() const { return regions_.size(); }

  int createCalls = 0;
  int combineCalls = 0;
  int deleteCalls = 0;
  std::vector<int> combineModes;
  std::vector<bool> redraws;  // of each SetWindowRgn
  std::vector<std::string> misuse;

  int createFailsAfter = -1;  // CreateRectRgn fails once this many regions were created
  bool setWindowRgnFails = false;

 private:
  static int Kind(const Pixels& pixels);

  std::map<RegionHandle, Pixels> regions_;
  std::map<WindowHandle, Pixels> windows_;
  std::set<WindowHandle> borderless_;
  RegionHandle next_ = 0x04010001;
};

}  // namespace velmora::sim
