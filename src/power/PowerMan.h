// The power scheme manager: the only place the program talks to Windows power management.
//
// "PowrProf.DLL" is loaded by name and its functions bound one by one, so one executable runs on
// Windows 2000/XP (numbered schemes only) and on Vista/7 (schemes named by GUID). A function the
// running Windows lacks leaves its slot empty, and the operation that needs it reports failure.
// The object holds the shutdown privilege for its whole life: SetSuspendState needs it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "ports/PowerLibraryPort.h"
#include "power/Privilege.h"

namespace velmora {

// The product's scheme, as Windows lists it.
inline constexpr char16_t kProductSchemeName[] = u"Zelkor Velmora";
inline constexpr char16_t kProductSchemeDescription[] = u"Zelkor Velmora Power Management";
// The exported scheme installed beside the executable (a registry hive file).
inline constexpr char kPowerSchemeFileName[] = "ZlkVelmora.pow";
// The scheme number written on Windows 2000/XP.
inline constexpr std::uint32_t kLegacySchemeIndex = 18;
// The sleep state forced on mains power: PowerSystemSleeping3, i.e. S3.
inline constexpr int kFastSleepState = 4;
// The password prompt on resume as the program keeps it ("Resume Password Logon"): on mains
// power 0x04, the EnablePasswordLogon bit of 2000/XP's global flags; on battery 0x08 (Vista and
// later, whose schemes hold the prompt for each separately).
inline constexpr std::uint32_t kPasswordOnResumeAc = 0x04;
inline constexpr std::uint32_t kPasswordOnResumeDc = 0x08;

// The PowrProf exports, in the order they are bound.
enum class PowerSlot : int {
  CallNtPowerInformation,
  PowerEnumerate,
  PowerReadFriendlyName,
  PowerDeleteScheme,
  PowerImportPowerScheme,
  PowerSetActiveScheme,
  PowerGetActiveScheme,
  GetCurrentPowerPolicies,
  ReadPwrScheme,
  WritePwrScheme,
  ReadProcessorPwrScheme,
  WriteProcessorPwrScheme,
  SetActivePwrScheme,
  GetActivePwrScheme,
  DeletePwrScheme,
  PowerDuplicateScheme,
  PowerWriteFriendlyName,
  PowerWriteDescription,
  PowerCreateSetting,
  IsPwrHibernateAllowed,
  IsPwrShutdownAllowed,
  IsPwrSuspendAllowed,
  GetPwrCapabilities,
  SetSuspendState,
  ReadGlobalPwrPolicy,
  WriteGlobalPwrPolicy,
  PowerWriteACValueIndex,
  PowerWriteDCValueIndex,
  PowerReadACValueIndex,
  PowerReadDCValueIndex,
};
inline constexpr int kPowerSlotCount = 30;
extern const std::array<const char*, kPowerSlotCount> kPowerLibraryExports;
inline constexpr char kPowerLibraryName[] = "PowrProf.DLL";

class TPowerMan : public TPrivilege {
 public:
  // Enables the shutdown privilege, loads the library and binds every export. Never fails.
  TPowerMan(ITokens& tokens, IPowerLibrary& library);
  // Frees the library (when it was loaded), then gives the privilege back.
  ~TPowerMan() override;

  // Whether the machine offers S1..S5 (state 1..5); S4 counts only with a full hibernation
  // file (a reduced one, Windows 10 and later, serves only the fast startup).
  bool IsSleepStateSupported(int state);
  // A Modern Standby PC (S0 low-power idle): it has no S3, and never will.
  bool IsModernStandby();
  // S4 with a hibernation file that is only the reduced kind.
  bool HasReducedHibernationFile();
  // Vista and later: allocates hiberfil.sys through the power manager, which switches
  // hibernation on at once (what "powercfg -h on" does), with the page-file privilege enabled
  // for the call. True when the power manager accepted it.
  bool ReserveHibernationFile();
  // Windows 2000/XP: stores a copy of scheme 0's policy as scheme `index`; not activated.
  bool WriteLegacyScheme(std::uint32_t& index, const std::u16string& name,
                         const std::u16string& description);
  // Vista/7: activates the first scheme called exactly `name`; when there is none, or it cannot
  // be activated (it is then deleted), imports the scheme file and activates the new scheme.
  bool ActivateImportedScheme(const std::u16string& name, const std::u16string& filePath);
  // Sets MinSleep and MaxSleep of the mains (AC) system policy to `state`; battery untouched.
  bool SetAcSleepState(int state);
  // Where the password prompt on resume is on: kPasswordOnResumeAc and kPasswordOnResumeDc from
  // the active scheme's CONSOLELOCK (Vista and later), or kPasswordOnResumeAc from the global
  // policy (2000/XP).
  std::uint32_t ReadPasswordOnResume();
  // Turns the password prompt on resume off, and nothing else: in the active scheme's
  // CONSOLELOCK setting (Vista and later), or in the global policy alone (2000/XP).
  void ClearPasswordOnResume();
  // Turns the prompt back on where `saved` (what ReadPasswordOnResume gave before the program
  // cleared it) had it on and it is still off: a change the user made since stands.
  void RestorePasswordOnResume(std::uint32_t saved);
  // Sleep (false) or hibernate (true), not forced, wake events disabled; returns after resume,
  // or false at once when Windows refuses (LastSuspendError says why).
  bool SuspendSystem(bool hibernate);
  std::uint32_t LastSuspendError() const { return lastSuspendError_; }

  bool HasSlot(PowerSlot slot) const { return Slot(slot) != 0; }

  SystemPowerPolicy SystemPolicy;
  GlobalPowerPolicy GlobalPolicy;
  PowerPolicy Policy;
  SystemPowerCapabilities Capabilities;
  ModuleHandle Library = 0;
  std::array<ProcAddress, kPowerSlotCount> Slots{};
  Guid SchemeGuid;

 private:
  // A CONSOLELOCK value WriteConsoleLock leaves as it is.
  static constexpr std::uint32_t kKeepValue = 0xFFFFFFFF;

  ProcAddress Slot(PowerSlot slot) const { return Slots[static_cast<int>(slot)]; }
  void BindLibrary();
  bool ReadCapabilities();
  bool HasSchemeSettings() const;
  // The active scheme's CONSOLELOCK: read into `flags`, or written where `flags` ask for it.
  bool ActiveSchemeGuid(Guid& scheme);
  std::uint32_t ReadConsoleLock();
  void WriteConsoleLock(std::uint32_t acValue, std::uint32_t dcValue);
  // Scans the schemes for `name`. Returns true when the first match was activated; a match
  // that would not activate is deleted and the scan stops.
  bool ActivateSchemeNamed(const std::u16string& name);
  bool SchemeNameIs(const std::u16string& name);
  bool ActivateSchemeGuid();
  bool ImportAndActivate(const std::u16string& filePath);

  IPowerLibrary& library_;
  std::uint32_t lastSuspendError_ = 0;
};

// The scheme file beside the executable: `exeDir` (UTF-8, ending in a path delimiter) followed
// by ZlkVelmora.pow, as the UTF-16 path PowerImportPowerScheme takes.
std::u16string PowerSchemeFilePath(const std::string& exeDir);

// The UTF-16 text PowerReadFriendlyName left in `buffer` (`size` bytes): up to the first zero
// character, never past the end of the bytes returned.
std::u16string FriendlyNameFromBuffer(const std::uint8_t* buffer, std::uint32_t size);

}  // namespace velmora
