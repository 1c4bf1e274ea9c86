// The program's view of its own memory at addresses the driver handed out, backed by the
// simulated process's address space: an address no view backs throws SimAccessViolation.
#pragma once

#include "ports/ProcessMemoryPort.h"
#include "sim/kernel/SimAddressSpace.h"

namespace velmora::sim {

class SimProcessMemory : public IProcessMemory {
 public:
  explicit SimProcessMemory(SimAddressSpace& space) : space_(space) {}

  void Read(ProcessAddress address, void* destination, std::uint32_t size) override {
    space_.Read(address, destination, size);
  }
  void Write(ProcessAddress address, const void* source, std::uint32_t size) override {
    space_.Write(address, source, size);
  }

 private:
  SimAddressSpace& space_;
};

}  // namespace velmora::sim
