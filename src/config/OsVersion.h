// Which Windows runs this process. Everything platform-dependent in the program decides on the
// one number OsType.
#pragma once

#include <cstdint>
#include <string>

#include "ports/SystemInfoPort.h"

namespace velmora {

using TOsType = std::uint32_t;
inline constexpr TOsType otWin9x = 0;     // 95 / 98 / ME
inline constexpr TOsType otNt5X86 = 1;    // 2000 / XP / 2003, 32-bit
inline constexpr TOsType otNt5Ia64 = 2;   // same on Itanium
inline constexpr TOsType otNt5X64 = 3;    // same on x64
inline constexpr TOsType otNt6X86 = 4;    // Vista / 7 / 2008, 32-bit (and unknown NT majors)
inline constexpr TOsType otNt6Ia64 = 5;   // same on Itanium
inline constexpr TOsType otNt6X64 = 6;    // same on x64 (and unknown NT majors under WOW64)

struct OsClassification {
  TOsType osType = otWin9x;
  std::string codeName;
  std::string displayName;
};

// The pure decision from what GetVersionEx, GetNativeSystemInfo and IsWow64Process reported.
OsClassification ClassifyOs(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor,
                            std::uint8_t productType, std::uint16_t nativeArchitecture, bool wow64);

class TOsVersion {
 public:
  // Detects the running Windows and writes three lines to the debug log.
  explicit TOsVersion(ISystemInfo& system);

  SystemInfoRecord NativeInfo{};
  TOsType OsType = otWin9x;
  std::string CodeName;
  std::uint8_t IsWow64 = 0;
  std::uint8_t IsMediaCenter = 0;
  std::string DisplayName;
  std::uint32_t ServicePackMajor = 0;

 private:
  void Detect(ISystemInfo& system);
};

}  // namespace velmora
