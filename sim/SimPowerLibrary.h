// A simulated "PowrProf.DLL" and the power settings behind it: the machine's sleep capabilities,
// the Vista/7 schemes (GUID, friendly name) and the active one, the scheme files that can be
// imported, the 2000/XP numbered schemes, the AC and battery system policies, the global policy
// flags, and every suspend request. The library or any single export can be left out, and any
// call can be made to fail.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ports/PowerLibraryPort.h"
#include "sim/SimSchemeFile.h"

namespace velmora::sim {

struct SimPowerScheme {
  Guid guid;
  std::u16string friendlyName;
  // PowerSetActiveScheme refuses it (a scheme whose settings Windows cannot apply).
  bool refusesActivation = false;
  // Where it was imported from; empty for the schemes Windows ships.
  std::u16string importedFrom;
  // Its settings as the exported file gave them (SimSchemeFile.h).
  SimSchemeSettings settings;
};

// An exported scheme on the simulated disk, as PowerImportPowerScheme would read it: either the
// file's bytes (`hive`, read with Windows' rules: SimSchemeFile.h), or, for tests that are not
// about the file, only what a well-made file would give.
struct SimSchemeFile {
  SimSchemeFile() = default;
  SimSchemeFile(std::u16string name, bool isValid, std::vector<std::uint8_t> bytes = {})
      : friendlyName(std::move(name)), valid(isValid), hive(std::move(bytes)) {}

  std::u16string friendlyName;
  bool valid = true;  // false: not a registry hive, PowerImportPowerScheme fails
  std::vector<std::uint8_t> hive;  // when not empty: the file itself, read as Windows reads it
};

// A scheme of Windows 2000/XP: a number, a name, a description and its POWER_POLICY.
struct SimLegacyScheme {
  std::u16string name;
  std::u16string description;
  PowerPolicy policy;
};

struct SimSuspendCall {
  bool hibernate = false;
  bool forceCritical = false;
  bool disableWakeEvent = false;
};

struct SimSetActivePwrSchemeCall {
  std::uint32_t index = 0;
  std::optional<GlobalPowerPolicy> global;
  std::optional<PowerPolicy> power;
};

struct SimPowerSystem {
  bool libraryPresent = true;
  std::set<std::string> missingExports;

  SystemPowerCapabilities capabilities;
  // The kind of hibernation file the power manager allocates ("powercfg /h /type"): Windows 10
  // and later report it in the capabilities; earlier releases report 0 and make full ones.
  std::uint8_t hiberFileType = 0;
  std::vector<SimPowerScheme> schemes;
  std::optional<Guid> activeScheme;
  // The settings in force: the active scheme's, as they were when it was last activated
  // (a write to the active scheme takes effect with the next PowerSetActiveScheme).
  SimSchemeSettings appliedSettings;
  std::map<std::u16string, SimSchemeFile> schemeFiles;
  // The value of a setting a scheme does not hold itself: every scheme has every setting, at
  // the setting's default unless it says otherwise.
  SimSchemeSettings settingDefaults;
  std::vector<std::u16string> importedFiles;

  std::map<std::uint32_t, SimLegacyScheme> legacySchemes;
  std::uint32_t activeLegacyScheme = 0;
  GlobalPowerPolicy globalPolicy;
  PowerPolicy currentPolicy;

  SystemPowerPolicy acPolicy;
  SystemPowerPolicy dcPolicy;

  std::vector<SimSuspendCall> suspendCalls;
  // What GetLastError says after a SetSuspendState made to fail (SimPowerLibrary::Fail).
  std::uint32_t suspendError = 1314;  // ERROR_PRIVILEGE_NOT_HELD
  std::vector<SimSetActivePwrSchemeCall> setActivePwrSchemeCalls;
};

// A Windows 7 desktop: S1, S3, S4 with hiberfil.sys, S5; the three shipped schemes with
// Balanced active; password on resume on.
SimPowerSystem Windows7Desktop();
// Windows XP: the six numbered schemes, scheme 0 active; no GUID-based functions exported.
SimPowerSystem WindowsXpDesktop();

class SimPowerLibrary : public IPowerLibrary {
 public:
  SimPowerLibrary() : SimPowerLibrary(Windows7Desktop()) {}
  explicit SimPowerLibrary(SimPowerSystem system) : system_(std::move(system)) {}

