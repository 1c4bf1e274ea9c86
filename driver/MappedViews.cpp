#include "driver/MappedViews.h"

namespace velmora::driver {

bool MappedViews::Add(const void* owner, Process process, KernelAddress base, KernelAddress end) {
  for (View& view : views_) {
    if (view.used) continue;
    view = View{owner, process, base, end, true};
    return true;
  }
  return false;
}

bool MappedViews::TakeContaining(const void* owner, Process process, KernelAddress address,
                                 View* taken) {
  for (View& view : views_) {
    if (!view.used || view.owner != owner || view.process != process) continue;
    if (address < view.base || address >= view.end) continue;
    *taken = view;
    view.used = false;
    return true;
  }
  return false;
}

bool MappedViews::TakeAny(const void* owner, View* taken) {
  for (View& view : views_) {
    if (!view.used || view.owner != owner) continue;
    *taken = view;
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
