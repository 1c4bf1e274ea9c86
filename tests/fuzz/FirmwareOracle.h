// What a board's firmware is, taken from the board itself and not from the driver: the legacy
// BIOS area (0xE0000-0xFFFFF), each ACPI table the board placed with the length its header
// states, the SMBIOS entry point and the structure table it names (as they lie in the board's
// memory), and the PCI Express configuration window the board's MCFG describes. The driver may
// map nothing else; the window is device memory, to be mapped uncached, the rest cached.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/board/SimBoard.h"

namespace velmora::fuzz {

class FirmwareOracle {
 public:
  struct Range {
    std::uint64_t first;
    std::uint64_t last;  // inclusive
  };

  explicit FirmwareOracle(sim::SimBoard& board);

  // Whether every byte of [physical, physical + size) is the firmware's (size > 0).
  bool Covers(std::uint64_t physical, std::uint64_t size) const;
  // Whether a byte of it lies in the configuration window.
  bool TouchesWindow(std::uint64_t physical, std::uint64_t size) const;
  // The ranges, in the order found (they may touch or overlap).
  const std::vector<Range>& Ranges() const { return ranges_; }

 private:
  void Add(std::uint64_t address, std::uint64_t length);
  void AddAcpiTables(sim::SimBoard& board);
  void AddSmbios(sim::SimBoard& board);
  void AddWindow(sim::SimBoard& board);
  void Merge();

  std::vector<Range> ranges_;
  std::vector<Range> merged_;
  std::optional<Range> window_;
};

}  // namespace velmora::fuzz
