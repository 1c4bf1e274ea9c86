// The Windows power-management library "PowrProf.DLL", reached only by name: the library is
// loaded at run time and every function is called through the address GetProcAddress gave for
// it. Windows 2000/XP export only the scheme-index functions, Vista and later add the GUID-based
// ones, and Wine leaves some of both out, so a missing export must never stop the program.
//
// The records below are the SDK's own layouts as a 32-bit process sees them (winnt.h and
// powrprof.h), byte for byte, so the adapter can hand them to PowrProf unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ports/WinTypes.h"

namespace velmora {

// GUID (16 bytes), as the power functions name schemes, subgroups and settings.
// POWER_ACTION_POLICY (12 bytes).
struct PowerActionPolicy {
  std::uint32_t Action = 0;  // POWER_ACTION
  std::uint32_t Flags = 0;
  std::uint32_t EventCode = 0;
};
static_assert(sizeof(PowerActionPolicy) == 12);

// SYSTEM_POWER_LEVEL (24 bytes): one battery discharge alarm.
struct SystemPowerLevel {
  std::uint8_t Enable = 0;
  std::uint8_t Spare[3] = {};
  std::uint32_t BatteryLevel = 0;
  PowerActionPolicy PowerPolicy;
  std::uint32_t MinSystemState = 0;  // SYSTEM_POWER_STATE
};
static_assert(sizeof(SystemPowerLevel) == 24);

inline constexpr int kNumDischargePolicies = 4;

// SYSTEM_POWER_POLICY (232 bytes): what CallNtPowerInformation reads and writes for the AC
// (SystemPowerPolicyAc) and battery (SystemPowerPolicyDc) sides.
struct SystemPowerPolicy {
  std::uint32_t Revision = 0;
  PowerActionPolicy PowerButton;
  PowerActionPolicy SleepButton;
  PowerActionPolicy LidClose;
  std::uint32_t LidOpenWake = 0;
  std::uint32_t Reserved = 0;
  PowerActionPolicy Idle;
  std::uint32_t IdleTimeout = 0;
  std::uint8_t IdleSensitivity = 0;
  std::uint8_t DynamicThrottle = 0;
  std::uint8_t Spare2[2] = {};
  std::uint32_t MinSleep = 0;  // SYSTEM_POWER_STATE: the lightest sleep state allowed
  std::uint32_t MaxSleep = 0;  // SYSTEM_POWER_STATE: the deepest sleep state allowed
  std::uint32_t ReducedLatencySleep = 0;
  std::uint32_t WinLogonFlags = 0;
  std::uint32_t Spare3 = 0;
  std::uint32_t DozeS4Timeout = 0;
  std::uint32_t BroadcastCapacityResolution = 0;
  SystemPowerLevel DischargePolicy[kNumDischargePolicies];
  std::uint32_t VideoTimeout = 0;
  std::uint8_t VideoDimDisplay = 0;
  std::uint32_t VideoReserved[3] = {};
  std::uint32_t SpindownTimeout = 0;
  std::uint8_t OptimizeForPower = 0;
  std::uint8_t FanThrottleTolerance = 0;
  std::uint8_t ForcedThrottle = 0;
  std::uint8_t MinThrottle = 0;
  PowerActionPolicy OverThrottled;
};
static_assert(sizeof(SystemPowerPolicy) == 232);
static_assert(offsetof(SystemPowerPolicy, MinSleep) == 68);
static_assert(offsetof(SystemPowerPolicy, MaxSleep) == 72);

// GLOBAL_USER_POWER_POLICY (176 bytes).
struct GlobalUserPowerPolicy {
  std::uint32_t Revision = 0;
  PowerActionPolicy PowerButtonAc;
  PowerActionPolicy PowerButtonDc;
  PowerActionPolicy SleepButtonAc;
  PowerActionPolicy SleepButtonDc;
  PowerActionPolicy LidCloseAc;
  PowerActionPolicy LidCloseDc;
  SystemPowerLevel DischargePolicy[kNumDischargePolicies];
  std::uint32_t GlobalFlags = 0;
};
static_assert(sizeof(GlobalUserPowerPolicy) == 176);

// GLOBAL_MACHINE_POWER_POLICY (16 bytes).
struct GlobalMachinePowerPolicy {
  std::uint32_t Revision = 0;
  std::uint32_t LidOpenWakeAc = 0;
  std::uint32_t LidOpenWakeDc = 0;
  std::uint32_t BroadcastCapacityResolution = 0;
};
static_assert(sizeof(GlobalMachinePowerPolicy) == 16);

// GLOBAL_POWER_POLICY (192 bytes): the policy shared by every scheme.
struct GlobalPowerPolicy {
  GlobalUserPowerPolicy user;
  GlobalMachinePowerPolicy mach;
};
static_assert(sizeof(GlobalPowerPolicy) == 192);
static_assert(offsetof(GlobalPowerPolicy, user.GlobalFlags) == 172);

// USER_POWER_POLICY (80 bytes).
struct UserPowerPolicy {
  std::uint32_t Revision = 0;
  PowerActionPolicy IdleAc;
  PowerActionPolicy IdleDc;
  std::uint32_t IdleTimeoutAc = 0;
  std::uint32_t IdleTimeoutDc = 0;
  std::uint8_t IdleSensitivityAc = 0;
  std::uint8_t IdleSensitivityDc = 0;
  std::uint8_t ThrottlePolicyAc = 0;
  std::uint8_t ThrottlePolicyDc = 0;
  std::uint32_t MaxSleepAc = 0;
  std::uint32_t MaxSleepDc = 0;
  std::uint32_t Reserved[2] = {};
  std::uint32_t VideoTimeoutAc = 0;
  std::uint32_t VideoTimeoutDc = 0;
  std::uint32_t SpindownTimeoutAc = 0;
  std::uint32_t SpindownTimeoutDc = 0;
  std::uint8_t OptimizeForPowerAc = 0;
  std::uint8_t OptimizeForPowerDc = 0;
  std::uint8_t FanThrottleToleranceAc = 0;
  std::uint8_t FanThrottleToleranceDc = 0;
  std::uint8_t ForcedThrottleAc = 0;
  std::uint8_t ForcedThrottleDc = 0;
};
static_assert(sizeof(UserPowerPolicy) == 80);

// MACHINE_POWER_POLICY (64 bytes).
struct MachinePowerPolicy {
  std::uint32_t Revision = 0;
  std::uint32_t MinSleepAc = 0;
  std::uint32_t MinSleepDc = 0;
  std::uint32_t ReducedLatencySleepAc = 0;
  std::uint32_t ReducedLatencySleepDc = 0;
  std::uint32_t DozeTimeoutAc = 0;
  std::uint32_t DozeTimeoutDc = 0;
  std::uint32_t DozeS4TimeoutAc = 0;
  std::uint32_t DozeS4TimeoutDc = 0;
  std::uint8_t MinThrottleAc = 0;
  std::uint8_t MinThrottleDc = 0;
  std::uint8_t pad1[2] = {};
  PowerActionPolicy OverThrottledAc;
  PowerActionPolicy OverThrottledDc;
};
static_assert(sizeof(MachinePowerPolicy) == 64);

// POWER_POLICY (144 bytes): one scheme's policy.
struct PowerPolicy {
  UserPowerPolicy user;
  MachinePowerPolicy mach;
};
static_assert(sizeof(PowerPolicy) == 144);

// BATTERY_REPORTING_SCALE (8 bytes).
struct BatteryReportingScale {
  std::uint32_t Granularity = 0;
  std::uint32_t Capacity = 0;
};

// SYSTEM_POWER_CAPABILITIES (76 bytes).
struct SystemPowerCapabilities {
  std::uint8_t PowerButtonPresent = 0;
  std::uint8_t SleepButtonPresent = 0;
  std::uint8_t LidPresent = 0;
  std::uint8_t SystemS1 = 0;
  std::uint8_t SystemS2 = 0;
  std::uint8_t SystemS3 = 0;
  std::uint8_t SystemS4 = 0;
  std::uint8_t SystemS5 = 0;
  std::uint8_t HiberFilePresent = 0;
  std::uint8_t FullWake = 0;
  std::uint8_t VideoDimPresent = 0;
  std::uint8_t ApmPresent = 0;
  std::uint8_t UpsPresent = 0;
  std::uint8_t ThermalControl = 0;
  std::uint8_t ProcessorThrottle = 0;
  std::uint8_t ProcessorMinThrottle = 0;
  std::uint8_t ProcessorMaxThrottle = 0;
  std::uint8_t FastSystemS4 = 0;
  std::uint8_t Hiberboot = 0;
  std::uint8_t WakeAlarmPresent = 0;
  // Modern Standby (S0 low-power idle): such a PC has no S3, and installing drivers will never
  // bring it back.
  std::uint8_t AoAc = 0;
  std::uint8_t DiskSpinDown = 0;
  // Windows 10 and later: kHiberFileTypeReduced or kHiberFileTypeFull; 0 on earlier releases,
  // whose hibernation file is always a full one.
  std::uint8_t HiberFileType = 0;
  std::uint8_t AoAcConnectivitySupported = 0;
  std::uint8_t spare3[6] = {};
  std::uint8_t SystemBatteriesPresent = 0;
  std::uint8_t BatteriesAreShortTerm = 0;
  BatteryReportingScale BatteryScale[3];
  std::uint32_t AcOnLineWake = 0;
  std::uint32_t SoftLidWake = 0;
  std::uint32_t RtcWake = 0;
  std::uint32_t MinDeviceWakeState = 0;
  std::uint32_t DefaultLowLatencyWake = 0;
};
static_assert(sizeof(SystemPowerCapabilities) == 76);
static_assert(offsetof(SystemPowerCapabilities, HiberFilePresent) == 8);
static_assert(offsetof(SystemPowerCapabilities, AoAc) == 0x14);
static_assert(offsetof(SystemPowerCapabilities, HiberFileType) == 0x16);
static_assert(offsetof(SystemPowerCapabilities, SystemBatteriesPresent) == 0x1E);

// Memory that PowrProf allocated for the caller (with LocalAlloc); 0 is none. The caller owns
// it and must give it back with LocalFree.
using LocalMemory = std::uintptr_t;

namespace win {
// POWER_INFORMATION_LEVEL (CallNtPowerInformation).
inline constexpr std::uint32_t kSystemPowerPolicyAc = 0;
inline constexpr std::uint32_t kSystemPowerPolicyDc = 1;
// Input: a BOOLEAN, TRUE to allocate hiberfil.sys (hibernation on), FALSE to release it; no
// output. The caller needs SeCreatePagefilePrivilege enabled.
inline constexpr std::uint32_t kSystemReserveHiberFile = 10;
// HiberFileType: a reduced file holds only the kernel's state, for Windows' fast startup; only a
// full one can hibernate ("powercfg /h /type full" makes one).
inline constexpr std::uint8_t kHiberFileTypeReduced = 1;
inline constexpr std::uint8_t kHiberFileTypeFull = 2;
// SYSTEM_POWER_STATE.
inline constexpr std::uint32_t kPowerSystemWorking = 1;
inline constexpr std::uint32_t kPowerSystemSleeping1 = 2;
inline constexpr std::uint32_t kPowerSystemSleeping2 = 3;
inline constexpr std::uint32_t kPowerSystemSleeping3 = 4;
inline constexpr std::uint32_t kPowerSystemHibernate = 5;
// POWER_DATA_ACCESSOR: PowerEnumerate over the schemes.
inline constexpr std::uint32_t kAccessScheme = 16;
// GLOBAL_USER_POWER_POLICY.GlobalFlags: ask for the password when the computer resumes.
inline constexpr std::uint32_t kEnablePasswordLogon = 0x04;
// Vista and later keep that per scheme: CONSOLELOCK, a setting of no subgroup (winnt.h
// NO_SUBGROUP_GUID, GUID_LOCK_CONSOLE_ON_WAKE), index 1 asks for the password, 0 does not.
inline constexpr Guid kNoSubgroupGuid = {
    0xfea3413e, 0x7e05, 0x4911, {0x9a, 0x71, 0x70, 0x03, 0x31, 0xf1, 0xc2, 0x94}};
inline constexpr Guid kConsoleLockGuid = {
    0x0e796bdb, 0x100d, 0x47d6, {0xa2, 0xd5, 0xf7, 0xd2, 0xda, 0xa5, 0x1f, 0x51}};
// NTSTATUS and Win32 error codes PowrProf returns.
inline constexpr std::uint32_t kStatusSuccess = 0;
inline constexpr std::uint32_t kStatusNotImplemented = 0xC0000002;
inline constexpr std::uint32_t kStatusAccessDenied = 0xC0000022;
inline constexpr std::uint32_t kStatusPrivilegeNotHeld = 0xC0000061;
inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorCallNotImplemented = 120;
inline constexpr std::uint32_t kErrorMoreData = 234;
inline constexpr std::uint32_t kErrorNoMoreItems = 259;
inline constexpr std::uint32_t kErrorBadDatabase = 1009;  // not a registry hive
}  // namespace win

// PowrProf through LoadLibraryA / GetProcAddress. Every call method takes the address that
// GetProcAddress returned for the function of the same name; the caller never passes 0.
// Booleans come back as the raw BOOLEAN byte, Win32 errors and NTSTATUS values as they are.
// A null root key (0) stands for the system's power settings; a null GUID pointer for "none".
class IPowerLibrary {
 public:
  virtual ~IPowerLibrary() = default;

