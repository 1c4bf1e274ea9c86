// The driver's only way to physical memory: a range is mapped into system space, copied (or its
// one byte changed) and unmapped again within one call; nothing of it ever reaches a process's
// address space.
//
// RAM the memory manager manages is never mapped, not even for a read: its pages hold other
// processes' data and the kernel's own, and a second mapping of them with another memory type is
// an alias the processor does not allow. The check is page granular, as mappings are: a firmware
// table that shares no page with RAM is readable wherever it lies.
#pragma once

#include <stdint.h>

#include "driver/KernelServices.h"

namespace velmora::driver {

class PhysicalMemory {
 public:
  explicit PhysicalMemory(KernelServices& kernel) : kernel_(kernel) {}
  PhysicalMemory(const PhysicalMemory&) = delete;
  PhysicalMemory& operator=(const PhysicalMemory&) = delete;

  // The most RAM ranges a request is checked against; a memory manager listing more is not
  // understood, and nothing is mapped then.
  static constexpr uint32_t kRamRangeCapacity = 64;

  // Copies [physical, physical + size) into `destination` (size > 0). An NT status: access
  // denied when a page of it is RAM (or the list of RAM cannot be had), insufficient resources
  // when it cannot be mapped.
  uint32_t Read(uint64_t physical, uint8_t* destination, uint32_t size, Caching caching);
  // Sets and then clears bits of the byte at `physical` in one read-modify-write, reporting the
  // byte before and after; the same statuses.
  uint32_t UpdateByte(uint64_t physical, uint8_t setBits, uint8_t clearBits, uint8_t* before,
                      uint8_t* after);

 private:
  // Whether a page of [first, last] is RAM the memory manager manages (true also when its list
  // cannot be had or understood).
  bool TouchesRam(uint64_t first, uint64_t last);
  // A mapping of the range after the RAM check; 0 with the status when there is none.
  KernelAddress Map(uint64_t physical, uint32_t size, Caching caching, Access access,
                    uint32_t* status);

  KernelServices& kernel_;
  MemoryRange ram_[kRamRangeCapacity] = {};
};

}  // namespace velmora::driver
