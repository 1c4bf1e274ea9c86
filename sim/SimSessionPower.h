// The power library as a user session lives through it: every call goes to another simulated
// library, and a suspend request first lets the session play what Windows does around the
// suspend (the PBT_APMSUSPEND broadcast handled while the caller still blocks in
// SetSuspendState, the firmware looking at its control byte, the time the machine sleeps).
#pragma once

#include <functional>

#include "platform/PowerLibraryPort.h"

namespace velmora::sim {

struct SimSuspendRequest {
  bool hibernate = false;
  bool forceCritical = false;
  bool disableWakeEvent = false;
};

class SimSessionPower : public IPowerLibrary {
 public:
  explicit SimSessionPower(IPowerLibrary& library) : library_(library) {}

  // Runs inside SetSuspendState, before the request reaches the library.
  std::function<void(const SimSuspendRequest&)> onSuspend;
  int suspends = 0;

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

 private:
  IPowerLibrary& library_;
};

}  // namespace velmora::sim
