// The calling process and the kernel objects that two instances of the program share.
#pragma once

#include <cstdint>
#include <string>

#include "ports/WinTypes.h"

namespace velmora {

class IProcess {
 public:
  virtual ~IProcess() = default;

  // GetCommandLineA: the whole command line, the executable's path included.
  virtual std::string GetCommandLineA() = 0;
  // GetModuleFileNameA(NULL, ...): full path of the running executable.
  virtual std::string GetModuleFileNameA() = 0;
  // OpenMutexA(desiredAccess, inheritHandle, name); kNullHandle when there is no such mutex.
  virtual Handle OpenMutexA(std::uint32_t desiredAccess, bool inheritHandle,
                            const std::string& name) = 0;
  // CreateMutexA(NULL, initialOwner, name); kNullHandle on failure.
  virtual Handle CreateMutexA(bool initialOwner, const std::string& name) = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

}  // namespace velmora
