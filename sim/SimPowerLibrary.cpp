// The loader side of the simulated PowrProf (names, addresses, LocalFree) and the GUID-based
// scheme functions of Vista and Windows 7.
#include "sim/SimPowerLibrary.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace velmora::sim {
namespace {

constexpr ModuleHandle kPowrProfBase = 0x6B2C0000;
// ERROR_INVALID_DATA: a hive that is not laid out as an exported scheme.
constexpr std::uint32_t kErrorInvalidData = 13;

// What PowrProf exports; the address of each is derived from its place here, so
// a call through another function's address is noticed.
const std::vector<std::string>& KnownExports() {
  static const std::vector<std::string> names = {
      "CallNtPowerInformation",  "DeletePwrScheme",        "GetActivePwrScheme",
      "GetCurrentPowerPolicies", "GetPwrCapabilities",     "IsPwrHibernateAllowed",
      "IsPwrShutdownAllowed",    "IsPwrSuspendAllowed",    "PowerCreateSetting",
      "PowerDeleteScheme",       "PowerDuplicateScheme",   "PowerEnumerate",
      "PowerGetActiveScheme",    "PowerImportPowerScheme", "PowerReadFriendlyName",
      "PowerSetActiveScheme",    "PowerWriteDescription",  "PowerWriteFriendlyName",
      "ReadGlobalPwrPolicy",     "ReadProcessorPwrScheme", "ReadPwrScheme",
      "SetActivePwrScheme",      "SetSuspendState",        "WriteGlobalPwrPolicy",
      "WriteProcessorPwrScheme", "WritePwrScheme",         "PowerWriteACValueIndex",
      "PowerWriteDCValueIndex",  "PowerReadACValueIndex",  "PowerReadDCValueIndex",
  };
  return names;
}

ProcAddress AddressOf(const std::string& name) {
  const auto& names = KnownExports();
  const auto found = std::find(names.begin(), names.end(), name);
  if (found == names.end()) return 0;
  return kPowrProfBase + 0x1000 + 0x40 * static_cast<ProcAddress>(found - names.begin());
}

bool IsPowrProf(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name == "powrprof.dll" || name == "powrprof";
}

}  // namespace

void SimPowerLibrary::Fail(const std::string& exportName, std::uint32_t result) {
  failures_[exportName] = Failure{result, 0};
}

void SimPowerLibrary::FailCall(const std::string& exportName, int occurrence,
                               std::uint32_t result) {
  failures_[exportName] = Failure{result, occurrence};
}

int SimPowerLibrary::CallCount(const std::string& exportName) const {
  const auto found = callCounts_.find(exportName);
  return found == callCounts_.end() ? 0 : found->second;
}

ModuleHandle SimPowerLibrary::LoadLibraryA(const std::string& fileName) {
  libraryRequests_.push_back(fileName);
  if (!system_.libraryPresent || !IsPowrProf(fileName)) return 0;
  ++loadCount_;
  return kPowrProfBase;
}

ProcAddress SimPowerLibrary::GetProcAddress(ModuleHandle module, const std::string& procName) {
  if (module != kPowrProfBase || loadCount_ == 0) return 0;
  if (system_.missingExports.count(procName) != 0) return 0;
  return AddressOf(procName);
}

bool SimPowerLibrary::FreeLibrary(ModuleHandle module) {
  ++freeCalls_;
  if (module != kPowrProfBase || loadCount_ == 0) return false;
  --loadCount_;
  return true;
}

void SimPowerLibrary::LocalFree(LocalMemory memory) {
  if (memory == 0) return;
  ++localFrees_;
  if (allocations_.erase(memory) == 0) ++badFrees_;
}

Guid SimPowerLibrary::ReadGuid(LocalMemory memory) {
  const auto found = allocations_.find(memory);
  if (found == allocations_.end()) {
    ++misrouted_;
    return Guid{};
  }
  return found->second;
}

bool SimPowerLibrary::Enter(const std::string& exportName, ProcAddress function) {
  calls_.push_back(exportName);
  ++callCounts_[exportName];
  const bool routed = loadCount_ > 0 && function != 0 && function == AddressOf(exportName) &&
                      system_.missingExports.count(exportName) == 0;
  if (!routed) ++misrouted_;
  return routed;
}

