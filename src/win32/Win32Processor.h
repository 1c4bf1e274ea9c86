// Instructions run by the program itself: CPUID, and the port instructions of PCI
// configuration mechanism #1 that only the Windows 9x family lets a program execute (on the NT
// family user mode may not, and the program goes through its driver instead).
#pragma once

#include "ports/ProcessorPort.h"

namespace velmora::win32 {

class Win32Processor : public IProcessor {
 public:
  CpuIdRegisters CpuId(std::uint32_t leaf) override;
  void OutDword(std::uint16_t port, std::uint32_t value) override;
  std::uint8_t InByte(std::uint16_t port) override;
  std::uint16_t InWord(std::uint16_t port) override;
  std::uint32_t InDword(std::uint16_t port) override;
};

}  // namespace velmora::win32
