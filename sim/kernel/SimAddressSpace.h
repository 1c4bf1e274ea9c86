// The 32-bit address space of the simulated process, as far as views of physical memory go:
// ranges of virtual addresses that alias physical memory of the simulated board. Reads and
// writes through a view reach the board's memory; an access to an address outside every view is
// an access violation. Views are placed first-fit above a floor and aligned as the mapping
// service requires (64 KiB for ZwMapViewOfSection, one page for the 9x page services).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>

#include "ports/ProcessMemoryPort.h"
#include "sim/board/SimMachine.h"

namespace velmora::sim {

// An access to a process address that no view backs. Thrown so that the test that made it
// fails where it happened.
class SimAccessViolation : public std::runtime_error {
 public:
  SimAccessViolation(ProcessAddress address, bool write);
  ProcessAddress address;
  bool write;
};

struct ViewPlacement {
  ProcessAddress floor;     // lowest address a view may start at
  ProcessAddress ceiling;   // first address above the usable range
  std::uint32_t alignment;  // a power of two
};

// Where ZwMapViewOfSection puts views in a 32-bit process (user space below 2 GiB, 64 KiB
// allocation granularity), and where the 9x page services put system pages.
inline constexpr ViewPlacement kUserViews{0x20000000, 0x7FFF0000, 0x10000};
inline constexpr ViewPlacement kSystemPages{0xC1000000, 0xFF000000, 0x1000};
inline constexpr std::uint32_t kPageSize = 0x1000;

class SimAddressSpace {
 public:
  explicit SimAddressSpace(SimMachine& machine) : machine_(machine) {}

  // Maps `size` bytes of physical memory from `physical` (the caller aligns it) at the lowest
  // free, aligned address; the view covers whole pages. nullopt when no room is left.
  std::optional<ProcessAddress> MapView(std::uint64_t physical, std::uint64_t size,
                                        const ViewPlacement& placement);
  // Removes the view that contains the address; false when none does.
  bool UnmapViewContaining(ProcessAddress address);

  // Throw SimAccessViolation at the first byte that no view backs (nothing is transferred).
  void Read(ProcessAddress address, void* destination, std::uint32_t size);
  void Write(ProcessAddress address, const void* source, std::uint32_t size);

  std::size_t LiveViewCount() const { return views_.size(); }
  std::uint64_t ViewsMapped() const { return viewsMapped_; }
  bool IsMapped(ProcessAddress address) const { return Containing(address) != nullptr; }

 private:
  struct View {
    ProcessAddress base;
    std::uint64_t size;
    std::uint64_t physical;
  };

  const View* Containing(std::uint64_t address) const;
  void CheckMapped(ProcessAddress address, std::uint32_t size, bool write) const;
  template <typename Transfer>
  void ForEachPiece(ProcessAddress address, std::uint32_t size, Transfer transfer);

  SimMachine& machine_;
  std::map<ProcessAddress, View> views_;  // by base
  std::uint64_t viewsMapped_ = 0;
};

}  // namespace velmora::sim