std::optional<std::uint32_t> SimPowerLibrary::InjectedFailure(const std::string& exportName) const {
  const auto found = failures_.find(exportName);
  if (found == failures_.end()) return std::nullopt;
  const Failure& failure = found->second;
  if (failure.occurrence != 0 && failure.occurrence != CallCount(exportName)) return std::nullopt;
  return failure.result;
}

SimPowerScheme* SimPowerLibrary::FindScheme(const Guid* guid) {
  if (guid == nullptr) return nullptr;
  for (SimPowerScheme& scheme : system_.schemes) {
    if (scheme.guid == *guid) return &scheme;
  }
  return nullptr;
}

Guid SimPowerLibrary::NextSchemeGuid() {
  Guid guid = ParseGuid("{d3a1c0de-0000-4000-8000-5ce4e0000000}");
  guid.Data1 += nextSchemeNumber_++;
  return guid;
}

std::uint32_t SimPowerLibrary::PowerEnumerate(ProcAddress function, Handle rootKey,
                                              const Guid* scheme, const Guid* subgroup,
                                              std::uint32_t accessFlags, std::uint32_t index,
                                              std::uint8_t* buffer, std::uint32_t* bufferSize) {
  if (!Enter("PowerEnumerate", function)) return win::kErrorInvalidParameter;
  if (auto failure = InjectedFailure("PowerEnumerate")) return *failure;
  if (rootKey != 0 || scheme != nullptr || subgroup != nullptr ||
      accessFlags != win::kAccessScheme || bufferSize == nullptr) {
    return win::kErrorInvalidParameter;
  }
  if (index >= system_.schemes.size()) return win::kErrorNoMoreItems;
  if (buffer == nullptr || *bufferSize < sizeof(Guid)) {
    *bufferSize = sizeof(Guid);
    return buffer == nullptr ? win::kErrorSuccess : win::kErrorMoreData;
  }
  std::memcpy(buffer, &system_.schemes[index].guid, sizeof(Guid));
  *bufferSize = sizeof(Guid);
  return win::kErrorSuccess;
}

std::uint32_t SimPowerLibrary::PowerReadFriendlyName(ProcAddress function, Handle rootKey,
                                                     const Guid* scheme,
                                                     const Guid* subgroup,
                                                     const Guid* setting, std::uint8_t* buffer,
                                                     std::uint32_t* bufferSize) {
  if (!Enter("PowerReadFriendlyName", function)) return win::kErrorInvalidParameter;
  if (auto failure = InjectedFailure("PowerReadFriendlyName")) return *failure;
  if (rootKey != 0 || subgroup != nullptr || setting != nullptr || bufferSize == nullptr) {
    return win::kErrorInvalidParameter;
  }
  const SimPowerScheme* found = FindScheme(scheme);
  if (found == nullptr) return win::kErrorFileNotFound;
  // UTF-16LE with the terminating zero.
  const auto needed = static_cast<std::uint32_t>((found->friendlyName.size() + 1) * 2);
  if (buffer == nullptr || *bufferSize < needed) {
    *bufferSize = needed;
    return buffer == nullptr ? win::kErrorSuccess : win::kErrorMoreData;
  }
  for (std::size_t i = 0; i <= found->friendlyName.size(); ++i) {
    const char16_t unit = i < found->friendlyName.size() ? found->friendlyName[i] : u'\0';
    buffer[2 * i] = static_cast<std::uint8_t>(unit & 0xFF);
    buffer[2 * i + 1] = static_cast<std::uint8_t>(unit >> 8);
  }
  *bufferSize = needed;
  return win::kErrorSuccess;
}

