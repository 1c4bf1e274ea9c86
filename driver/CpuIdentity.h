// Who made the processor and its family, from CPUID as kernel code executes it.
#pragma once

#include <stdint.h>

namespace velmora::driver {

// "GenuineIntel" and "AuthenticAMD" as CPUID leaf 0 answers them in EBX, EDX, ECX.
inline constexpr uint32_t kIntelVendor[3] = {0x756E6547, 0x49656E69, 0x6C65746E};
inline constexpr uint32_t kAmdVendor[3] = {0x68747541, 0x69746E65, 0x444D4163};

// Leaf 0's registers (EAX, EBX, ECX, EDX) against a vendor.
inline bool IsVendor(const uint32_t r[4], const uint32_t vendor[3]) {
  return r[1] == vendor[0] && r[3] == vendor[1] && r[2] == vendor[2];
}

// CPUID leaf 1 EAX: the base family in bits 8-11; family 0Fh adds the extended family (bits
// 20-27) to it.
inline uint32_t FamilyOf(uint32_t signature) {
  const uint32_t family = (signature >> 8) & 0xF;
  return family == 0xF ? family + ((signature >> 20) & 0xFF) : family;
}

}  // namespace velmora::driver
