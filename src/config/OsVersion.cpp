#include "config/OsVersion.h"

#include <string>

#include "config/DebugLog.h"
#include "ports/WinTypes.h"

namespace velmora {
namespace {

std::string VersionText(std::uint32_t major, std::uint32_t minor) {
  return std::to_string(major) + "." + std::to_string(minor);
}

// Itanium is told apart only where a driver image exists for it (NT 5 and NT 6).
TOsType TypeUnderWow64(bool wow64, std::uint16_t arch, TOsType x86, TOsType ia64, TOsType x64) {
  if (!wow64) return x86;
  return arch == win::kProcessorArchitectureIa64 ? ia64 : x64;
}

void ClassifyNt6(std::uint32_t minor, bool workstation, bool wow64, OsClassification& os) {
  if (minor == 1) {
    os.displayName = "Windows 7";
    if (!workstation) {
      os.codeName += "S";
    } else if (wow64) {
      os.codeName += "A";
    }
  } else if (minor == 0) {
    if (workstation) {
      os.displayName = wow64 ? "Windows Vista64" : "Windows Vista";
      if (wow64) os.codeName += "A";
    } else {
      os.displayName = "Windows Server 2008";
      os.codeName += "S";
    }
  }
}

void ClassifyNt5(std::uint32_t minor, bool workstation, std::uint16_t arch,
                 OsClassification& os) {
  if (minor == 2) {
    if (workstation && arch == win::kProcessorArchitectureAmd64) {
      os.displayName = "Windows XP64";
      os.codeName += "A";
    } else {
      os.displayName = "Windows Server 2003";
      os.codeName += "S";
    }
  } else if (minor == 1) {
    os.displayName = "Windows XP";
  } else if (minor == 0) {
    os.displayName = "Windows 2000";
  }
}

std::string Win9xDisplayName(std::uint32_t major, std::uint32_t minor) {
  if (major != 4) return "";
  switch (minor) {
    case 90: return "Windows ME";
    case 10:
    case 11: return "Windows 98";
    case 0:
    case 3: return "Windows 95";
    default: return "";
  }
}

}  // namespace

OsClassification ClassifyOs(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor,
                            std::uint8_t productType, std::uint16_t nativeArchitecture,
                            bool wow64) {
  OsClassification os;
  if (platformId != win::kVerPlatformWin32Nt) {
    os.osType = otWin9x;
    os.codeName = "WIN_" + VersionText(major, minor);
    os.displayName = Win9xDisplayName(major, minor);
    return os;
  }
  os.codeName = "WNT_" + VersionText(major, minor);
  const bool workstation = productType == win::kVerNtWorkstation;
  if (major == 6) {
    ClassifyNt6(minor, workstation, wow64, os);
    os.osType = TypeUnderWow64(wow64, nativeArchitecture, otNt6X86, otNt6Ia64, otNt6X64);
  } else if (major == 5) {
    ClassifyNt5(minor, workstation, nativeArchitecture, os);
    os.osType = TypeUnderWow64(wow64, nativeArchitecture, otNt5X86, otNt5Ia64, otNt5X64);
  } else {
    // An NT release this table does not know takes the newest paths.
    os.displayName = "Unknown";
    os.osType = wow64 ? otNt6X64 : otNt6X86;
  }
  return os;
}

TOsVersion::TOsVersion(ISystemInfo& system) {
  DebugLogWrite("Detecting OS");
  Detect(system);
  DebugLogWrite("OS = " + std::to_string(OsType));
}

void TOsVersion::Detect(ISystemInfo& system) {
  // GetNativeSystemInfo exists from XP on; before that there is no WOW64 to see through.
  const ProcAddress nativeInfo =
      system.GetProcAddress(system.GetModuleHandleA("kernel32.dll"), "GetNativeSystemInfo");
  if (nativeInfo != 0) {
    system.GetNativeSystemInfo(nativeInfo, NativeInfo);
  } else {
    system.GetSystemInfo(NativeInfo);
  }
  IsWow64 = 0;

  OsVersionInfoExA version{};
  version.dwOSVersionInfoSize = sizeof(OsVersionInfoExA);
  if (!system.GetVersionExA(version)) {
    OsType = otWin9x;
    CodeName = "Unknown";
    DisplayName.clear();
    return;
  }

  const ProcAddress isWow64 =
      system.GetProcAddress(system.GetModuleHandleA("kernel32"), "IsWow64Process");
  std::int32_t wow64 = 0;
  if (isWow64 != 0 && system.IsWow64Process(isWow64, system.GetCurrentProcess(), &wow64)) {
    IsWow64 = static_cast<std::uint8_t>(wow64 & 0xFF);
  }
  DebugLogWrite("Major=" + std::to_string(version.dwMajorVersion) +
                ", Minor=" + std::to_string(version.dwMinorVersion) +
                ", 64bit=" + std::to_string(IsWow64));

  const OsClassification os =
      ClassifyOs(version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion,
                 version.wProductType, NativeInfo.wProcessorArchitecture, IsWow64 != 0);
  OsType = os.osType;
  CodeName = os.codeName;
  DisplayName = os.displayName;

  if (version.dwPlatformId == win::kVerPlatformWin32Nt) {
    ServicePackMajor = version.wServicePackMajor;
    IsMediaCenter = system.GetSystemMetrics(win::kSmMediaCenter) != 0 ? 1 : 0;
  }
}

}  // namespace velmora
