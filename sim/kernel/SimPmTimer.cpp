#include "sim/kernel/SimPmTimer.h"

namespace velmora::sim {

std::uint32_t SimPmTimer::Count() const {
  const std::uint64_t ticks = clock_.CyclesAt(kPmTimerHertz) + offset_;
  return static_cast<std::uint32_t>(is32Bit_ ? ticks & 0xFFFFFFFFu : ticks & 0xFFFFFFu);
}

void SimPmTimer::SetCount(std::uint32_t ticks) {
  offset_ = static_cast<std::uint64_t>(ticks) - clock_.CyclesAt(kPmTimerHertz);
}

std::uint32_t SimPmTimer::In(std::uint16_t offset, unsigned width) {
  const std::uint32_t value = Count() >> (8 * (offset & 3));
  return width >= 4 ? value : value & ((1u << (8 * width)) - 1);
}

}  // namespace velmora::sim
