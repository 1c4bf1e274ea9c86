// The system-wide processor times GetSystemTimes reports, driven by a simple load model: time
// passes in intervals, each with a busy share, summed over all processors. As on Windows, idle
// time is counted inside kernel time.
#pragma once

#include <cstdint>

#include "ports/SystemInfoPort.h"

namespace velmora::sim {

class SimSystemTimes {
 public:
  explicit SimSystemTimes(std::uint32_t processors = 2) : processors_(processors) {}

  // `interval` 100-ns units of wall time pass with `busyPercent` (0..100) of every processor
  // busy; `kernelPercentOfBusy` of the busy time is spent in kernel mode.
  void Run(std::uint64_t interval, std::uint32_t busyPercent,
           std::uint32_t kernelPercentOfBusy = 25);
  // Puts the counters at given values (counters near their wrap, or inconsistent ones).
  void Set(const SystemTimes& times) { times_ = times; }
  const SystemTimes& Now() const { return times_; }

  bool fails = false;  // GetSystemTimes returns FALSE
  int calls = 0;

 private:
  std::uint32_t processors_;
  SystemTimes times_{0x01CB0000'00000000ull, 0x01CB0000'00000000ull, 0x00100000'00000000ull};
};

}  // namespace velmora::sim
