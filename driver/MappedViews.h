// The views of physical memory the driver has mapped into callers, each recorded with the file
// object (open handle) it was mapped for and the process whose address space holds it: a handle
// can be duplicated into or inherited by another process, so the two need not match later. A fixed
// table: the driver has no heap of its own to grow one, and a client needs only a few views at a
// time (the program one).
#pragma once

#include <stdint.h>

#include "driver/KernelServices.h"

namespace velmora::driver {

class MappedViews {
 public:
  static constexpr uint32_t kCapacity = 64;

  struct View {
    const void* owner;
    Process process;
    KernelAddress base;
    KernelAddress end;
    bool used;
  };

  // Records [base, end) in the process for the owner; false when the table is full.
  bool Add(const void* owner, Process process, KernelAddress base, KernelAddress end);
  // The owner's view in the process that contains the address, removed from the table; false
  // (nothing removed) when there is none.
  bool TakeContaining(const void* owner, Process process, KernelAddress address, View* taken);
  // Any one view of the owner, removed from the table; false when none is left.
  bool TakeAny(const void* owner, View* taken);
  uint32_t Count() const;

 private:
  View views_[kCapacity] = {};
};

}  // namespace velmora::driver
