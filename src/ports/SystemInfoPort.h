// System information and version queries, including the functions that only some Windows
// releases export and that are therefore bound by name at run time.
#pragma once

#include <cstdint>
#include <string>

#include "ports/WinTypes.h"

namespace velmora {

// SYSTEM_INFO as a 32-bit process sees it (36 bytes).
struct SystemInfoRecord {
  std::uint16_t wProcessorArchitecture = 0;
  std::uint16_t wReserved = 0;
  std::uint32_t dwPageSize = 0;
  std::uint32_t lpMinimumApplicationAddress = 0;
  std::uint32_t lpMaximumApplicationAddress = 0;
  std::uint32_t dwActiveProcessorMask = 0;
  std::uint32_t dwNumberOfProcessors = 0;
  std::uint32_t dwProcessorType = 0;
  std::uint32_t dwAllocationGranularity = 0;
  std::uint16_t wProcessorLevel = 0;
  std::uint16_t wProcessorRevision = 0;
};
static_assert(sizeof(SystemInfoRecord) == 36);

// OSVERSIONINFOEXA, byte for byte (156 bytes).
struct OsVersionInfoExA {
  std::uint32_t dwOSVersionInfoSize = 0;
  std::uint32_t dwMajorVersion = 0;
  std::uint32_t dwMinorVersion = 0;
  std::uint32_t dwBuildNumber = 0;
  std::uint32_t dwPlatformId = 0;
  char szCSDVersion[128] = {};
  std::uint16_t wServicePackMajor = 0;
  std::uint16_t wServicePackMinor = 0;
  std::uint16_t wSuiteMask = 0;
  std::uint8_t wProductType = 0;
  std::uint8_t wReserved = 0;
};
static_assert(sizeof(OsVersionInfoExA) == 156);

// What GetSystemTimes reports: three FILETIMEs, each read as one 64-bit count of 100-nanosecond
// units summed over all processors. Kernel time includes idle time.
struct SystemTimes {
  std::uint64_t idle = 0;
  std::uint64_t kernel = 0;
  std::uint64_t user = 0;
};

class ISystemInfo {
 public:
  virtual ~ISystemInfo() = default;

  virtual ModuleHandle GetModuleHandleA(const std::string& moduleName) = 0;
  // 0 when the module does not export the name.
  virtual ProcAddress GetProcAddress(ModuleHandle module, const std::string& procName) = 0;

  // Calls through an address that GetProcAddress returned for "GetNativeSystemInfo".
  virtual void GetNativeSystemInfo(ProcAddress function, SystemInfoRecord& info) = 0;
  virtual void GetSystemInfo(SystemInfoRecord& info) = 0;
  // GetVersionExA; the caller sets dwOSVersionInfoSize.
  virtual bool GetVersionExA(OsVersionInfoExA& info) = 0;
  virtual Handle GetCurrentProcess() = 0;
  // Calls through an address that GetProcAddress returned for "IsWow64Process".
  virtual bool IsWow64Process(ProcAddress function, Handle process, std::int32_t* wow64) = 0;
  virtual int GetSystemMetrics(int index) = 0;
  // Calls through an address that GetProcAddress returned for "GetSystemTimes" (Windows XP SP1
  // and later; absent from the 9x family and Windows 2000).
  virtual bool GetSystemTimes(ProcAddress function, SystemTimes& times) = 0;
  // Calls through an address that GetProcAddress returned for "GetSystemFirmwareTable" (Vista
  // and later, and XP x64; absent from 32-bit XP and the 9x family). Copies the table a firmware
  // table provider ('ACPI', 'RSMB', 'FIRM') holds under tableId and returns the bytes written
  // (at most bufferSize). A null buffer, or one too small, receives nothing: the return value is
  // then the size the table needs (more than bufferSize) and the last error
  // ERROR_INSUFFICIENT_BUFFER. Any other failure (no such provider or table) returns 0.
  virtual std::uint32_t GetSystemFirmwareTable(ProcAddress function, std::uint32_t provider,
                                               std::uint32_t tableId, void* buffer,
                                               std::uint32_t bufferSize) = 0;
  // The calling thread's last error, as a failed GetSystemFirmwareTable left it.
  virtual std::uint32_t GetLastError() = 0;
  // GetSystemDirectoryA / GetWindowsDirectoryA, without a trailing separator.
  virtual std::string GetSystemDirectoryA() = 0;
  virtual std::string GetWindowsDirectoryA() = 0;
};

}  // namespace velmora
