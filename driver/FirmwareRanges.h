// What the driver will read and write: the firmware it found itself. Ranges of physical memory
// (the legacy BIOS area, the ACPI tables, the SMBIOS entry points and structure table, the PCI
// Express configuration windows) and the addresses of the control bytes of the QVZX tables. A
// fixed table: the driver has no heap of its own to grow one, and firmware lists far fewer.
#pragma once

#include <stdint.h>

#include "driver/KernelServices.h"
#include "hw/DriverProtocol.h"

namespace velmora::driver {

class FirmwareRanges {
 public:
  static constexpr uint32_t kCapacity = 192;
  static constexpr uint32_t kControlByteCapacity = 8;
  static constexpr uint64_t kPageMask = 0xFFF;

  void Clear();
  // Adds [base, base + length); an empty or wrapping range, one already held and one past the
  // capacity are not added.
  void Add(uint64_t base, uint64_t length, Caching caching);
  bool Holds(uint64_t base, uint64_t length) const;
  // Whether every byte of [first, last] lies in the ranges; `caching` is how to map it
  // (uncached when any of it is device memory).
  bool Covers(uint64_t first, uint64_t last, Caching* caching) const;
  // Whether a page of [first, last] holds a range mapped so (uncached: device memory).
  bool Touches(uint64_t first, uint64_t last, Caching caching) const;
  // Drops the cached ranges that share a page with [first, last] or an uncached range: firmware
  // that names device memory as a table is not followed there.
  void DropCachedTouching(uint64_t first, uint64_t last);

  void AddControlByte(uint64_t address);
  bool IsControlByte(uint64_t address) const;

  // The ranges merged where they touch or overlap, in address order, as the client gets them
  // (ReadableRange records at `out`): the number of merged ranges, of which the first `capacity`
  // are written.
  uint32_t Merged(uint8_t* out, uint32_t capacity) const;

 private:
  struct Range {
    uint64_t first;
    uint64_t last;
    Caching caching;
  };
  // The range holding `address` that reaches furthest; null when none holds it.
  const Range* Holding(uint64_t address) const;

  Range ranges_[kCapacity] = {};
  uint32_t count_ = 0;
  uint64_t controlBytes_[kControlByteCapacity] = {};
  uint32_t controlByteCount_ = 0;
};

}  // namespace velmora::driver
