// Task Scheduler 2.0 through COM: each port interface wraps one COM interface pointer and
// forwards every call; Release gives the COM reference back and frees the wrapper.
#pragma once

#include "ports/TaskSchedulerPort.h"

namespace velmora::win32 {

class Win32TaskScheduler : public ITaskSchedulerCom {
 public:
  HResult CoInitializeEx(std::uint32_t coInit) override;
  HResult CoInitializeSecurity(std::int32_t authServices, std::uint32_t authnLevel,
                               std::uint32_t impLevel, std::uint32_t capabilities) override;
  HResult CoCreateInstance(const Guid& clsid, std::uint32_t clsContext, const Guid& iid,
                           tasks::ITaskService** service) override;
  void CoUninitialize() override;

  // Wrappers handed out and not yet released, in the whole process.
  static int LiveInterfaces();
};

}  // namespace velmora::win32
