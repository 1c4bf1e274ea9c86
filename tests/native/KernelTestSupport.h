// A minimal board for the driver and simulated-kernel tests: sparse physical memory (unbacked
// bytes read 0xFF), configuration mechanism #1 behind ports 0xCF8/0xCFC..0xCFF with registers
// seeded per configuration address, and a log of every port access.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "sim/board/SimMachine.h"

namespace velmora::kerneltest {

class FakeBoard : public sim::SimMachine {
 public:
  struct PortAccess {
    std::uint16_t port;
    unsigned width;
    bool write;
    std::uint32_t value;
  };

  void ReadPhysical(std::uint64_t address, void* destination, std::size_t size) override {
    auto* bytes = static_cast<std::uint8_t*>(destination);
    for (std::size_t i = 0; i < size; ++i) {
      const auto found = memory.find(address + i);
      bytes[i] = found == memory.end() ? 0xFF : found->second;
    }
  }
  void WritePhysical(std::uint64_t address, const void* source, std::size_t size) override {
    const auto* bytes = static_cast<const std::uint8_t*>(source);
    for (std::size_t i = 0; i < size; ++i) memory[address + i] = bytes[i];
  }
  std::uint32_t PortIn(std::uint16_t port, unsigned width) override {
    std::uint32_t value = 0xFFFFFFFF;
    if (port >= 0xCFC && port <= 0xCFF) {
      const auto found = config.find(configAddress);
      const std::uint32_t dword = found == config.end() ? 0xFFFFFFFF : found->second;
      value = dword >> (8 * (port - 0xCFC));
    }
    if (width < 4) value &= (1u << (8 * width)) - 1;
    ports.push_back({port, width, false, value});
    return value;
  }
  void PortOut(std::uint16_t port, unsigned width, std::uint32_t value) override {
    if (port == 0xCF8 && width == 4) configAddress = value;
    ports.push_back({port, width, true, value});
  }
  CpuIdRegisters CpuId(std::uint32_t leaf) override { return {leaf, 0x756E6547, 2, 3}; }
  const sim::FirmwareMemoryMap& MemoryMap() const override { return memoryMap; }

  sim::FirmwareMemoryMap memoryMap = sim::FirmwareMemoryMap::TypicalDesktop();
  std::map<std::uint64_t, std::uint8_t> memory;
  std::map<std::uint32_t, std::uint32_t> config;  // by CF8 address (register bits 2..7)
  std::uint32_t configAddress = 0;
  std::vector<PortAccess> ports;
};

}  // namespace velmora::kerneltest
