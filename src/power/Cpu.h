// Processor identification: the vendor string CPUID leaf 0 returns, as a small code.
#pragma once

#include <cstdint>
#include <string>

#include "hw/ReadWrite.h"

namespace velmora {

// Vendor codes; any string outside the list is kCpuVendorOther.
inline constexpr std::int32_t kCpuVendorIntel = 1;    // "GenuineIntel"
inline constexpr std::int32_t kCpuVendorAmd = 2;      // "AuthenticAMD"
inline constexpr std::int32_t kCpuVendorCyrix = 3;    // "CyrixInstead"
inline constexpr std::int32_t kCpuVendorUmc = 4;      // "UMC UMC UMC "
inline constexpr std::int32_t kCpuVendorCentaur = 5;  // "CentaurHauls"
inline constexpr std::int32_t kCpuVendorRise = 6;     // "RiseRiseRise"
inline constexpr std::int32_t kCpuVendorOther = -1;

// The 12-character vendor string of a CPUID leaf 0 answer: EBX, EDX, ECX, each little-endian.
std::string CpuVendorString(const CpuIdRegisters& leaf0);
// The code of a vendor string; exact, case-sensitive comparison.
std::int32_t CpuVendorCode(const std::string& vendor);

class TCpu {
 public:
  // No hardware access until the first query.
  explicit TCpu(TReadWrite& readWrite);

  // Executes CPUID once; later calls return the cached code (-1 included).
  std::int32_t GetVendor();
  bool IsIntel() { return GetVendor() == kCpuVendorIntel; }

 private:
  TReadWrite& readWrite_;
  std::int32_t vendor_ = 0;
};

}  // namespace velmora
