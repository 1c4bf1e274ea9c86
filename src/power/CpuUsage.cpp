#include "power/CpuUsage.h"

namespace velmora {

std::uint32_t BusyPercent(std::uint64_t idle, std::uint64_t kernel, std::uint64_t user) {
  const std::uint64_t total = kernel + user;
  if (total == 0) return 0;
  // Idle time is part of kernel time, so it never exceeds the total; a sample that says
  // otherwise (a counter that went backwards) is taken as an idle interval, not as a wrap.
  if (idle >= total) return 0;
  return static_cast<std::uint32_t>((total - idle) * 100 / total);
}

TCpuUsage::TCpuUsage(ISystemInfo& system) : system_(system) {
  kernel32_ = system_.GetModuleHandleA("Kernel32.DLL");
  getSystemTimes_ = system_.GetProcAddress(kernel32_, "GetSystemTimes");
  if (getSystemTimes_ != 0) system_.GetSystemTimes(getSystemTimes_, previous_);
}

std::uint32_t TCpuUsage::GetUsage() {
  if (getSystemTimes_ == 0) return 0;
  SystemTimes now;
  if (!system_.GetSystemTimes(getSystemTimes_, now)) return 0;
  const std::uint64_t user = now.user - previous_.user;
  const std::uint64_t kernel = now.kernel - previous_.kernel;
  const std::uint64_t idle = now.idle - previous_.idle;
  previous_ = now;
  return BusyPercent(idle, kernel, user);
}

}  // namespace velmora
