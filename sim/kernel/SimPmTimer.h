// The ACPI power-management timer (FADT PM_TMR_BLK): a free-running counter at 3.579545 MHz,
// 24 bits wide unless the FADT's TMR_VAL_EXT flag says 32, read as a double word from its port.
// It follows the simulated clock; a start value lets tests place a wrap-around.
#pragma once

#include <cstdint>

#include "sim/kernel/SimClock.h"
#include "sim/kernel/SimDeviceBus.h"

namespace velmora::sim {

inline constexpr std::uint64_t kPmTimerHertz = 3579545;

class SimPmTimer : public SimPortDevice {
 public:
  SimPmTimer(SimClock& clock, bool is32Bit) : clock_(clock), is32Bit_(is32Bit) {}

  // The count the timer shows now is `ticks`; it goes on counting from there.
  void SetCount(std::uint32_t ticks);
  std::uint32_t Count() const;

  std::uint32_t In(std::uint16_t offset, unsigned width) override;
  void Out(std::uint16_t, unsigned, std::uint32_t) override {}  // read-only

 private:
  SimClock& clock_;
  bool is32Bit_;
  std::uint64_t offset_ = 0;
};

}  // namespace velmora::sim
