#include "driver/MappedViews.h"

namespace velmora::driver {

bool MappedViews::Add(const void* owner, KernelAddress base, KernelAddress end) {
  for (View& view : views_) {
    if (view.used) continue;
    view = View{owner, base, end, true};
    return true;
  }
  return false;
}

bool MappedViews::TakeContaining(const void* owner, KernelAddress address, KernelAddress* base) {
  for (View& view : views_) {
    if (!view.used || view.owner != owner) continue;
    if (address < view.base || address >= view.end) continue;
    *base = view.base;
    view.used = false;
    return true;
  }
  return false;
}

bool MappedViews::TakeAny(const void* owner, KernelAddress* base) {
  for (View& view : views_) {
    if (!view.used || view.owner != owner) continue;
    *base = view.base;
    view.used = false;
    return true;
  }
  return false;
}

uint32_t MappedViews::Count() const {
  uint32_t count = 0;
  for (const View& view : views_) count += view.used ? 1 : 0;
  return count;
}

}  // namespace velmora::driver
