// Processor load between two samples, from the system-wide idle, kernel and user times.
#pragma once

#include <cstdint>

#include "ports/SystemInfoPort.h"

namespace velmora {

class TCpuUsage {
 public:
  // Binds "GetSystemTimes" in kernel32 by name and takes the first sample.
  explicit TCpuUsage(ISystemInfo& system);

  // Busy share in percent (0..100) since the previous call or since construction; always 0 on
  // a Windows without GetSystemTimes.
  std::uint32_t GetUsage();

  bool HasSystemTimes() const { return getSystemTimes_ != 0; }

 private:
  ISystemInfo& system_;
  ModuleHandle kernel32_ = 0;
  ProcAddress getSystemTimes_ = 0;
  SystemTimes previous_;
};

// The busy percentage of an interval from the differences of the three times.
std::uint32_t BusyPercent(std::uint64_t idle, std::uint64_t kernel, std::uint64_t user);

}  // namespace velmora