std::uint32_t SimPowerLibrary::PowerDeleteScheme(ProcAddress function, Handle rootKey,
                                                 const Guid* scheme) {
  if (!Enter("PowerDeleteScheme", function)) return win::kErrorInvalidParameter;
  if (auto failure = InjectedFailure("PowerDeleteScheme")) return *failure;
  if (rootKey != 0) return win::kErrorInvalidParameter;
  const SimPowerScheme* found = FindScheme(scheme);
  if (found == nullptr) return win::kErrorFileNotFound;
  // Windows does not delete the active scheme.
  if (system_.activeScheme == found->guid) return win::kErrorAccessDenied;
  system_.schemes.erase(system_.schemes.begin() + (found - system_.schemes.data()));
  return win::kErrorSuccess;
}

std::uint32_t SimPowerLibrary::PowerImportPowerScheme(ProcAddress function, Handle rootKey,
                                                      const std::u16string& importFilePath,
                                                      LocalMemory* destinationScheme) {
  if (!Enter("PowerImportPowerScheme", function)) return win::kErrorInvalidParameter;
  if (auto failure = InjectedFailure("PowerImportPowerScheme")) return *failure;
  // Only the "system picks the GUID" form is simulated.
  if (rootKey != 0 || destinationScheme == nullptr || *destinationScheme != 0) {
    return win::kErrorInvalidParameter;
  }
  system_.importedFiles.push_back(importFilePath);
  const auto file = system_.schemeFiles.find(importFilePath);
  if (file == system_.schemeFiles.end()) return win::kErrorFileNotFound;
  if (!file->second.valid) return win::kErrorBadDatabase;
  SimPowerScheme scheme;
  scheme.friendlyName = file->second.friendlyName;
  if (!file->second.hive.empty()) {
    std::optional<ExportedScheme> exported = ReadExportedScheme(file->second.hive);
    if (!exported) return kErrorInvalidData;
    scheme.friendlyName = exported->friendlyName;
    scheme.settings = std::move(exported->settings);
  }
  scheme.guid = NextSchemeGuid();
  scheme.importedFrom = importFilePath;
  system_.schemes.push_back(scheme);
  *destinationScheme = AllocateGuid(scheme.guid);
  return win::kErrorSuccess;
}

LocalMemory SimPowerLibrary::AllocateGuid(const Guid& guid) {
  const LocalMemory memory = nextAllocation_;
  nextAllocation_ += 0x20;
  allocations_[memory] = guid;
  return memory;
}

std::uint32_t SimPowerLibrary::PowerGetActiveScheme(ProcAddress function, Handle rootKey,
                                                    LocalMemory* activeScheme) {
  if (!Enter("PowerGetActiveScheme", function)) return win::kErrorInvalidParameter;
  if (auto failure = InjectedFailure("PowerGetActiveScheme")) return *failure;
  if (rootKey != 0 || activeScheme == nullptr) return win::kErrorInvalidParameter;
  if (!system_.activeScheme) return win::kErrorFileNotFound;
  *activeScheme = AllocateGuid(*system_.activeScheme);
  return win::kErrorSuccess;
}

std::uint32_t SimPowerLibrary::PowerWriteACValueIndex(ProcAddress function, Handle rootKey,
                                                      const Guid* scheme, const Guid* subgroup,
                                                      const Guid* setting, std::uint32_t index) {
  return WriteValueIndex("PowerWriteACValueIndex", function, rootKey, scheme, subgroup, setting,
                         index, true);
}

std::uint32_t SimPowerLibrary::PowerWriteDCValueIndex(ProcAddress function, Handle rootKey,
                                                      const Guid* scheme, const Guid* subgroup,
                                                      const Guid* setting, std::uint32_t index) {
  return WriteValueIndex("PowerWriteDCValueIndex", function, rootKey, scheme, subgroup, setting,
                         index, false);
}

std::uint32_t SimPowerLibrary::PowerReadACValueIndex(ProcAddress function, Handle rootKey,
                                                     const Guid* scheme, const Guid* subgroup,
                                                     const Guid* setting, std::uint32_t* index) {
  return ReadValueIndex("PowerReadACValueIndex", function, rootKey, scheme, subgroup, setting,
                        index, true);
}

