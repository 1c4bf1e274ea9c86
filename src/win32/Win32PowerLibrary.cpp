#include "win32/Win32PowerLibrary.h"

#include <windows.h>
// powrprof.h after windows.h: it needs the base types.
#include <powrprof.h>

#include <cstddef>

#include "win32/Win32SystemInfo.h"

namespace velmora::win32 {
namespace {

// The port's records are the SDK's, byte for byte: they go to PowrProf as they are.
static_assert(sizeof(GUID) == sizeof(Guid));
static_assert(sizeof(POWER_ACTION_POLICY) == sizeof(PowerActionPolicy));
static_assert(sizeof(SYSTEM_POWER_LEVEL) == sizeof(SystemPowerLevel));
static_assert(sizeof(SYSTEM_POWER_POLICY) == sizeof(SystemPowerPolicy));
static_assert(offsetof(SYSTEM_POWER_POLICY, MinSleep) == offsetof(SystemPowerPolicy, MinSleep));
static_assert(offsetof(SYSTEM_POWER_POLICY, MaxSleep) == offsetof(SystemPowerPolicy, MaxSleep));
static_assert(offsetof(SYSTEM_POWER_POLICY, OverThrottled) ==
              offsetof(SystemPowerPolicy, OverThrottled));
static_assert(sizeof(GLOBAL_POWER_POLICY) == sizeof(GlobalPowerPolicy));
static_assert(offsetof(GLOBAL_POWER_POLICY, user.GlobalFlags) ==
              offsetof(GlobalPowerPolicy, user.GlobalFlags));
static_assert(sizeof(POWER_POLICY) == sizeof(PowerPolicy));
static_assert(offsetof(POWER_POLICY, mach.MinSleepAc) == offsetof(PowerPolicy, mach.MinSleepAc));
static_assert(sizeof(SYSTEM_POWER_CAPABILITIES) == sizeof(SystemPowerCapabilities));
static_assert(offsetof(SYSTEM_POWER_CAPABILITIES, SystemS3) ==
              offsetof(SystemPowerCapabilities, SystemS3));
static_assert(offsetof(SYSTEM_POWER_CAPABILITIES, HiberFilePresent) ==
              offsetof(SystemPowerCapabilities, HiberFilePresent));
static_assert(offsetof(SYSTEM_POWER_CAPABILITIES, DefaultLowLatencyWake) ==
              offsetof(SystemPowerCapabilities, DefaultLowLatencyWake));
static_assert(sizeof(wchar_t) == sizeof(char16_t));

// The exports' own signatures (powrprof.h; the GUID-based ones exist from Vista on).
using CallNtPowerInformationFn = LONG(WINAPI*)(int, PVOID, ULONG, PVOID, ULONG);
using PowerEnumerateFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, int, ULONG, UCHAR*, DWORD*);
using PowerReadFriendlyNameFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, UCHAR*,
                                               DWORD*);
using PowerDeleteSchemeFn = DWORD(WINAPI*)(HKEY, const GUID*);
using PowerImportPowerSchemeFn = DWORD(WINAPI*)(HKEY, LPCWSTR, GUID**);
using PowerSetActiveSchemeFn = DWORD(WINAPI*)(HKEY, const GUID*);
using GetCurrentPowerPoliciesFn = BOOLEAN(WINAPI*)(GLOBAL_POWER_POLICY*, POWER_POLICY*);
using ReadPwrSchemeFn = BOOLEAN(WINAPI*)(UINT, POWER_POLICY*);
using WritePwrSchemeFn = BOOLEAN(WINAPI*)(UINT*, LPCWSTR, LPCWSTR, POWER_POLICY*);
using SetActivePwrSchemeFn = BOOLEAN(WINAPI*)(UINT, GLOBAL_POWER_POLICY*, POWER_POLICY*);
using GetPwrCapabilitiesFn = BOOLEAN(WINAPI*)(SYSTEM_POWER_CAPABILITIES*);
using SetSuspendStateFn = BOOLEAN(WINAPI*)(BOOLEAN, BOOLEAN, BOOLEAN);
using WriteGlobalPwrPolicyFn = BOOLEAN(WINAPI*)(GLOBAL_POWER_POLICY*);
using PowerGetActiveSchemeFn = DWORD(WINAPI*)(HKEY, GUID**);
using PowerWriteValueIndexFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, DWORD);
using PowerReadValueIndexFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, DWORD*);
using ReadGlobalPwrPolicyFn = BOOLEAN(WINAPI*)(GLOBAL_POWER_POLICY*);

