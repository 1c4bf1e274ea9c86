// The service control manager through advapi32, one call each, ANSI names.
#pragma once

#include "ports/ServiceControlPort.h"

namespace velmora::win32 {

class Win32ServiceControl : public IServiceControl {
 public:
  ScHandle OpenSCManagerA(std::uint32_t desiredAccess) override;
  ScHandle CreateServiceA(ScHandle manager, const std::string& serviceName,
                          const std::string& displayName, std::uint32_t desiredAccess,
                          std::uint32_t serviceType, std::uint32_t startType,
                          std::uint32_t errorControl, const std::string& binaryPathName) override;
  ScHandle OpenServiceA(ScHandle manager, const std::string& serviceName,
                        std::uint32_t desiredAccess) override;
  bool StartServiceA(ScHandle service) override;
  bool ControlService(ScHandle service, std::uint32_t control) override;
  bool DeleteService(ScHandle service) override;
  bool CloseServiceHandle(ScHandle object) override;
  std::uint32_t GetLastError() override;
};

}  // namespace velmora::win32
