// PCI configuration space of the simulated board: functions at any bus/device/function with a
// 256-byte (conventional) or 4 KiB (PCI Express) configuration space, reached through
// configuration mechanism #1 (I/O ports 0xCF8 and 0xCFC-0xCFF) and through the memory-mapped
// enhanced configuration window (ECAM).
//
// Behaviour, as on a chipset:
// - A function that does not exist answers all ones at every register and ignores writes.
// - Registers past a 256-byte function's space (0x100-0xFFF) read all ones; writes are dropped.
// - Writes are kept byte for byte, including the identification fields that real hardware makes
//   read-only (vendor, device, class, header type, subsystem ids): tests may rewrite them.
// - Port 0xCF8 is the 32-bit address latch only for dword accesses; bit 31 enables the data
//   port, bits 24-27 carry register bits 8-11 (extended access through the legacy ports), bits
//   16-23 the bus, 11-15 the device, 8-10 the function, 2-7 the dword register. Bits 28-30 and 0-1
//   are hardwired to 0, so a read-back returns the latch without them.
// - Ports 0xCFC-0xCFF read and write the selected dword at the byte lane of the port; an access
//   that would run past 0xCFF gets all ones for the bytes beyond it. With bit 31 clear the data
//   ports are not decoded: reads give all ones, writes vanish.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "sim/board/SimPhysicalMemory.h"

namespace velmora::sim {

struct PciLocation {
  std::uint8_t bus = 0;
  std::uint8_t device = 0;    // 0..31
  std::uint8_t function = 0;  // 0..7
  auto operator<=>(const PciLocation&) const = default;
};

// The identity of a function as its configuration header shows it.
struct PciFunctionDescription {
  PciLocation location;
  std::uint16_t vendorId = 0x8086;
  std::uint16_t deviceId = 0;
  std::uint32_t classCode = 0;  // 24 bits: base class, sub-class, programming interface
  std::uint8_t revision = 0;
  std::uint8_t headerType = 0;  // bit 7: multi-function device
  std::uint16_t subsystemVendorId = 0;
  std::uint16_t subsystemId = 0;
  bool extendedSpace = false;  // 4 KiB configuration space instead of 256 bytes
};

class SimPciBus {
 public:
  static constexpr std::uint16_t kAddressPort = 0xCF8;
  static constexpr std::uint16_t kDataPort = 0xCFC;
  static constexpr std::uint64_t kEcamSize = 256ull << 20;  // 256 buses x 32 x 8 x 4 KiB

  // Adds (or replaces) a function; false for device > 31 or function > 7.
  bool AddFunction(const PciFunctionDescription& description);
  bool HasFunction(const PciLocation& location) const;

  // Configuration accesses by register (0..0xFFF), any width 1..4 and any alignment.
  std::uint32_t ReadConfig(const PciLocation& location, std::uint16_t reg, unsigned width) const;
  void WriteConfig(const PciLocation& location, std::uint16_t reg, unsigned width,
                   std::uint32_t value);

  // Mechanism #1. True when the port belongs to the configuration mechanism (0xCF8-0xCFF) and
  // the access was answered here; false for any other port.
  bool PortIn(std::uint16_t port, unsigned width, std::uint32_t& value) const;
  bool PortOut(std::uint16_t port, unsigned width, std::uint32_t value);
  std::uint32_t AddressLatch() const { return latch_; }

  // The enhanced configuration window: bus << 20 | device << 15 | function << 12 | register.
  std::shared_ptr<PhysicalWindow> MakeEcamWindow();

 private:
  using Space = std::vector<std::uint8_t>;
  static std::uint32_t LocationKey(const PciLocation& location);
  const Space* Find(const PciLocation& location) const;
  std::uint8_t ReadByte(const PciLocation& location, std::uint32_t reg) const;
  void WriteByte(const PciLocation& location, std::uint32_t reg, std::uint8_t value);
  // The function and dword register the latch selects.
  PciLocation LatchedLocation() const;
  std::uint16_t LatchedRegister() const;

  std::map<std::uint32_t, Space> functions_;  // bus << 8 | device << 3 | function -> space
  std::uint32_t latch_ = 0;
};

}  // namespace velmora::sim
