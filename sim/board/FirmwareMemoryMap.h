// The board's physical memory map as the firmware reports it to the loader (the E820 / UEFI
// memory map): RAM, memory reserved to the firmware, ACPI tables (reclaimable) and ACPI NVS,
// and device memory. Windows' memory manager takes the RAM regions, less the first page (which
// the loader never hands it), and lists them through MmGetPhysicalMemoryRanges; everything else
// belongs to the firmware or to devices.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/board/PhysicalLayout.h"

namespace velmora::sim {

enum class MemoryType { kRam, kReserved, kAcpi, kAcpiNvs, kDevice };

struct MemoryRegion {
  std::uint64_t base = 0;
  std::uint64_t length = 0;
  MemoryType type = MemoryType::kReserved;
};

class FirmwareMemoryMap {
 public:
  // A desktop with 3 GiB below the PCI hole and 2 GiB above 4 GiB: RAM to 0x9F000, the EBDA,
  // video and BIOS area to 1 MiB, RAM to 0xBFF00000, ACPI tables and NVS to 0xC0000000, the
  // PCI hole (device memory) to 4 GiB, RAM to 6 GiB.
  static FirmwareMemoryMap TypicalDesktop();
  // The map of a board whose firmware occupies the layout's ranges: below 1 MiB as the typical
  // desktop; above it each firmware range widened to `tableUnit` boundaries (64 KiB, the unit
  // BIOS firmware allocates its table area in; UEFI firmware reports pages, 4 KiB) and reserved
  // as ACPI tables, device windows as device memory, the PCI hole from the end of the highest
  // firmware range below 4 GiB, and RAM everywhere else up to 6 GiB.
  static FirmwareMemoryMap ForLayout(const PhysicalLayout& layout,
                                     const std::vector<PhysicalRange>& deviceWindows,
                                     std::uint64_t tableUnit = 0x10000);

  void Add(std::uint64_t base, std::uint64_t length, MemoryType type);
  const std::vector<MemoryRegion>& Regions() const { return regions_; }
  // What MmGetPhysicalMemoryRanges lists: the RAM regions without page 0, in address order.
  const std::vector<MemoryRegion>& ManagedRam() const { return managedRam_; }

 private:
  void ListManagedRam();

  std::vector<MemoryRegion> regions_;
  std::vector<MemoryRegion> managedRam_;  // derived from regions_ at every Add
};

}  // namespace velmora::sim