  SimPowerSystem& System() { return system_; }

  // Runs inside every SetSuspendState, with the request and what the call is about to return
  // (0 when refused): a session plays here what Windows does while the caller still blocks
  // (the PBT_APMSUSPEND broadcast, the firmware looking at its control byte, the sleep itself).
  std::function<void(const SimSuspendCall&, std::uint8_t result)> onSuspend;
  // Whether the caller's token has the named privilege enabled right now (the power manager
  // checks SeCreatePagefilePrivilege for hiberfil.sys); unset: never.
  std::function<bool(const std::string& privilege)> privilegeEnabled;

  // Every call of `exportName` returns `result` and changes nothing.
  void Fail(const std::string& exportName, std::uint32_t result);
  // Only the `occurrence`-th call (counted from 1) of `exportName` does so.
  void FailCall(const std::string& exportName, int occurrence, std::uint32_t result);

  // Export names in call order (LoadLibraryA, GetProcAddress and FreeLibrary not included).
  const std::vector<std::string>& Calls() const { return calls_; }
  int CallCount(const std::string& exportName) const;
  bool Loaded() const { return loadCount_ > 0; }
  int FreeLibraryCalls() const { return freeCalls_; }
  // LocalFree bookkeeping: blocks still owed, frees of unknown blocks.
  std::size_t OutstandingAllocations() const { return allocations_.size(); }
  int LocalFreeCalls() const { return localFrees_; }
  int BadLocalFrees() const { return badFrees_; }
  // Calls made through an address that is not the function's own, or after FreeLibrary.
  int MisroutedCalls() const { return misrouted_; }
  std::vector<std::string> LibraryRequests() const { return libraryRequests_; }

  ModuleHandle LoadLibraryA(const std::string& fileName) override;
  ProcAddress GetProcAddress(ModuleHandle module, const std::string& procName) override;
  bool FreeLibrary(ModuleHandle module) override;
  void LocalFree(LocalMemory memory) override;
  Guid ReadGuid(LocalMemory memory) override;

