// The processor as the program's own code meets it on the simulated board: CPUID, and the port
// instructions that only the 9x family lets a process execute.
#pragma once

#include "ports/ProcessorPort.h"
#include "sim/board/SimMachine.h"

namespace velmora::sim {

class SimProcessor : public IProcessor {
 public:
  explicit SimProcessor(SimMachine& machine) : machine_(machine) {}

  CpuIdRegisters CpuId(std::uint32_t leaf) override { return machine_.CpuId(leaf); }
  void OutDword(std::uint16_t port, std::uint32_t value) override {
    machine_.PortOut(port, 4, value);
  }
  std::uint8_t InByte(std::uint16_t port) override {
    return static_cast<std::uint8_t>(machine_.PortIn(port, 1));
  }
  std::uint16_t InWord(std::uint16_t port) override {
    return static_cast<std::uint16_t>(machine_.PortIn(port, 2));
  }
  std::uint32_t InDword(std::uint16_t port) override { return machine_.PortIn(port, 4); }

 private:
  SimMachine& machine_;
};

}  // namespace velmora::sim