std::uint32_t SimPowerLibrary::PowerReadDCValueIndex(ProcAddress function, Handle rootKey,
                                                     const Guid* scheme, const Guid* subgroup,
                                                     const Guid* setting, std::uint32_t* index) {
  return ReadValueIndex("PowerReadDCValueIndex", function, rootKey, scheme, subgroup, setting,
                        index, false);
}

// A setting the scheme does not hold reads as the setting's default; one Windows does not know
// as ERROR_FILE_NOT_FOUND.
std::uint32_t SimPowerLibrary::ReadValueIndex(const char* exportName, ProcAddress function,
                                              Handle rootKey, const Guid* scheme,
                                              const Guid* subgroup, const Guid* setting,
                                              std::uint32_t* index, bool ac) {
  if (!Enter(exportName, function)) return win::kErrorInvalidParameter;
  if (auto failure = InjectedFailure(exportName)) return *failure;
  if (rootKey != 0 || setting == nullptr || index == nullptr) return win::kErrorInvalidParameter;
  SimPowerScheme* found = FindScheme(scheme);
  if (found == nullptr) return win::kErrorFileNotFound;
  const std::string key = SettingKey(subgroup, *setting);
  auto value = found->settings.find(key);
  if (value == found->settings.end()) {
    value = system_.settingDefaults.find(key);
    if (value == system_.settingDefaults.end()) return win::kErrorFileNotFound;
  }
  *index = ac ? value->second.ac : value->second.dc;
  return win::kErrorSuccess;
}

std::string SimPowerLibrary::SettingKey(const Guid* subgroup, const Guid& setting) {
  const bool noSubgroup = subgroup == nullptr || *subgroup == win::kNoSubgroupGuid;
  return noSubgroup ? BareGuidText(setting)
                    : BareGuidText(*subgroup) + "\\" + BareGuidText(setting);
}

// The stored scheme changes; what is in force changes only when a scheme is activated.
std::uint32_t SimPowerLibrary::WriteValueIndex(const char* exportName, ProcAddress function,
                                               Handle rootKey, const Guid* scheme,
                                               const Guid* subgroup, const Guid* setting,
                                               std::uint32_t index, bool ac) {
  if (!Enter(exportName, function)) return win::kErrorInvalidParameter;
  if (auto failure = InjectedFailure(exportName)) return *failure;
  if (rootKey != 0 || setting == nullptr) return win::kErrorInvalidParameter;
  SimPowerScheme* found = FindScheme(scheme);
  if (found == nullptr) return win::kErrorFileNotFound;
  SimSettingIndex& value = found->settings[SettingKey(subgroup, *setting)];
  (ac ? value.ac : value.dc) = index;
  return win::kErrorSuccess;
}

std::uint32_t SimPowerLibrary::PowerSetActiveScheme(ProcAddress function, Handle rootKey,
                                                    const Guid* scheme) {
  if (!Enter("PowerSetActiveScheme", function)) return win::kErrorInvalidParameter;
  if (auto failure = InjectedFailure("PowerSetActiveScheme")) return *failure;
  if (rootKey != 0) return win::kErrorInvalidParameter;
  const SimPowerScheme* found = FindScheme(scheme);
  if (found == nullptr) return win::kErrorFileNotFound;
  if (found->refusesActivation) return win::kErrorAccessDenied;
  system_.activeScheme = found->guid;
  system_.appliedSettings = found->settings;
  return win::kErrorSuccess;
}

Guid ParseGuid(const std::string& text) {
  std::string hex;
  for (char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c))) hex.push_back(c);
  }
  auto field = [&hex](std::size_t pos, std::size_t digits) {
    return static_cast<std::uint32_t>(std::stoul(hex.substr(pos, digits), nullptr, 16));
  };
  Guid guid;
  if (hex.size() != 32) return guid;
  guid.Data1 = field(0, 8);
  guid.Data2 = static_cast<std::uint16_t>(field(8, 4));
  guid.Data3 = static_cast<std::uint16_t>(field(12, 4));
  for (std::size_t i = 0; i < 8; ++i)
    guid.Data4[i] = static_cast<std::uint8_t>(field(16 + 2 * i, 2));
  return guid;
}

}  // namespace velmora::sim
