// A machine that passes every access on to another one and reports each write that touches one
// watched physical byte, after the write reached the inner machine. The demo program watches the
// firmware's control byte this way: whatever path the program's write takes (the driver's
// read-modify-write through its mapping), it ends as a physical write here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "sim/board/SimMachine.h"

namespace velmora::sim {

class WatchedMachine : public SimMachine {
 public:
  // No byte is watched when `watched` is empty.
  WatchedMachine(SimMachine& inner, std::optional<std::uint64_t> watched,
                 std::function<void()> written)
      : inner_(inner), watched_(watched), written_(std::move(written)) {}

  void ReadPhysical(std::uint64_t address, void* destination, std::size_t size) override {
    inner_.ReadPhysical(address, destination, size);
  }
  void WritePhysical(std::uint64_t address, const void* source, std::size_t size) override {
    inner_.WritePhysical(address, source, size);
    if (Touches(address, size) && written_) written_();
  }
  std::uint32_t PortIn(std::uint16_t port, unsigned width) override {
    return inner_.PortIn(port, width);
  }
  void PortOut(std::uint16_t port, unsigned width, std::uint32_t value) override {
    inner_.PortOut(port, width, value);
  }
  CpuIdRegisters CpuId(std::uint32_t leaf) override { return inner_.CpuId(leaf); }
  std::optional<std::vector<std::uint8_t>> FirmwareTable(std::uint32_t provider,
                                                         std::uint32_t tableId) override {
    return inner_.FirmwareTable(provider, tableId);
  }
  const FirmwareMemoryMap& MemoryMap() const override { return inner_.MemoryMap(); }

 private:
  bool Touches(std::uint64_t address, std::size_t size) const {
    return watched_ && size != 0 && *watched_ >= address && *watched_ - address < size;
  }

  SimMachine& inner_;
  std::optional<std::uint64_t> watched_;
  std::function<void()> written_;
};

}  // namespace velmora::sim
