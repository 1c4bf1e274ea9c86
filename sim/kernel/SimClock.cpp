#include "sim/kernel/SimClock.h"

namespace velmora::sim {

std::uint64_t SimClock::CyclesAt(std::uint64_t hertz) const {
  // Split the product so that hours of simulated time at GHz rates cannot overflow.
  const std::uint64_t seconds = nanoseconds_ / 1000000000u;
  const std::uint64_t rest = nanoseconds_ % 1000000000u;
  return seconds * hertz + rest * hertz / 1000000000u;
}

}  // namespace velmora::sim
