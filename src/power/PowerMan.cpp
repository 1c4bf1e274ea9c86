#include "power/PowerMan.h"

#include <algorithm>
#include <cstring>

namespace velmora {

const std::array<const char*, kPowerSlotCount> kPowerLibraryExports = {
    "CallNtPowerInformation", "PowerEnumerate",          "PowerReadFriendlyName",
    "PowerDeleteScheme",      "PowerImportPowerScheme",  "PowerSetActiveScheme",
    "PowerGetActiveScheme",   "GetCurrentPowerPolicies", "ReadPwrScheme",
    "WritePwrScheme",         "ReadProcessorPwrScheme",  "WriteProcessorPwrScheme",
    "SetActivePwrScheme",     "GetActivePwrScheme",      "DeletePwrScheme",
    "PowerDuplicateScheme",   "PowerWriteFriendlyName",  "PowerWriteDescription",
    "PowerCreateSetting",     "IsPwrHibernateAllowed",   "IsPwrShutdownAllowed",
    "IsPwrSuspendAllowed",    "GetPwrCapabilities",      "SetSuspendState",
    "ReadGlobalPwrPolicy",    "WriteGlobalPwrPolicy",    "PowerWriteACValueIndex",
    "PowerWriteDCValueIndex", "PowerReadACValueIndex",   "PowerReadDCValueIndex",
};

namespace {
// PowerReadFriendlyName gets a 512-byte buffer: 255 characters and the terminating zero.
constexpr std::uint32_t kFriendlyNameBufferSize = 512;
// No registry root: the calls work on the system's own power settings.
constexpr Handle kNoRootKey = 0;
}  // namespace

TPowerMan::TPowerMan(ITokens& tokens, IPowerLibrary& library)
    : TPrivilege(tokens), library_(library) {
  BindLibrary();
}

TPowerMan::~TPowerMan() {
  if (Library != 0) library_.FreeLibrary(Library);
}

void TPowerMan::BindLibrary() {
  Library = library_.LoadLibraryA(kPowerLibraryName);
  if (Library == 0) return;
  for (int i = 0; i < kPowerSlotCount; ++i) {
    Slots[i] = library_.GetProcAddress(Library, kPowerLibraryExports[i]);
  }
}

bool TPowerMan::ReadCapabilities() {
  return HasSlot(PowerSlot::GetPwrCapabilities) &&
         library_.GetPwrCapabilities(Slot(PowerSlot::GetPwrCapabilities), &Capabilities) != 0;
}

bool TPowerMan::IsSleepStateSupported(int state) {
  if (!ReadCapabilities()) return false;
  switch (state) {
    case 1:
      return Capabilities.SystemS1 != 0;
    case 2:
      return Capabilities.SystemS2 != 0;
    case 3:
      return Capabilities.SystemS3 != 0;
    case 4:
      // Hibernation needs the hiberfil.sys that "powercfg -h on" creates, not only S4 support,
      // and a full one: Windows reports S4 and the file with a reduced one too.
      return Capabilities.SystemS4 != 0 && Capabilities.HiberFilePresent != 0 &&
             Capabilities.HiberFileType != win::kHiberFileTypeReduced;
    case 5:
      return Capabilities.SystemS5 != 0;
    default:
      return false;
  }
}

bool TPowerMan::IsModernStandby() {
  return ReadCapabilities() && Capabilities.AoAc != 0;
}

bool TPowerMan::HasReducedHibernationFile() {
  return ReadCapabilities() && Capabilities.SystemS4 != 0 && Capabilities.HiberFilePresent != 0 &&
         Capabilities.HiberFileType == win::kHiberFileTypeReduced;
}

bool TPowerMan::ReserveHibernationFile() {
  if (!HasSlot(PowerSlot::CallNtPowerInformation)) return false;
  TPrivilege pagefile(Tokens(), win::kSeCreatePagefileName);
  const std::uint8_t reserve = 1;  // BOOLEAN TRUE
  return library_.CallNtPowerInformation(Slot(PowerSlot::CallNtPowerInformation),
                                         win::kSystemReserveHiberFile, &reserve, sizeof reserve,
                                         nullptr, 0) == win::kStatusSuccess;
}

bool TPowerMan::WriteLegacyScheme(std::uint32_t& index, const std::u16string& name,
                                  const std::u16string& description) {
  if (!HasSlot(PowerSlot::GetCurrentPowerPolicies) || !HasSlot(PowerSlot::ReadPwrScheme) ||
      !HasSlot(PowerSlot::WritePwrScheme)) {
    return false;
  }
  if (library_.GetCurrentPowerPolicies(Slot(PowerSlot::GetCurrentPowerPolicies), &GlobalPolicy,
                                       &Policy) == 0) {
    return false;
  }
  // Scheme 0's policy replaces the current one in the buffer: the new scheme is its copy.
  if (library_.ReadPwrScheme(Slot(PowerSlot::ReadPwrScheme), 0, &Policy) != 1) return false;
  return library_.WritePwrScheme(Slot(PowerSlot::WritePwrScheme), &index, name, description,
                                 &Policy) != 0;
}

bool TPowerMan::ActivateImportedScheme(const std::u16string& name, const std::u16string& filePath) {
  if (!HasSlot(PowerSlot::PowerEnumerate)) return false;
  if (ActivateSchemeNamed(name)) return true;
  return ImportAndActivate(filePath);
}

bool TPowerMan::ActivateSchemeNamed(const std::u16string& name) {
  for (std::uint32_t index = 0;; ++index) {
    std::uint8_t guid[sizeof(Guid)] = {};
    std::uint32_t size = sizeof(guid);
    if (library_.PowerEnumerate(Slot(PowerSlot::PowerEnumerate), kNoRootKey, nullptr, nullptr,
                                win::kAccessScheme, index, guid, &size) != win::kErrorSuccess) {
      return false;
    }
    std::memcpy(&SchemeGuid, guid, sizeof(guid));
    if (!SchemeNameIs(name)) continue;
    if (ActivateSchemeGuid()) return true;
    // A scheme Windows will not activate is damaged: remove it so the import replaces it.
    if (HasSlot(PowerSlot::PowerDeleteScheme)) {
      library_.PowerDeleteScheme(Slot(PowerSlot::PowerDeleteScheme), kNoRootKey, &SchemeGuid);
    }
    return false;
  }
}

bool TPowerMan::SchemeNameIs(const std::u16string& name) {
  if (!HasSlot(PowerSlot::PowerReadFriendlyName)) return false;
  std::uint8_t buffer[kFriendlyNameBufferSize] = {};
  std::uint32_t size = kFriendlyNameBufferSize;
  if (library_.PowerReadFriendlyName(Slot(PowerSlot::PowerReadFriendlyName), kNoRootKey,
                                     &SchemeGuid, nullptr, nullptr, buffer,
                                     &size) != win::kErrorSuccess) {
    return false;
  }
  return FriendlyNameFromBuffer(buffer, std::min(size, kFriendlyNameBufferSize)) == name;
}

bool TPowerMan::ActivateSchemeGuid() {
  if (!HasSlot(PowerSlot::PowerSetActiveScheme)) return false;
  return library_.PowerSetActiveScheme(Slot(PowerSlot::PowerSetActiveScheme), kNoRootKey,
                                       &SchemeGuid) == win::kErrorSuccess;
}

bool TPowerMan::ImportAndActivate(const std::u16string& filePath) {
  if (!HasSlot(PowerSlot::PowerImportPowerScheme)) return false;
  LocalMemory imported = 0;
  const std::uint32_t status = library_.PowerImportPowerScheme(
      Slot(PowerSlot::PowerImportPowerScheme), kNoRootKey, filePath, &imported);
  if (status != win::kErrorSuccess || imported == 0) {
    if (imported != 0) library_.LocalFree(imported);
    return false;
  }
  SchemeGuid = library_.ReadGuid(imported);
  library_.LocalFree(imported);
  return ActivateSchemeGuid();
}

bool TPowerMan::SetAcSleepState(int state) {
  if (!HasSlot(PowerSlot::CallNtPowerInformation)) return false;
  const ProcAddress call = Slot(PowerSlot::CallNtPowerInformation);
  if (library_.CallNtPowerInformation(call, win::kSystemPowerPolicyAc, nullptr, 0, &SystemPolicy,
                                      sizeof(SystemPolicy)) != win::kStatusSuccess) {
    return false;
  }
  SystemPolicy.MinSleep = static_cast<std::uint32_t>(state);
  SystemPolicy.MaxSleep = static_cast<std::uint32_t>(state);
  return library_.CallNtPowerInformation(call, win::kSystemPowerPolicyAc, &SystemPolicy,
                                         sizeof(SystemPolicy), nullptr, 0) == win::kStatusSuccess;
}

// Vista and later keep the prompt in each scheme (CONSOLELOCK, on mains and on battery), 2000/XP
// in the user's global policy.
bool TPowerMan::HasSchemeSettings() const {
  return HasSlot(PowerSlot::PowerGetActiveScheme) && HasSlot(PowerSlot::PowerReadACValueIndex) &&
         HasSlot(PowerSlot::PowerReadDCValueIndex) && HasSlot(PowerSlot::PowerWriteACValueIndex) &&
         HasSlot(PowerSlot::PowerWriteDCValueIndex) && HasSlot(PowerSlot::PowerSetActiveScheme);
}

std::uint32_t TPowerMan::ReadPasswordOnResume() {
  if (HasSchemeSettings()) return ReadConsoleLock();
  if (!HasSlot(PowerSlot::ReadGlobalPwrPolicy)) return 0;
  if (library_.ReadGlobalPwrPolicy(Slot(PowerSlot::ReadGlobalPwrPolicy), &GlobalPolicy) == 0) {
    return 0;
  }
  return GlobalPolicy.user.GlobalFlags & win::kEnablePasswordLogon;
}

// Only the password prompt changes: the user's scheme choice and the sleep state forced for
// the Fast mode stay as they are.
void TPowerMan::ClearPasswordOnResume() {
  if (HasSchemeSettings()) {
    WriteConsoleLock(0, 0);
    return;
  }
  if (!HasSlot(PowerSlot::ReadGlobalPwrPolicy) || !HasSlot(PowerSlot::WriteGlobalPwrPolicy)) return;
  if (library_.ReadGlobalPwrPolicy(Slot(PowerSlot::ReadGlobalPwrPolicy), &GlobalPolicy) == 0) {
    return;
  }
  GlobalPolicy.user.GlobalFlags &= ~win::kEnablePasswordLogon;
  library_.WriteGlobalPwrPolicy(Slot(PowerSlot::WriteGlobalPwrPolicy), &GlobalPolicy);
}

void TPowerMan::RestorePasswordOnResume(std::uint32_t saved) {
  if (HasSchemeSettings()) {
    const std::uint32_t now = ReadConsoleLock();
    const bool ac = (saved & kPasswordOnResumeAc) != 0 && (now & kPasswordOnResumeAc) == 0;
    const bool dc = (saved & kPasswordOnResumeDc) != 0 && (now & kPasswordOnResumeDc) == 0;
    if (ac || dc) WriteConsoleLock(ac ? 1 : kKeepValue, dc ? 1 : kKeepValue);
    return;
  }
  if ((saved & kPasswordOnResumeAc) == 0 || !HasSlot(PowerSlot::ReadGlobalPwrPolicy) ||
      !HasSlot(PowerSlot::WriteGlobalPwrPolicy)) {
    return;
  }
  if (library_.ReadGlobalPwrPolicy(Slot(PowerSlot::ReadGlobalPwrPolicy), &GlobalPolicy) == 0 ||
      (GlobalPolicy.user.GlobalFlags & win::kEnablePasswordLogon) != 0) {
    return;
  }
  GlobalPolicy.user.GlobalFlags |= win::kEnablePasswordLogon;
  library_.WriteGlobalPwrPolicy(Slot(PowerSlot::WriteGlobalPwrPolicy), &GlobalPolicy);
}

bool TPowerMan::ActiveSchemeGuid(Guid& scheme) {
  LocalMemory active = 0;
  if (library_.PowerGetActiveScheme(Slot(PowerSlot::PowerGetActiveScheme), 0, &active) !=
          win::kErrorSuccess ||
      active == 0) {
    return false;
  }
  scheme = library_.ReadGuid(active);
  library_.LocalFree(active);
  return true;
}

// A value that cannot be read counts as off: nothing is then turned back on by guesswork.
std::uint32_t TPowerMan::ReadConsoleLock() {
  Guid scheme;
  if (!ActiveSchemeGuid(scheme)) return 0;
  std::uint32_t ac = 0;
  std::uint32_t dc = 0;
  const bool readAc = library_.PowerReadACValueIndex(
                          Slot(PowerSlot::PowerReadACValueIndex), 0, &scheme, &win::kNoSubgroupGuid,
                          &win::kConsoleLockGuid, &ac) == win::kErrorSuccess;
  const bool readDc = library_.PowerReadDCValueIndex(
                          Slot(PowerSlot::PowerReadDCValueIndex), 0, &scheme, &win::kNoSubgroupGuid,
                          &win::kConsoleLockGuid, &dc) == win::kErrorSuccess;
  return (readAc && ac != 0 ? kPasswordOnResumeAc : 0) |
         (readDc && dc != 0 ? kPasswordOnResumeDc : 0);
}

// The active scheme's AC and DC values of CONSOLELOCK (kKeepValue: left as it is), applied by
// activating the same scheme again.
void TPowerMan::WriteConsoleLock(std::uint32_t acValue, std::uint32_t dcValue) {
  Guid scheme;
  if (!ActiveSchemeGuid(scheme)) return;
  const auto write = [&](PowerSlot slot, std::uint32_t value) {
    if (value == kKeepValue) return true;
    const ProcAddress function = Slot(slot);
    const std::uint32_t result =
        slot == PowerSlot::PowerWriteACValueIndex
            ? library_.PowerWriteACValueIndex(function, 0, &scheme, &win::kNoSubgroupGuid,
                                              &win::kConsoleLockGuid, value)
            : library_.PowerWriteDCValueIndex(function, 0, &scheme, &win::kNoSubgroupGuid,
                                              &win::kConsoleLockGuid, value);
    return result == win::kErrorSuccess;
  };
  const bool written = write(PowerSlot::PowerWriteACValueIndex, acValue) &&
                       write(PowerSlot::PowerWriteDCValueIndex, dcValue);
  if (written) library_.PowerSetActiveScheme(Slot(PowerSlot::PowerSetActiveScheme), 0, &scheme);
}

bool TPowerMan::SuspendSystem(bool hibernate) {
  lastSuspendError_ = 0;
  if (!HasSlot(PowerSlot::SetSuspendState)) return false;
  if (library_.SetSuspendState(Slot(PowerSlot::SetSuspendState), hibernate, false, true) != 0) {
    return true;
  }
  lastSuspendError_ = library_.GetLastError();
  return false;
}

}  // namespace velmora
