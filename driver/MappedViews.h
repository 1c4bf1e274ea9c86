// The views of physical memory the driver has mapped into callers, each recorded with the file
// object (open handle) it was mapped for. A fixed table: the driver has no heap of its own to
// grow one, and a client needs only a few views at a time (the program one).
#pragma once

#include <stdint.h>

#include "driver/KernelServices.h"

namespace velmora::driver {

class MappedViews {
 public:
  static constexpr uint32_t kCapacity = 64;

  // Records [base, end) for the owner; false when the table is full.
  bool Add(const void* owner, KernelAddress base, KernelAddress end);
  // The base of the owner's view that contains the address, removed from the table; false
  // (nothing removed) when no view of this owner contains it.
  bool TakeContaining(const void* owner, KernelAddress address, KernelAddress* base);
  // The base of any one view of the owner, removed from the table; false when none is left.
  bool TakeAny(const void* owner, KernelAddress* base);
  uint32_t Count() const;

 private:
  struct View {
    const void* owner;
    KernelAddress base;
    KernelAddress end;
    bool used;
  };
  View views_[kCapacity] = {};
};

}  // namespace velmora::driver
