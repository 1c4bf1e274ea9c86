#include "sim/SimSessionPower.h"

namespace velmora::sim {

ModuleHandle SimSessionPower::LoadLibraryA(const std::string& fileName) {
  return library_.LoadLibraryA(fileName);
}

ProcAddress SimSessionPower::GetProcAddress(ModuleHandle module, const std::string& procName) {
  return library_.GetProcAddress(module, procName);
}

bool SimSessionPower::FreeLibrary(ModuleHandle module) {
  return library_.FreeLibrary(module);
}

void SimSessionPower::LocalFree(LocalMemory memory) {
  library_.LocalFree(memory);
}

Guid SimSessionPower::ReadGuid(LocalMemory memory) {
  return library_.ReadGuid(memory);
}

std::uint32_t SimSessionPower::CallNtPowerInformation(ProcAddress function, std::uint32_t level,
                                                      const void* input, std::uint32_t inputLength,
                                                      void* output, std::uint32_t outputLength) {
  return library_.CallNtPowerInformation(function, level, input, inputLength, output, outputLength);
}

std::uint32_t SimSessionPower::PowerEnumerate(ProcAddress function, Handle rootKey,
                                              const Guid* scheme, const Guid* subgroup,
                                              std::uint32_t accessFlags, std::uint32_t index,
                                              std::uint8_t* buffer, std::uint32_t* bufferSize) {
  return library_.PowerEnumerate(function, rootKey, scheme, subgroup, accessFlags, index, buffer,
                                 bufferSize);
}

std::uint32_t SimSessionPower::PowerReadFriendlyName(ProcAddress function, Handle rootKey,
                                                     const Guid* scheme, const Guid* subgroup,
                                                     const Guid* setting, std::uint8_t* buffer,
                                                     std::uint32_t* bufferSize) {
  return library_.PowerReadFriendlyName(function, rootKey, scheme, subgroup, setting, buffer,
                                        bufferSize);
}

std::uint32_t SimSessionPower::PowerDeleteScheme(ProcAddress function, Handle rootKey,
                                                 const Guid* scheme) {
  return library_.PowerDeleteScheme(function, rootKey, scheme);
}

std::uint32_t SimSessionPower::PowerImportPowerScheme(ProcAddress function, Handle rootKey,
                                                      const std::u16string& importFilePath,
                                                      LocalMemory* destinationScheme) {
  return library_.PowerImportPowerScheme(function, rootKey, importFilePath, destinationScheme);
}

std::uint32_t SimSessionPower::PowerSetActiveScheme(ProcAddress function, Handle rootKey,
                                                    const Guid* scheme) {
  return library_.PowerSetActiveScheme(function, rootKey, scheme);
}

std::uint8_t SimSessionPower::GetCurrentPowerPolicies(ProcAddress function,
                                                      GlobalPowerPolicy* global,
                                                      PowerPolicy* power) {
  return library_.GetCurrentPowerPolicies(function, global, power);
}

std::uint8_t SimSessionPower::ReadPwrScheme(ProcAddress function, std::uint32_t index,
                                            PowerPolicy* power) {
  return library_.ReadPwrScheme(function, index, power);
}

std::uint8_t SimSessionPower::WritePwrScheme(ProcAddress function, std::uint32_t* index,
                                             const std::u16string& name,
                                             const std::u16string& description,
                                             PowerPolicy* power) {
  return library_.WritePwrScheme(function, index, name, description, power);
}

std::uint8_t SimSessionPower::SetActivePwrScheme(ProcAddress function, std::uint32_t index,
                                                 GlobalPowerPolicy* global, PowerPolicy* power) {
  return library_.SetActivePwrScheme(function, index, global, power);
}

std::uint8_t SimSessionPower::GetPwrCapabilities(ProcAddress function,
                                                 SystemPowerCapabilities* capabilities) {
  return library_.GetPwrCapabilities(function, capabilities);
}

std::uint8_t SimSessionPower::SetSuspendState(ProcAddress function, bool hibernate,
                                              bool forceCritical, bool disableWakeEvent) {
  ++suspends;
  if (onSuspend) onSuspend(SimSuspendRequest{hibernate, forceCritical, disableWakeEvent});
  return library_.SetSuspendState(function, hibernate, forceCritical, disableWakeEvent);
}

std::uint8_t SimSessionPower::ReadGlobalPwrPolicy(ProcAddress function, GlobalPowerPolicy* global) {
  return library_.ReadGlobalPwrPolicy(function, global);
}

}  // namespace velmora::sim