template <typename Fn>
Fn Bound(ProcAddress function) {
  return reinterpret_cast<Fn>(function);
}

HKEY Key(Handle rootKey) {
  return reinterpret_cast<HKEY>(rootKey);
}
const GUID* Native(const Guid* guid) {
  return reinterpret_cast<const GUID*>(guid);
}
LPCWSTR Wide(const std::u16string& text) {
  return reinterpret_cast<LPCWSTR>(text.c_str());
}
GLOBAL_POWER_POLICY* Native(GlobalPowerPolicy* policy) {
  return reinterpret_cast<GLOBAL_POWER_POLICY*>(policy);
}
POWER_POLICY* Native(PowerPolicy* policy) {
  return reinterpret_cast<POWER_POLICY*>(policy);
}

}  // namespace

ModuleHandle Win32PowerLibrary::LoadLibraryA(const std::string& fileName) {
  return reinterpret_cast<ModuleHandle>(::LoadLibraryA(fileName.c_str()));
}

ProcAddress Win32PowerLibrary::GetProcAddress(ModuleHandle module, const std::string& procName) {
  return ExportAddress(module, procName);
}

bool Win32PowerLibrary::FreeLibrary(ModuleHandle module) {
  return ::FreeLibrary(reinterpret_cast<HMODULE>(module)) != FALSE;
}

void Win32PowerLibrary::LocalFree(LocalMemory memory) {
  if (memory != 0) ::LocalFree(reinterpret_cast<HLOCAL>(memory));
}

Guid Win32PowerLibrary::ReadGuid(LocalMemory memory) {
  return *reinterpret_cast<const Guid*>(memory);
}

std::uint32_t Win32PowerLibrary::CallNtPowerInformation(ProcAddress function, std::uint32_t level,
                                                        const void* input,
                                                        std::uint32_t inputLength, void* output,
                                                        std::uint32_t outputLength) {
  return static_cast<std::uint32_t>(Bound<CallNtPowerInformationFn>(function)(
      static_cast<int>(level), const_cast<void*>(input), inputLength, output, outputLength));
}

std::uint32_t Win32PowerLibrary::PowerEnumerate(ProcAddress function, Handle rootKey,
                                                const Guid* scheme, const Guid* subgroup,
                                                std::uint32_t accessFlags, std::uint32_t index,
                                                std::uint8_t* buffer, std::uint32_t* bufferSize) {
  DWORD size = *bufferSize;
  const DWORD status =
      Bound<PowerEnumerateFn>(function)(Key(rootKey), Native(scheme), Native(subgroup),
                                        static_cast<int>(accessFlags), index, buffer, &size);
  *bufferSize = size;
  return status;
}

std::uint32_t Win32PowerLibrary::PowerReadFriendlyName(
    ProcAddress function, Handle rootKey, const Guid* scheme, const Guid* subgroup,
    const Guid* setting, std::uint8_t* buffer, std::uint32_t* bufferSize) {
  DWORD size = *bufferSize;
  const DWORD status = Bound<PowerReadFriendlyNameFn>(function)(
      Key(rootKey), Native(scheme), Native(subgroup), Native(setting), buffer, &size);
  *bufferSize = size;
  return status;
}

std::uint32_t Win32PowerLibrary::PowerDeleteScheme(ProcAddress function, Handle rootKey,
                                                   const Guid* scheme) {
  return Bound<PowerDeleteSchemeFn>(function)(Key(rootKey), Native(scheme));
}

std::uint32_t Win32PowerLibrary::PowerImportPowerScheme(ProcAddress function, Handle rootKey,
                                                        const std::u16string& importFilePath,
                                                        LocalMemory* destinationScheme) {
  GUID* destination = reinterpret_cast<GUID*>(*destinationScheme);
  const DWORD status =
      Bound<PowerImportPowerSchemeFn>(function)(Key(rootKey), Wide(importFilePath), &destination);
  *destinationScheme = reinterpret_cast<LocalMemory>(destination);
  return status;
}

std::uint32_t Win32PowerLibrary::PowerSetActiveScheme(ProcAddress function, Handle rootKey,
                                                      const Guid* scheme) {
  return Bound<PowerSetActiveSchemeFn>(function)(Key(rootKey), Native(scheme));
}

