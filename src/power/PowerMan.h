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
};
inline constexpr int kPowerSlotCount = 28;
extern const std::array<const char*, kPowerSlotCount> kPowerLibraryExports;
inline constexpr char kPowerLibraryName[] = "PowrProf.DLL";

class TPowerMan : public TPrivilege {
 public:
  // Enables the shutdown privilege, loads the library and binds every export. Never fails.
  TPowerMan(ITokens& tokens, IPowerLibrary& library);
  // Frees the library (when it was loaded), then gives the privilege back.
  ~TPowerMan() override;

  // Whether the machine offers S1..S5 (state 1..5); S4 counts only with a hibernation file.
  bool IsSleepStateSupported(int state);
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
  // The password-on-resume flag as Windows keeps it: 0 or 4 (EnablePasswordLogon), not 0 or 1.
  std::uint32_t ReadPasswordOnResume();
  // Turns the password prompt on resume off, and nothing else: in the active scheme's
  // CONSOLELOCK setting (Vista and later), or in the global policy alone (2000/XP).
  void ClearPasswordOnResume();
  // Sleep (false) or hibernate (true), not forced, wake events disabled; returns after resume.
  void SuspendSystem(bool hibernate);

  bool HasSlot(PowerSlot slot) const { return Slot(slot) != 0; }

  SystemPowerPolicy SystemPolicy;
  GlobalPowerPolicy GlobalPolicy;
  PowerPolicy Policy;
  SystemPowerCapabilities Capabilities;
  ModuleHandle Library = 0;
  std::array<ProcAddress, kPowerSlotCount> Slots{};
  Guid SchemeGuid;

 private:
  ProcAddress Slot(PowerSlot slot) const { return Slots[static_cast<int>(slot)]; }
  void BindLibrary();
  void ClearConsoleLockOfActiveScheme();
  // Scans the schemes for `name`. Returns true when the first match was activated; a match
  // that would not activate is deleted and the scan stops.
  bool ActivateSchemeNamed(const std::u16string& name);
  bool SchemeNameIs(const std::u16string& name);
  bool ActivateSchemeGuid();
  bool ImportAndActivate(const std::u16string& filePath);

  IPowerLibrary& library_;
};

// The scheme file beside the executable: `exeDir` (UTF-8, ending in a path delimiter) followed
// by ZlkVelmora.pow, as the UTF-16 path PowerImportPowerScheme takes.
std::u16string PowerSchemeFilePath(const std::string& exeDir);

// The UTF-16 text PowerReadFriendlyName left in `buffer` (`size` bytes): up to the first zero
// character, never past the end of the bytes returned.
std::u16string FriendlyNameFromBuffer(const std::uint8_t* buffer, std::uint32_t size);

}  // namespace velmora
