// Simulated time. Nothing in the simulator runs by itself: time moves only when the kernel
// stalls (KeStallExecutionProcessor) or a test advances it, and every time-driven device (the
// time-stamp counter, the performance counters, the ACPI PM timer, a busy disk) reads it here.
#pragma once

#include <cstdint>

namespace velmora::sim {

class SimClock {
 public:
  std::uint64_t Nanoseconds() const { return nanoseconds_; }
  void Advance(std::uint64_t nanoseconds) { nanoseconds_ += nanoseconds; }
  void AdvanceMicroseconds(std::uint64_t microseconds) { Advance(microseconds * 1000); }

  // Whole cycles of a clock of `hertz` since time 0.
  std::uint64_t CyclesAt(std::uint64_t hertz) const;

 private:
  std::uint64_t nanoseconds_ = 0;
};

}  // namespace velmora::sim
