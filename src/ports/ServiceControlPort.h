// The service control manager, as far as a program that installs a kernel driver for the length
// of its run needs it. Handles are SC_HANDLEs; 0 means failure, and GetLastError tells why.
#pragma once

#include <cstdint>
#include <string>

#include "ports/WinTypes.h"

namespace velmora {

using ScHandle = std::uintptr_t;

class IServiceControl {
 public:
  virtual ~IServiceControl() = default;

  // OpenSCManagerA(NULL, NULL, desiredAccess): the local machine's active database.
  virtual ScHandle OpenSCManagerA(std::uint32_t desiredAccess) = 0;
  // CreateServiceA with no load-order group, tag, dependencies, account or password.
  virtual ScHandle CreateServiceA(ScHandle manager, const std::string& serviceName,
                                  const std::string& displayName, std::uint32_t desiredAccess,
                                  std::uint32_t serviceType, std::uint32_t startType,
                                  std::uint32_t errorControl,
                                  const std::string& binaryPathName) = 0;
  virtual ScHandle OpenServiceA(ScHandle manager, const std::string& serviceName,
                                std::uint32_t desiredAccess) = 0;
  // StartServiceA with no arguments.
  virtual bool StartServiceA(ScHandle service) = 0;
  // ControlService; the SERVICE_STATUS it fills is not needed by the program.
  virtual bool ControlService(ScHandle service, std::uint32_t control) = 0;
  virtual bool DeleteService(ScHandle service) = 0;
  virtual bool CloseServiceHandle(ScHandle object) = 0;
  // The calling thread's last error, as the service calls above left it.
  virtual std::uint32_t GetLastError() = 0;
};

}  // namespace velmora
