// What the simulated kernel reaches on the simulated board: physical memory, I/O ports and the
// processor's identification instruction. The board implements it; the simulated kernel services
// under the driver and the simulated processor port use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "ports/ProcessorPort.h"
#include "sim/board/FirmwareMemoryMap.h"

namespace velmora::sim {

class SimMachine {
 public:
  virtual ~SimMachine() = default;
  // Unbacked bytes read as 0xFF; writes to unbacked bytes are kept.
  virtual void ReadPhysical(std::uint64_t address, void* destination, std::size_t size) = 0;
  virtual void WritePhysical(std::uint64_t address, const void* source, std::size_t size) = 0;
  // width is 1, 2 or 4 bytes.
  virtual std::uint32_t PortIn(std::uint16_t port, unsigned width) = 0;
  virtual void PortOut(std::uint16_t port, unsigned width, std::uint32_t value) = 0;
  virtual CpuIdRegisters CpuId(std::uint32_t leaf) = 0;
  // What the system's firmware table provider hands out for a provider ('ACPI', 'RSMB', 'FIRM')
  // and a table id, as Windows took it from the firmware at boot; nothing unless the machine has
  // firmware tables.
  virtual std::optional<std::vector<std::uint8_t>> FirmwareTable(std::uint32_t provider,
                                                                 std::uint32_t tableId) {
    (void)provider;
    (void)tableId;
    return std::nullopt;
  }
  // The firmware's memory map; a typical desktop's unless the machine has its own.
  virtual const FirmwareMemoryMap& MemoryMap() const {
    static const FirmwareMemoryMap typical = FirmwareMemoryMap::TypicalDesktop();
    return typical;
  }
};

}  // namespace velmora::sim
