#include "win32/Win32Processor.h"

#include <cpuid.h>

namespace velmora::win32 {

CpuIdRegisters Win32Processor::CpuId(std::uint32_t leaf) {
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid_count(leaf, leaf, eax, ebx, ecx, edx);
  return CpuIdRegisters{eax, ebx, ecx, edx};
}

void Win32Processor::OutDword(std::uint16_t port, std::uint32_t value) {
  __asm__ __volatile__("outl %0, %w1" : : "a"(value), "Nd"(port));
}

std::uint8_t Win32Processor::InByte(std::uint16_t port) {
  std::uint8_t value;
  __asm__ __volatile__("inb %w1, %0" : "=a"(value) : "Nd"(port));
  return value;
}

std::uint16_t Win32Processor::InWord(std::uint16_t port) {
  std::uint16_t value;
  __asm__ __volatile__("inw %w1, %0" : "=a"(value) : "Nd"(port));
  return value;
}

std::uint32_t Win32Processor::InDword(std::uint16_t port) {
  std::uint32_t value;
  __asm__ __volatile__("inl %w1, %0" : "=a"(value) : "Nd"(port));
  return value;
}

}  // namespace velmora::win32
