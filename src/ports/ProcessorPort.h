// Instructions the program executes itself: CPUID always, and on the Windows 9x family the I/O
// port instructions (configuration mechanism #1), which the NT family forbids to user mode.
#pragma once

#include <cstdint>

namespace velmora {

struct CpuIdRegisters {
  std::uint32_t eax = 0;
  std::uint32_t ebx = 0;
  std::uint32_t ecx = 0;
  std::uint32_t edx = 0;
};

class IProcessor {
 public:
  virtual ~IProcessor() = default;
  // CPUID with EAX = leaf and ECX = leaf.
  virtual CpuIdRegisters CpuId(std::uint32_t leaf) = 0;
  virtual void OutDword(std::uint16_t port, std::uint32_t value) = 0;
  virtual std::uint8_t InByte(std::uint16_t port) = 0;
  virtual std::uint16_t InWord(std::uint16_t port) = 0;
  virtual std::uint32_t InDword(std::uint16_t port) = 0;
};

}  // namespace velmora
