// PowrProf.DLL for real: LoadLibraryA, GetProcAddress, and calls through the bound addresses.
#pragma once

#include "ports/PowerLibraryPort.h"

namespace velmora::win32 {

class Win32PowerLibrary : public IPowerLibrary {
 public:
  ModuleHandle LoadLibraryA(const std::string& fileName) override;
  ProcAddress GetProcAddress(ModuleHandle module, const std::string& procName) override;
  bool FreeLibrary(ModuleHandle module) override;
  void LocalFree(LocalMemory memory) override;
  Guid ReadGuid(LocalMemory memory) override;

  std::uint32_t CallNtPowerInformation(ProcAddress function, std::uint32_t level, const void* input,
                                       std::uint32_t inputLength, void* output,
                                       std::uint32_t outputLength) override;
  std::uint32_t PowerEnumerate(ProcAddress function, Handle rootKey, const Guid* scheme,
                               const Guid* subgroup, std::uint32_t accessFlags,
                               std::uint32_t index, std::uint8_t* buffer,
                               std::uint32_t* bufferSize) override;
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
  std::uint32_t PowerReadACValueIndex(ProcAddress function, Handle rootKey, const Guid* scheme,
                                      const Guid* subgroup, const Guid* setting,
                                      std::uint32_t* index) override;
  std::uint32_t PowerReadDCValueIndex(ProcAddress function, Handle rootKey, const Guid* scheme,
                                      const Guid* subgroup, const Guid* setting,
                                      std::uint32_t* index) override;
  std::uint32_t GetLastError() override;
  std::uint32_t PowerWriteDCValueIndex(ProcAddress function, Handle rootKey, const Guid* scheme,
                                       const Guid* subgroup, const Guid* setting,
                                       std::uint32_t index) override;
};

}  // namespace velmora::win32