  std::uint32_t CallNtPowerInformation(ProcAddress function, std::uint32_t level, const void* input,
                                       std::uint32_t inputLength, void* output,
                                       std::uint32_t outputLength) override;
  std::uint32_t PowerEnumerate(ProcAddress function, Handle rootKey, const Guid* scheme,
                               const Guid* subgroup, std::uint32_t accessFlags, std::uint32_t index,
                               std::uint8_t* buffer, std::uint32_t* bufferSize) override;
  std::uint32_t PowerReadFriendlyName(ProcAddress function, Handle rootKey, const Guid* scheme,
                                      const Guid* subgroup, const Guid* setting,
                                      std::uint8_t* buffer, std::uint32_t* bufferSize) override;
  std::uint32_t PowerDeleteScheme(ProcAddress function, Handle rootKey,
                                  const Guid* scheme) override;
  std::uint32_t PowerImportPowerScheme(ProcAddress function, Handle rootKey,
                                       const std::u16string& importFilePath,
                                       LocalMemory* destinationScheme) override;
  std::uint32_t PowerSetActiveScheme(ProcAddress function, Handle rootKey,
                                     const Guid* scheme) override;
  std::uint8_t GetCurrentPowerPolicies(ProcAddress function, GlobalPowerPolicy* global,
                                       PowerPolicy* power) override;
  std::uint8_t ReadPwrScheme(ProcAddress function, std::uint32_t index,
                             PowerPolicy* power) override;
  std::uint8_t WritePwrScheme(ProcAddress function, std::uint32_t* index,
                              const std::u16string& name, const std::u16string& description,
                              PowerPolicy* power) override;
  std::uint8_t SetActivePwrScheme(ProcAddress function, std::uint32_t index,
                                  GlobalPowerPolicy* global, PowerPolicy* power) override;
  std::uint8_t GetPwrCapabilities(ProcAddress function,
                                  SystemPowerCapabilities* capabilities) override;
  std::uint8_t SetSuspendState(ProcAddress function, bool hibernate, bool forceCritical,
                               bool disableWakeEvent) override;
  std::uint8_t ReadGlobalPwrPolicy(ProcAddress function, GlobalPowerPolicy* global) override;
  std::uint8_t WriteGlobalPwrPolicy(ProcAddress function, GlobalPowerPolicy* global) override;
  std::uint32_t PowerGetActiveScheme(ProcAddress function, Handle rootKey,
                                     LocalMemory* activeScheme) override;
  std::uint32_t PowerWriteACValueIndex(ProcAddress function, Handle rootKey, const Guid* scheme,
                                       const Guid* subgroup, const Guid* setting,
                                       std::uint32_t index) override;
  std::uint32_t PowerWriteDCValueIndex(ProcAddress function, Handle rootKey, const Guid* scheme,
                                       const Guid* subgroup, const Guid* setting,
                                       std::uint32_t index) override;
  std::uint32_t PowerReadACValueIndex(ProcAddress function, Handle rootKey, const Guid* scheme,
                                      const Guid* subgroup, const Guid* setting,
                                      std::uint32_t* index) override;
  std::uint32_t PowerReadDCValueIndex(ProcAddress function, Handle rootKey, const Guid* scheme,
                                      const Guid* subgroup, const Guid* setting,
                                      std::uint32_t* index) override;
  std::uint32_t GetLastError() override { return lastError_; }

 private:
  static std::string SettingKey(const Guid* subgroup, const Guid& setting);
  std::uint32_t ReadValueIndex(const char* exportName, ProcAddress function, Handle rootKey,
                               const Guid* scheme, const Guid* subgroup, const Guid* setting,
                               std::uint32_t* index, bool ac);
  std::uint32_t WriteValueIndex(const char* exportName, ProcAddress function, Handle rootKey,
                                const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                std::uint32_t index, bool ac);
  LocalMemory AllocateGuid(const Guid& guid);
  std::uint32_t ReserveHiberFile(const void* input, std::uint32_t inputLength, void* output,
                                 std::uint32_t outputLength);

  struct Failure {
    std::uint32_t result = 0;
    int occurrence = 0;  // 0: every call
  };

  // Records the call; false when it went through a wrong address or the library is gone.
  bool Enter(const std::string& exportName, ProcAddress function);
  std::uint8_t Suspend(ProcAddress function, const SimSuspendCall& call);
  std::optional<std::uint32_t> InjectedFailure(const std::string& exportName) const;
  SimPowerScheme* FindScheme(const Guid* guid);
  Guid NextSchemeGuid();

  SimPowerSystem system_;
  std::map<std::string, Failure> failures_;
  std::vector<std::string> calls_;
  std::map<std::string, int> callCounts_;
  std::vector<std::string> libraryRequests_;
  std::map<LocalMemory, Guid> allocations_;
  LocalMemory nextAllocation_ = 0x00150000;
  std::uint32_t lastError_ = 0;
  std::uint32_t nextSchemeNumber_ = 1;
  int loadCount_ = 0;
  int freeCalls_ = 0;
  int localFrees_ = 0;
  int badFrees_ = 0;
  int misrouted_ = 0;
};

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" → GUID, for tests and the shipped schemes.
Guid ParseGuid(const std::string& text);

}  // namespace velmora::sim
