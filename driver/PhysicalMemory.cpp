#include "driver/PhysicalMemory.h"

#include "driver/RequestSupport.h"

namespace velmora::driver {

namespace {

constexpr uint64_t kPageMask = 0xFFF;
// The system BIOS area: ROM, or its shadow, on every PC. The memory manager never lists it as RAM,
// and Windows' own HAL maps it the same way to find the ACPI root pointer.
constexpr uint64_t kBiosAreaStart = 0xE0000;
constexpr uint64_t kBiosAreaEnd = 0x100000;

uint64_t LastByte(const MemoryRange& range) {
  return range.length - 1 > ~uint64_t{0} - range.base ? ~uint64_t{0}
                                                      : range.base + range.length - 1;
}

}  // namespace

bool PhysicalMemory::TouchesRam(uint64_t first, uint64_t last) {
  if (first >= kBiosAreaStart && last < kBiosAreaEnd) return false;
  first &= ~kPageMask;
  last |= kPageMask;
  const uint32_t count = kernel_.PhysicalMemoryRanges(ram_, kRamRangeCapacity);
  if (count == 0 || count > kRamRangeCapacity) return true;
  for (uint32_t i = 0; i < count; ++i) {
    if (ram_[i].length == 0) continue;
    if (ram_[i].base <= last && first <= LastByte(ram_[i])) return true;
  }
  return false;
}

KernelAddress PhysicalMemory::Map(uint64_t physical, uint32_t size, Caching caching,
                                  Access access, uint32_t* status) {
  if (size == 0 || physical + (size - 1) < physical ||
      TouchesRam(physical, physical + (size - 1))) {
    *status = protocol::kStatusAccessDenied;
    return 0;
  }
  const KernelAddress mapped = kernel_.MapPhysical(physical, size, caching, access);
  *status = mapped != 0 ? protocol::kStatusSuccess : protocol::kStatusInsufficientResources;
  return mapped;
}

uint32_t PhysicalMemory::Read(uint64_t physical, uint8_t* destination, uint32_t size,
                              Caching caching) {
  uint32_t status;
  const KernelAddress mapped = Map(physical, size, caching, Access::kReadOnly, &status);
  if (mapped == 0) return status;
  kernel_.ReadMapped(mapped, destination, size);
  kernel_.UnmapPhysical(mapped, size);
  return protocol::kStatusSuccess;
}

uint32_t PhysicalMemory::UpdateByte(uint64_t physical, uint8_t setBits, uint8_t clearBits,
                                    uint8_t* before, uint8_t* after) {
  uint32_t status;
  const KernelAddress mapped = Map(physical, 1, Caching::kCached, Access::kReadWrite, &status);
  if (mapped == 0) return status;
  kernel_.ReadMapped(mapped, before, 1);
  *after = static_cast<uint8_t>((*before | setBits) & ~clearBits);
  kernel_.WriteMappedByte(mapped, *after);
  kernel_.UnmapPhysical(mapped, 1);
  return protocol::kStatusSuccess;
}

}  // namespace velmora::driver