std::uint8_t Win32PowerLibrary::GetCurrentPowerPolicies(ProcAddress function,
                                                        GlobalPowerPolicy* global,
                                                        PowerPolicy* power) {
  return Bound<GetCurrentPowerPoliciesFn>(function)(Native(global), Native(power));
}

std::uint8_t Win32PowerLibrary::ReadPwrScheme(ProcAddress function, std::uint32_t index,
                                              PowerPolicy* power) {
  return Bound<ReadPwrSchemeFn>(function)(index, Native(power));
}

std::uint8_t Win32PowerLibrary::WritePwrScheme(ProcAddress function, std::uint32_t* index,
                                               const std::u16string& name,
                                               const std::u16string& description,
                                               PowerPolicy* power) {
  UINT number = *index;
  const BOOLEAN ok =
      Bound<WritePwrSchemeFn>(function)(&number, Wide(name), Wide(description), Native(power));
  *index = number;
  return ok;
}

std::uint8_t Win32PowerLibrary::SetActivePwrScheme(ProcAddress function, std::uint32_t index,
                                                   GlobalPowerPolicy* global, PowerPolicy* power) {
  return Bound<SetActivePwrSchemeFn>(function)(index, Native(global), Native(power));
}

std::uint8_t Win32PowerLibrary::GetPwrCapabilities(ProcAddress function,
                                                   SystemPowerCapabilities* capabilities) {
  return Bound<GetPwrCapabilitiesFn>(function)(
      reinterpret_cast<SYSTEM_POWER_CAPABILITIES*>(capabilities));
}

std::uint8_t Win32PowerLibrary::SetSuspendState(ProcAddress function, bool hibernate,
                                                bool forceCritical, bool disableWakeEvent) {
  return Bound<SetSuspendStateFn>(function)(hibernate, forceCritical, disableWakeEvent);
}

std::uint8_t Win32PowerLibrary::ReadGlobalPwrPolicy(ProcAddress function,
                                                    GlobalPowerPolicy* global) {
  return Bound<ReadGlobalPwrPolicyFn>(function)(Native(global));
}

std::uint8_t Win32PowerLibrary::WriteGlobalPwrPolicy(ProcAddress function,
                                                     GlobalPowerPolicy* global) {
  return Bound<WriteGlobalPwrPolicyFn>(function)(Native(global));
}

std::uint32_t Win32PowerLibrary::PowerGetActiveScheme(ProcAddress function, Handle rootKey,
                                                      LocalMemory* activeScheme) {
  GUID* active = nullptr;
  const DWORD result = Bound<PowerGetActiveSchemeFn>(function)(Key(rootKey), &active);
  *activeScheme = reinterpret_cast<LocalMemory>(active);
  return result;
}

std::uint32_t Win32PowerLibrary::PowerWriteACValueIndex(ProcAddress function, Handle rootKey,
                                                        const Guid* scheme, const Guid* subgroup,
                                                        const Guid* setting, std::uint32_t index) {
  return Bound<PowerWriteValueIndexFn>(function)(Key(rootKey), Native(scheme), Native(subgroup),
                                                 Native(setting), index);
}

std::uint32_t Win32PowerLibrary::PowerWriteDCValueIndex(ProcAddress function, Handle rootKey,
                                                        const Guid* scheme, const Guid* subgroup,
                                                        const Guid* setting, std::uint32_t index) {
  return Bound<PowerWriteValueIndexFn>(function)(Key(rootKey), Native(scheme), Native(subgroup),
                                                 Native(setting), index);
}

std::uint32_t Win32PowerLibrary::PowerReadACValueIndex(ProcAddress function, Handle rootKey,
                                                       const Guid* scheme, const Guid* subgroup,
                                                       const Guid* setting, std::uint32_t* index) {
  DWORD value = 0;
  const DWORD result = Bound<PowerReadValueIndexFn>(function)(
      Key(rootKey), Native(scheme), Native(subgroup), Native(setting), &value);
  *index = value;
  return result;
}

std::uint32_t Win32PowerLibrary::PowerReadDCValueIndex(ProcAddress function, Handle rootKey,
                                                       const Guid* scheme, const Guid* subgroup,
                                                       const Guid* setting, std::uint32_t* index) {
  return PowerReadACValueIndex(function, rootKey, scheme, subgroup, setting, index);
}

std::uint32_t Win32PowerLibrary::GetLastError() {
  return ::GetLastError();
}

}  // namespace velmora::win32
