#include "sim/SimRegions.h"

#include <algorithm>
#include <iterator>

namespace velmora::sim {

RegionHandle SimRegions::CreateRectRgn(int left, int top, int right, int bottom) {
  if (createFailsAfter >= 0 && createCalls >= createFailsAfter) return 0;
  ++createCalls;
  Pixels pixels;
  // Like GDI, a rectangle given with its corners swapped is normalised.
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) pixels.insert({x, y});
  }
  const RegionHandle handle = next_;
  next_ += 4;
  regions_[handle] = std::move(pixels);
  return handle;
}

int SimRegions::CombineRgn(RegionHandle destination, RegionHandle source1, RegionHandle source2,
                           int mode) {
  ++combineCalls;
  combineModes.push_back(mode);
  if (regions_.count(destination) == 0 || regions_.count(source1) == 0 ||
      (mode != win::kRgnCopy && regions_.count(source2) == 0)) {
    misuse.push_back("CombineRgn on a region the program does not own");
    return win::kRegionError;
  }
  const Pixels& a = regions_[source1];
  const Pixels& b = mode == win::kRgnCopy ? a : regions_[source2];
  Pixels result;
  auto out = std::inserter(result, result.end());
  switch (mode) {
    case win::kRgnAnd:
      std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), out);
      break;
    case win::kRgnOr:
      std::set_union(a.begin(), a.end(), b.begin(), b.end(), out);
      break;
    case win::kRgnXor:
      std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(), out);
      break;
    case win::kRgnDiff:
      std::set_difference(a.begin(), a.end(), b.begin(), b.end(), out);
      break;
    case win::kRgnCopy:
      result = a;
      break;
    default:
      return win::kRegionError;
  }
  regions_[destination] = std::move(result);
  return Kind(regions_[destination]);
}

bool SimRegions::DeleteObject(RegionHandle region) {
  ++deleteCalls;
  if (regions_.erase(region) == 0) {
    misuse.push_back("DeleteObject on a region the program does not own");
    return false;
  }
  return true;
}

int SimRegions::SetWindowRgn(WindowHandle window, RegionHandle region, bool redraw) {
  redraws.push_back(redraw);
  if (setWindowRgnFails) return 0;
  if (region == 0) {
    windows_.erase(window);
    return 1;
  }
  const auto found = regions_.find(region);
  if (found == regions_.end()) {
    misuse.push_back("SetWindowRgn with a region the program does not own");
    return 0;
  }
  // The window owns the region now; its previous one is destroyed by the system.
  windows_[window] = std::move(found->second);
  regions_.erase(found);
  return 1;
}

void SimRegions::RemoveBorder(WindowHandle window) {
  borderless_.insert(window);
}

SimRegions::Pixels SimRegions::RegionPixels(RegionHandle region) const {
  const auto found = regions_.find(region);
  return found == regions_.end() ? Pixels{} : found->second;
}

std::optional<SimRegions::Pixels> SimRegions::WindowRegion(WindowHandle window) const {
  const auto found = windows_.find(window);
  if (found == windows_.end()) return std::nullopt;
  return found->second;
}

int SimRegions::Kind(const Pixels& pixels) {
  if (pixels.empty()) return win::kNullRegion;
  int left = pixels.begin()->first, right = left, top = pixels.begin()->second, bottom = top;
  for (const auto& [x, y] : pixels) {
    left = std::min(left, x);
    right = std::max(right, x);
    top = std::min(top, y);
    bottom = std::max(bottom, y);
  }
  const std::size_t area =
      static_cast<std::size_t>(right - left + 1) * static_cast<std::size_t>(bottom - top + 1);
  return area == pixels.size() ? win::kSimpleRegion : win::kComplexRegion;
}

}  // namespace velmora::sim
