#pragma once

#include "ports/SystemInfoPort.h"

namespace velmora::win32 {

// The address of a module's export (GetProcAddress); 0 when the module is 0 or lacks it. Every
// adapter that binds functions by name (this one, PowrProf's, the process's) goes through it.
ProcAddress ExportAddress(ModuleHandle module, const std::string& procName);

class Win32SystemInfo : public ISystemInfo {
 public:
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
  std::uint32_t GetLastError() override;
  std::string GetSystemDirectoryA() override;
  std::string GetWindowsDirectoryA() override;
};

}  // namespace velmora::win32
