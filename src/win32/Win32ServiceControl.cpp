#include "win32/Win32ServiceControl.h"

#include <windows.h>

namespace velmora::win32 {
namespace {

SC_HANDLE Sc(ScHandle handle) {
  return reinterpret_cast<SC_HANDLE>(handle);
}
ScHandle Of(SC_HANDLE handle) {
  return reinterpret_cast<ScHandle>(handle);
}

}  // namespace

ScHandle Win32ServiceControl::OpenSCManagerA(std::uint32_t desiredAccess) {
  return Of(::OpenSCManagerA(nullptr, nullptr, desiredAccess));
}

ScHandle Win32ServiceControl::CreateServiceA(ScHandle manager, const std::string& serviceName,
                                             const std::string& displayName,
                                             std::uint32_t desiredAccess, std::uint32_t serviceType,
                                             std::uint32_t startType, std::uint32_t errorControl,
                                             const std::string& binaryPathName) {
  return Of(::CreateServiceA(Sc(manager), serviceName.c_str(), displayName.c_str(), desiredAccess,
                             serviceType, startType, errorControl, binaryPathName.c_str(), nullptr,
                             nullptr, nullptr, nullptr, nullptr));
}

ScHandle Win32ServiceControl::OpenServiceA(ScHandle manager, const std::string& serviceName,
                                           std::uint32_t desiredAccess) {
  return Of(::OpenServiceA(Sc(manager), serviceName.c_str(), desiredAccess));
}

bool Win32ServiceControl::StartServiceA(ScHandle service) {
  return ::StartServiceA(Sc(service), 0, nullptr) != FALSE;
}

bool Win32ServiceControl::ControlService(ScHandle service, std::uint32_t control) {
  SERVICE_STATUS status{};
  return ::ControlService(Sc(service), control, &status) != FALSE;
}

bool Win32ServiceControl::DeleteService(ScHandle service) {
  return ::DeleteService(Sc(service)) != FALSE;
}

bool Win32ServiceControl::CloseServiceHandle(ScHandle object) {
  return ::CloseServiceHandle(Sc(object)) != FALSE;
}

std::uint32_t Win32ServiceControl::GetLastError() {
  return ::GetLastError();
}

}  // namespace velmora::win32
