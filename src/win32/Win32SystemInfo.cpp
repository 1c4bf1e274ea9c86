#include "win32/Win32SystemInfo.h"

#include <windows.h>

#include <cstring>

#include "win32/Win32Text.h"

namespace velmora::win32 {
namespace {

static_assert(sizeof(OSVERSIONINFOEXA) == sizeof(OsVersionInfoExA));
// The record is SYSTEM_INFO as the 32-bit program sees it; a 64-bit build copies the fields
// one by one (its addresses and mask are wider, and are narrowed to what a 32-bit caller gets).
static_assert(sizeof(void*) != 4 || sizeof(SYSTEM_INFO) == sizeof(SystemInfoRecord));

using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using GetSystemTimesFn = BOOL(WINAPI*)(LPFILETIME, LPFILETIME, LPFILETIME);
using GetSystemFirmwareTableFn = UINT(WINAPI*)(DWORD, DWORD, PVOID, DWORD);

std::uint64_t Count(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

void CopySystemInfo(const SYSTEM_INFO& from, SystemInfoRecord& to) {
  to.wProcessorArchitecture = from.wProcessorArchitecture;
  to.wReserved = from.wReserved;
  to.dwPageSize = from.dwPageSize;
  to.lpMinimumApplicationAddress =
      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(from.lpMinimumApplicationAddress));
  to.lpMaximumApplicationAddress =
      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(from.lpMaximumApplicationAddress));
  to.dwActiveProcessorMask = static_cast<std::uint32_t>(from.dwActiveProcessorMask);
  to.dwNumberOfProcessors = from.dwNumberOfProcessors;
  to.dwProcessorType = from.dwProcessorType;
  to.dwAllocationGranularity = from.dwAllocationGranularity;
  to.wProcessorLevel = from.wProcessorLevel;
  to.wProcessorRevision = from.wProcessorRevision;
}

}  // namespace

ModuleHandle Win32SystemInfo::GetModuleHandleA(const std::string& moduleName) {
  return reinterpret_cast<ModuleHandle>(::GetModuleHandleA(moduleName.c_str()));
}

ProcAddress ExportAddress(ModuleHandle module, const std::string& procName) {
  if (module == 0) return 0;
  return reinterpret_cast<ProcAddress>(
      ::GetProcAddress(reinterpret_cast<HMODULE>(module), procName.c_str()));
}

ProcAddress Win32SystemInfo::GetProcAddress(ModuleHandle module, const std::string& procName) {
  return ExportAddress(module, procName);
}

void Win32SystemInfo::GetNativeSystemInfo(ProcAddress function, SystemInfoRecord& info) {
  SYSTEM_INFO native{};
  reinterpret_cast<GetNativeSystemInfoFn>(function)(&native);
  CopySystemInfo(native, info);
}

void Win32SystemInfo::GetSystemInfo(SystemInfoRecord& info) {
  SYSTEM_INFO emulated{};
  ::GetSystemInfo(&emulated);
  CopySystemInfo(emulated, info);
}

bool Win32SystemInfo::GetVersionExA(OsVersionInfoExA& info) {
  OSVERSIONINFOEXA version{};
  version.dwOSVersionInfoSize = info.dwOSVersionInfoSize;
  const BOOL ok = ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));
  info.dwMajorVersion = version.dwMajorVersion;
  info.dwMinorVersion = version.dwMinorVersion;
  info.dwBuildNumber = version.dwBuildNumber;
  info.dwPlatformId = version.dwPlatformId;
  std::memcpy(info.szCSDVersion, version.szCSDVersion, sizeof(info.szCSDVersion));
  info.wServicePackMajor = version.wServicePackMajor;
  info.wServicePackMinor = version.wServicePackMinor;
  info.wSuiteMask = version.wSuiteMask;
  info.wProductType = version.wProductType;
  info.wReserved = version.wReserved;
  return ok != FALSE;
}

Handle Win32SystemInfo::GetCurrentProcess() {
  return reinterpret_cast<Handle>(::GetCurrentProcess());
}

bool Win32SystemInfo::IsWow64Process(ProcAddress function, Handle process, std::int32_t* wow64) {
  BOOL result = FALSE;
  const BOOL ok = reinterpret_cast<IsWow64ProcessFn>(function)(reinterpret_cast<HANDLE>(process),
                                                               &result);
  if (ok) *wow64 = result;
  return ok != FALSE;
}

int Win32SystemInfo::GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

bool Win32SystemInfo::GetSystemTimes(ProcAddress function, SystemTimes& times) {
  FILETIME idle{}, kernel{}, user{};
  if (!reinterpret_cast<GetSystemTimesFn>(function)(&idle, &kernel, &user)) return false;
  times.idle = Count(idle);
  times.kernel = Count(kernel);
  times.user = Count(user);
  return true;
}

std::uint32_t Win32SystemInfo::GetSystemFirmwareTable(ProcAddress function, std::uint32_t provider,
                                                      std::uint32_t tableId, void* buffer,
                                                      std::uint32_t bufferSize) {
  return reinterpret_cast<GetSystemFirmwareTableFn>(function)(provider, tableId, buffer,
                                                              bufferSize);
}

std::uint32_t Win32SystemInfo::GetLastError() {
  return ::GetLastError();
}

std::string Win32SystemInfo::GetSystemDirectoryA() {
  char path[MAX_PATH + 1] = {};
  const UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
  return AnsiToUtf8(std::string(path, length <= MAX_PATH ? length : 0));
}

std::string Win32SystemInfo::GetWindowsDirectoryA() {
  char path[MAX_PATH + 1] = {};
  const UINT length = ::GetWindowsDirectoryA(path, MAX_PATH);
  return AnsiToUtf8(std::string(path, length <= MAX_PATH ? length : 0));
}

}  // namespace velmora::win32
