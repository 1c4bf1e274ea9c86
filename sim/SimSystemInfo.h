// A simulated Windows release: what the version and system-information queries report, and
// which functions its kernel32 exports (a missing export makes GetProcAddress return 0). The
// firmware tables it hands out are those of the machine the simulated world attaches.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "ports/SystemInfoPort.h"
#include "sim/SimSystemTimes.h"
#include "sim/board/SimMachine.h"

namespace velmora::sim {

struct SimWindowsRelease {
  bool versionQueryWorks = true;
  // Windows 95/98/ME and NT 4 before SP6 know only the short OSVERSIONINFOA (148 bytes) and
  // refuse the extended record.
  bool acceptsExtendedVersionInfo = true;
  std::uint32_t platformId = 2;  // VER_PLATFORM_WIN32_NT
  std::uint32_t major = 6;
  std::uint32_t minor = 1;
  std::uint32_t build = 7601;
  std::uint8_t productType = 1;  // VER_NT_WORKSTATION
  std::uint16_t servicePackMajor = 1;
  std::uint16_t nativeArchitecture = 0;  // what GetNativeSystemInfo reports
  std::uint16_t emulatedArchitecture = 0;  // what GetSystemInfo reports to a 32-bit process
  bool wow64 = false;
  bool isWow64ProcessFails = false;
  int mediaCenterMetric = 0;
  std::string windowsDirectory = "C:\\Windows";
  std::string systemDirectory = "C:\\Windows\\system32";
  std::set<std::string> kernel32Exports{"GetNativeSystemInfo", "IsWow64Process", "GetSystemTimes",
                                        "GetSystemFirmwareTable"};
};

// Ready-made releases for tests and the board tools.
SimWindowsRelease Windows7X86();
SimWindowsRelease Windows7X64();
SimWindowsRelease WindowsXpX86();
SimWindowsRelease WindowsXpX64();
SimWindowsRelease Windows98();

class SimSystemInfo : public ISystemInfo {
 public:
  SimSystemInfo() : SimSystemInfo(Windows7X86()) {}
  explicit SimSystemInfo(SimWindowsRelease release) : release_(std::move(release)) {}

  SimWindowsRelease& Release() { return release_; }
  // The machine whose firmware table provider GetSystemFirmwareTable asks; none at first, when
  // every table is missing.
  void AttachFirmware(SimMachine* machine) { firmware_ = machine; }

  ModuleHandle GetModuleHandleA(const std::string& moduleName) override;
  ProcAddress GetProcAddress(ModuleHandle module, const std::string& procName) override;
  void GetNativeSystemInfo(ProcAddress function, SystemInfoRecord& info) override;
  void GetSystemInfo(SystemInfoRecord& info) override;
  bool GetVersionExA(OsVersionInfoExA& info) override;
  Handle GetCurrentProcess() override;
  bool IsWow64Process(ProcAddress function, Handle process, std::int32_t* wow64) override;
  int GetSystemMetrics(int index) override;
  bool GetSystemTimes(ProcAddress function, SystemTimes& times) override;
  std::uint32_t GetSystemFirmwareTable(ProcAddress function, std::uint32_t provider,
                                       std::uint32_t tableId, void* buffer,
                                       std::uint32_t bufferSize) override;
  std::uint32_t GetLastError() override { return lastError_; }
  std::string GetSystemDirectoryA() override { return release_.systemDirectory; }
  std::string GetWindowsDirectoryA() override { return release_.windowsDirectory; }

  // Every module name GetModuleHandleA was asked for, in order.
  const std::vector<std::string>& ModuleQueries() const { return moduleQueries_; }
  int GetVersionExCalls() const { return versionCalls_; }

  // The processor times behind GetSystemTimes.
  SimSystemTimes processorTimes;

 private:
  ProcAddress AddressOf(const std::string& procName) const;

  SimWindowsRelease release_;
  SimMachine* firmware_ = nullptr;
  std::uint32_t lastError_ = 0;
  std::vector<std::string> moduleQueries_;
  int versionCalls_ = 0;
};

}  // namespace velmora::sim
