// The simulated board with more devices plugged in: I/O port devices and memory-mapped devices
// answer their ranges before the board does; everything else reaches the board unchanged. The
// driver's tests put an ACPI PM timer, ATA channels and an AHCI controller here, on any board.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/board/SimMachine.h"
#include "sim/board/SimPhysicalMemory.h"

namespace velmora::sim {

// A device decoding a range of I/O ports; offsets are relative to the range's first port, and
// an access lies within one device (a wider access at the range's end is cut to the range).
class SimPortDevice {
 public:
  virtual ~SimPortDevice() = default;
  virtual std::uint32_t In(std::uint16_t offset, unsigned width) = 0;
  virtual void Out(std::uint16_t offset, unsigned width, std::uint32_t value) = 0;
};

class SimDeviceBus : public SimMachine {
 public:
  explicit SimDeviceBus(SimMachine& board) : board_(board) {}

  // The devices must outlive the bus.
  void AttachPorts(std::uint16_t first, std::uint16_t count, SimPortDevice& device);
  void AttachMemory(std::uint64_t base, std::uint64_t size, PhysicalWindow& window);

  void ReadPhysical(std::uint64_t address, void* destination, std::size_t size) override;
  void WritePhysical(std::uint64_t address, const void* source, std::size_t size) override;
  std::uint32_t PortIn(std::uint16_t port, unsigned width) override;
  void PortOut(std::uint16_t port, unsigned width, std::uint32_t value) override;
  CpuIdRegisters CpuId(std::uint32_t leaf) override { return board_.CpuId(leaf); }
  const FirmwareMemoryMap& MemoryMap() const override { return board_.MemoryMap(); }

 private:
  struct PortRange {
    std::uint16_t first;
    std::uint16_t count;
    SimPortDevice* device;
  };
  struct MemoryRange {
    std::uint64_t base;
    std::uint64_t size;
    PhysicalWindow* window;
  };
  const PortRange* PortsAt(std::uint16_t port) const;
  const MemoryRange* MemoryAt(std::uint64_t address) const;
  // Bytes from `address` up to the next device window (or the top of the address space).
  std::uint64_t RoomBeforeWindow(std::uint64_t address) const;
  // Cuts an access into pieces that each lie in one device window (range) or on the board
  // (nullptr), and hands each to `visit(range, address, offset in the access, size)`.
  template <typename Visit>
  void ForEachPiece(std::uint64_t address, std::size_t size, Visit visit) const;

  SimMachine& board_;
  std::vector<PortRange> ports_;
  std::vector<MemoryRange> memory_;
};

}  // namespace velmora::sim