  virtual ModuleHandle LoadLibraryA(const std::string& fileName) = 0;
  // 0 when the module does not export the name.
  virtual ProcAddress GetProcAddress(ModuleHandle module, const std::string& procName) = 0;
  virtual bool FreeLibrary(ModuleHandle module) = 0;
  // LocalFree(memory); 0 is allowed and does nothing.
  virtual void LocalFree(LocalMemory memory) = 0;
  // The GUID stored at memory that PowerImportPowerScheme returned.
  virtual Guid ReadGuid(LocalMemory memory) = 0;

  // NTSTATUS CallNtPowerInformation(level, input, inputLength, output, outputLength).
  virtual std::uint32_t CallNtPowerInformation(ProcAddress function, std::uint32_t level,
                                               const void* input, std::uint32_t inputLength,
                                               void* output, std::uint32_t outputLength) = 0;
  // DWORD PowerEnumerate(rootKey, scheme, subgroup, accessFlags, index, buffer, &bufferSize).
  virtual std::uint32_t PowerEnumerate(ProcAddress function, Handle rootKey, const Guid* scheme,
                                       const Guid* subgroup, std::uint32_t accessFlags,
                                       std::uint32_t index, std::uint8_t* buffer,
                                       std::uint32_t* bufferSize) = 0;
  // DWORD PowerReadFriendlyName(rootKey, scheme, subgroup, setting, buffer, &bufferSize): the
  // name as UTF-16LE with its terminating zero.
  virtual std::uint32_t PowerReadFriendlyName(ProcAddress function, Handle rootKey,
                                              const Guid* scheme, const Guid* subgroup,
                                              const Guid* setting, std::uint8_t* buffer,
                                              std::uint32_t* bufferSize) = 0;
  // DWORD PowerDeleteScheme(rootKey, scheme).
  virtual std::uint32_t PowerDeleteScheme(ProcAddress function, Handle rootKey,
                                          const Guid* scheme) = 0;
  // DWORD PowerImportPowerScheme(rootKey, path, &destinationScheme). With *destination 0 the
  // system picks the scheme's GUID and stores it in memory the caller frees with LocalFree.
  virtual std::uint32_t PowerImportPowerScheme(ProcAddress function, Handle rootKey,
                                               const std::u16string& importFilePath,
                                               LocalMemory* destinationScheme) = 0;
  // DWORD PowerSetActiveScheme(rootKey, scheme).
  virtual std::uint32_t PowerSetActiveScheme(ProcAddress function, Handle rootKey,
                                             const Guid* scheme) = 0;
  // BOOLEAN GetCurrentPowerPolicies(&global, &power).
  virtual std::uint8_t GetCurrentPowerPolicies(ProcAddress function, GlobalPowerPolicy* global,
                                               PowerPolicy* power) = 0;
  // BOOLEAN ReadPwrScheme(index, &power).
  virtual std::uint8_t ReadPwrScheme(ProcAddress function, std::uint32_t index,
                                     PowerPolicy* power) = 0;
  // BOOLEAN WritePwrScheme(&index, name, description, &power).
  virtual std::uint8_t WritePwrScheme(ProcAddress function, std::uint32_t* index,
                                      const std::u16string& name, const std::u16string& description,
                                      PowerPolicy* power) = 0;
  // BOOLEAN SetActivePwrScheme(index, &global, &power).
  virtual std::uint8_t SetActivePwrScheme(ProcAddress function, std::uint32_t index,
                                          GlobalPowerPolicy* global, PowerPolicy* power) = 0;
  // BOOLEAN GetPwrCapabilities(&capabilities).
  virtual std::uint8_t GetPwrCapabilities(ProcAddress function,
                                          SystemPowerCapabilities* capabilities) = 0;
  // BOOLEAN SetSuspendState(hibernate, forceCritical, disableWakeEvent). Returns after resume,
  // or FALSE at once when Windows refuses; GetLastError then says why.
  virtual std::uint8_t SetSuspendState(ProcAddress function, bool hibernate, bool forceCritical,
                                       bool disableWakeEvent) = 0;
  // The calling thread's last error, read right after the call that failed.
  virtual std::uint32_t GetLastError() = 0;
  // BOOLEAN ReadGlobalPwrPolicy(&global).
  virtual std::uint8_t ReadGlobalPwrPolicy(ProcAddress function, GlobalPowerPolicy* global) = 0;
  // BOOLEAN WriteGlobalPwrPolicy(&global): replaces the user's global policy (2000/XP).
  virtual std::uint8_t WriteGlobalPwrPolicy(ProcAddress function, GlobalPowerPolicy* global) = 0;
  // DWORD PowerGetActiveScheme(root, &guid): the active scheme's GUID in memory the caller
  // gives back with LocalFree.
  virtual std::uint32_t PowerGetActiveScheme(ProcAddress function, Handle rootKey,
                                             LocalMemory* activeScheme) = 0;
  // DWORD PowerWriteACValueIndex / PowerWriteDCValueIndex(root, scheme, subgroup, setting,
  // index): one setting of a stored scheme; for the active scheme it takes effect with the next
  // PowerSetActiveScheme.
  virtual std::uint32_t PowerWriteACValueIndex(ProcAddress function, Handle rootKey,
                                               const Guid* scheme, const Guid* subgroup,
                                               const Guid* setting, std::uint32_t index) = 0;
  virtual std::uint32_t PowerWriteDCValueIndex(ProcAddress function, Handle rootKey,
                                               const Guid* scheme, const Guid* subgroup,
                                               const Guid* setting, std::uint32_t index) = 0;
  // DWORD PowerReadACValueIndex / PowerReadDCValueIndex(root, scheme, subgroup, setting, &index).
  virtual std::uint32_t PowerReadACValueIndex(ProcAddress function, Handle rootKey,
                                              const Guid* scheme, const Guid* subgroup,
                                              const Guid* setting, std::uint32_t* index) = 0;
  virtual std::uint32_t PowerReadDCValueIndex(ProcAddress function, Handle rootKey,
                                              const Guid* scheme, const Guid* subgroup,
                                              const Guid* setting, std::uint32_t* index) = 0;
};

}  // namespace velmora
