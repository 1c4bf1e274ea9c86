#include "BitmapRegions.h"

#include <algorithm>

namespace velmora::regiontest {
namespace {

RegionMask EmptyMaskOver(int left, int top, int right, int bottom) {
  RegionMask mask{left, top, std::max(left, right), std::max(top, bottom), {}};
  mask.bits.assign(static_cast<std::size_t>(mask.right - mask.left) *
                       static_cast<std::size_t>(mask.bottom - mask.top),
                   0);
  return mask;
}

bool Apply(int mode, bool a, bool b) {
  switch (mode) {
    case win::kRgnAnd:
      return a && b;
    case win::kRgnOr:
      return a || b;
    case win::kRgnXor:
      return a != b;
    case win::kRgnDiff:
      return a && !b;
    default:  // RGN_COPY
      return a;
  }
}

bool Inside(const RegionMask& inner, const RegionMask& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

}  // namespace

bool RegionMask::Contains(int x, int y) const {
  if (x < left || y < top || x >= right || y >= bottom) return false;
  return bits[static_cast<std::size_t>(y - top) * static_cast<std::size_t>(right - left) +
              static_cast<std::size_t>(x - left)] != 0;
}

std::size_t RegionMask::Count() const {
  return static_cast<std::size_t>(std::count(bits.begin(), bits.end(), std::uint8_t{1}));
}

void RegionMask::Set(int x, int y, bool on) {
  bits[static_cast<std::size_t>(y - top) * static_cast<std::size_t>(right - left) +
       static_cast<std::size_t>(x - left)] = on ? 1 : 0;
}

RegionHandle BitmapRegions::CreateRectRgn(int left, int top, int right, int bottom) {
  RegionMask mask = EmptyMaskOver(left, top, right, bottom);
  std::fill(mask.bits.begin(), mask.bits.end(), std::uint8_t{1});
  regions_[next_] = std::move(mask);
  return next_++;
}

int BitmapRegions::CombineRgn(RegionHandle destination, RegionHandle source1, RegionHandle source2,
                              int mode) {
  if (!regions_.count(destination) || !regions_.count(source1) ||
      (mode != win::kRgnCopy && !regions_.count(source2))) {
    misuse.push_back("CombineRgn on a region that is not ours");
    return win::kRegionError;
  }
  const RegionMask a = regions_.at(source1);
  const RegionMask b = mode == win::kRgnCopy ? RegionMask{} : regions_.at(source2);
  // Within a's rectangle, every mode but AND leaves the cells outside b as they are in a.
  const bool withinA = Inside(b, a);
  RegionMask result = withinA
                          ? a
                          : EmptyMaskOver(std::min(a.left, b.left), std::min(a.top, b.top),
                                          std::max(a.right, b.right), std::max(a.bottom, b.bottom));
  const RegionMask& area = withinA && mode != win::kRgnAnd ? b : result;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      result.Set(x, y, Apply(mode, a.Contains(x, y), b.Contains(x, y)));
    }
  }
  regions_[destination] = std::move(result);
  // Counting the cells of a whole window per combination would be slow; callers here ignore
  // the kind beyond success.
  return win::kComplexRegion;
}

bool BitmapRegions::DeleteObject(RegionHandle region) {
  if (regions_.erase(region) == 0) {
    misuse.push_back("DeleteObject of a region that is not ours");
    return false;
  }
  return true;
}

int BitmapRegions::SetWindowRgn(WindowHandle window, RegionHandle region, bool redraw) {
  ++setWindowRgnCalls;
  redraws.push_back(redraw);
  if (setWindowRgnFails) return 0;
  const auto found = regions_.find(region);
  if (found == regions_.end()) {
    misuse.push_back("SetWindowRgn with a region that is not ours");
    return 0;
  }
  windows_[window] = std::move(found->second);
  regions_.erase(found);
  return 1;
}

std::optional<RegionMask> BitmapRegions::WindowRegion(WindowHandle window) const {
  const auto found = windows_.find(window);
  if (found == windows_.end()) return std::nullopt;
  return found->second;
}

std::vector<WindowHandle> BitmapRegions::ShapedWindows() const {
  std::vector<WindowHandle> windows;
  for (const auto& [window, mask] : windows_) windows.push_back(window);
  return windows;
}

}  // namespace velmora::regiontest
