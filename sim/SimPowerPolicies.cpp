// The policy side of the simulated PowrProf: the kernel's AC and battery system policies, the
// Windows 2000/XP numbered schemes and global policy, the capabilities and the suspend call.
#include <cstring>

#include "sim/SimPowerLibrary.h"

namespace velmora::sim {
namespace {
constexpr std::uint32_t kStatusInvalidParameter = 0xC000000D;
constexpr std::uint32_t kStatusBufferTooSmall = 0xC0000023;
constexpr std::uint32_t kStatusNotSupported = 0xC00000BB;
constexpr std::uint32_t kErrorNotSupported = 50;
}  // namespace

std::uint32_t SimPowerLibrary::CallNtPowerInformation(ProcAddress function, std::uint32_t level,
                                                      const void* input, std::uint32_t inputLength,
                                                      void* output, std::uint32_t outputLength) {
  if (!Enter("CallNtPowerInformation", function)) return kStatusInvalidParameter;
  if (auto failure = InjectedFailure("CallNtPowerInformation")) return *failure;
  if (level == win::kSystemReserveHiberFile) {
    return ReserveHiberFile(input, inputLength, output, outputLength);
  }
  SystemPowerPolicy* policy = nullptr;
  if (level == win::kSystemPowerPolicyAc) policy = &system_.acPolicy;
  if (level == win::kSystemPowerPolicyDc) policy = &system_.dcPolicy;
  if (policy == nullptr) return kStatusInvalidParameter;
  if (input != nullptr) {
    if (inputLength != sizeof(SystemPowerPolicy)) return kStatusInvalidParameter;
    std::memcpy(policy, input, sizeof(SystemPowerPolicy));
  }
  if (output != nullptr) {
    if (outputLength < sizeof(SystemPowerPolicy)) return kStatusBufferTooSmall;
    std::memcpy(output, policy, sizeof(SystemPowerPolicy));
  }
  return win::kStatusSuccess;
}

// hiberfil.sys, allocated or released by the power manager: this is what switches hibernation
// on or off from Vista on (the "Heuristics" registry byte that XP reads at boot does nothing
// there). Firmware without S4 cannot hibernate, with or without the file.
std::uint32_t SimPowerLibrary::ReserveHiberFile(const void* input, std::uint32_t inputLength,
                                                void* output, std::uint32_t outputLength) {
  if (input == nullptr || inputLength != 1 || output != nullptr || outputLength != 0) {
    return kStatusInvalidParameter;
  }
  if (!privilegeEnabled || !privilegeEnabled("SeCreatePagefilePrivilege")) {
    return win::kStatusPrivilegeNotHeld;
  }
  const bool reserve = *static_cast<const std::uint8_t*>(input) != 0;
  if (reserve && system_.capabilities.SystemS4 == 0) return kStatusNotSupported;
  system_.capabilities.HiberFilePresent = reserve ? 1 : 0;
  system_.capabilities.HiberFileType = reserve ? system_.hiberFileType : 0;
  return win::kStatusSuccess;
}

std::uint8_t SimPowerLibrary::GetCurrentPowerPolicies(ProcAddress function,
                                                      GlobalPowerPolicy* global,
                                                      PowerPolicy* power) {
  if (!Enter("GetCurrentPowerPolicies", function)) return 0;
  if (auto failure = InjectedFailure("GetCurrentPowerPolicies")) {
    return static_cast<std::uint8_t>(*failure);
  }
  if (global != nullptr) *global = system_.globalPolicy;
  if (power != nullptr) *power = system_.currentPolicy;
  return 1;
}

std::uint8_t SimPowerLibrary::ReadPwrScheme(ProcAddress function, std::uint32_t index,
                                            PowerPolicy* power) {
  if (!Enter("ReadPwrScheme", function)) return 0;
  if (auto failure = InjectedFailure("ReadPwrScheme")) return static_cast<std::uint8_t>(*failure);
  const auto found = system_.legacySchemes.find(index);
  if (found == system_.legacySchemes.end() || power == nullptr) return 0;
  *power = found->second.policy;
  return 1;
}

std::uint8_t SimPowerLibrary::WritePwrScheme(ProcAddress function, std::uint32_t* index,
                                             const std::u16string& name,
                                             const std::u16string& description,
                                             PowerPolicy* power) {
  if (!Enter("WritePwrScheme", function)) return 0;
  if (auto failure = InjectedFailure("WritePwrScheme")) return static_cast<std::uint8_t>(*failure);
  if (index == nullptr || power == nullptr) return 0;
  system_.legacySchemes[*index] = SimLegacyScheme{name, description, *power};
  return 1;
}

std::uint8_t SimPowerLibrary::SetActivePwrScheme(ProcAddress function, std::uint32_t index,
                                                 GlobalPowerPolicy* global, PowerPolicy* power) {
  if (!Enter("SetActivePwrScheme", function)) return 0;
  SimSetActivePwrSchemeCall call{index, std::nullopt, std::nullopt};
  if (global != nullptr) call.global = *global;
  if (power != nullptr) call.power = *power;
  system_.setActivePwrSchemeCalls.push_back(call);
  if (auto failure = InjectedFailure("SetActivePwrScheme")) {
    return static_cast<std::uint8_t>(*failure);
  }
  const auto found = system_.legacySchemes.find(index);
  if (found == system_.legacySchemes.end()) return 0;
  // The policies passed in are merged into the scheme and take effect with it.
  if (global != nullptr) system_.globalPolicy = *global;
  if (power != nullptr) found->second.policy = *power;
  system_.currentPolicy = found->second.policy;
  system_.activeLegacyScheme = index;
  return 1;
}

std::uint8_t SimPowerLibrary::GetPwrCapabilities(ProcAddress function,
                                                 SystemPowerCapabilities* capabilities) {
  if (!Enter("GetPwrCapabilities", function)) return 0;
  if (auto failure = InjectedFailure("GetPwrCapabilities")) {
    return static_cast<std::uint8_t>(*failure);
  }
  if (capabilities == nullptr) return 0;
  *capabilities = system_.capabilities;
  return 1;
}

std::uint8_t SimPowerLibrary::SetSuspendState(ProcAddress function, bool hibernate,
                                              bool forceCritical, bool disableWakeEvent) {
  const SimSuspendCall call{hibernate, forceCritical, disableWakeEvent};
  const std::uint8_t result = Suspend(function, call);
  if (onSuspend) onSuspend(call, result);
  return result;
}

// Windows refuses a sleep state the machine does not offer, and a hibernation without a full
// hibernation file (a reduced one serves only the fast startup), with ERROR_NOT_SUPPORTED.
std::uint8_t SimPowerLibrary::Suspend(ProcAddress function, const SimSuspendCall& call) {
  if (!Enter("SetSuspendState", function)) return 0;
  // Recorded even when refused: the request is what the firmware side cares about.
  system_.suspendCalls.push_back(call);
  lastError_ = 0;
  if (auto failure = InjectedFailure("SetSuspendState")) {
    if (*failure == 0) lastError_ = system_.suspendError;
    return static_cast<std::uint8_t>(*failure);
  }
  const SystemPowerCapabilities& caps = system_.capabilities;
  const bool offered = call.hibernate ? caps.SystemS4 && caps.HiberFilePresent &&
                                            caps.HiberFileType != win::kHiberFileTypeReduced
                                      : caps.SystemS1 || caps.SystemS2 || caps.SystemS3;
  if (!offered) {
    lastError_ = kErrorNotSupported;
    return 0;
  }
  return 1;
}

std::uint8_t SimPowerLibrary::ReadGlobalPwrPolicy(ProcAddress function, GlobalPowerPolicy* global) {
  if (!Enter("ReadGlobalPwrPolicy", function)) return 0;
  if (auto failure = InjectedFailure("ReadGlobalPwrPolicy")) {
    return static_cast<std::uint8_t>(*failure);
  }
  if (global == nullptr) return 0;
  *global = system_.globalPolicy;
  return 1;
}

// Replaces the global policy and nothing else: the active scheme and its policy stay.
std::uint8_t SimPowerLibrary::WriteGlobalPwrPolicy(ProcAddress function,
                                                   GlobalPowerPolicy* global) {
  if (!Enter("WriteGlobalPwrPolicy", function)) return 0;
  if (auto failure = InjectedFailure("WriteGlobalPwrPolicy")) {
    return static_cast<std::uint8_t>(*failure);
  }
  if (global == nullptr) return 0;
  system_.globalPolicy = *global;
  return 1;
}

}  // namespace velmora::sim
