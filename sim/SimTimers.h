// Simulated window timers and tick count on a manual clock: nothing happens until a test
// advances the clock, and then every timer that falls due fires in time order, at its due time,
// on the test's thread (as WM_TIMER would on the user-interface thread).
#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "ports/TickCountPort.h"
#include "ports/TimerPort.h"

namespace velmora::sim {

class SimTimers : public ITimers, public ITickCount {
 public:
  TimerId SetTimer(std::uint32_t intervalMs, std::function<void()> onTick) override;
  bool KillTimer(TimerId timer) override;
  // The low 32 bits of the clock, as GetTickCount wraps.
  std::uint32_t GetTickCount() override { return static_cast<std::uint32_t>(now_); }

  // Milliseconds since the simulated start; may be set before any timer exists.
  std::uint64_t Now() const { return now_; }
  void SetNow(std::uint64_t milliseconds) { now_ = milliseconds; }
  // Moves the clock forward, firing each due timer at its due time.
  void Advance(std::uint64_t milliseconds);

  std::size_t ActiveTimers() const { return timers_.size(); }
  // When the timer fires next; 0 for an unknown timer.
  std::uint64_t DueTime(TimerId timer) const;
  int setCalls = 0;
  int killCalls = 0;
  int ticksFired = 0;
  bool setTimerFails = false;

 private:
  struct Timer {
    std::uint32_t interval;
    std::uint64_t due;
    std::function<void()> onTick;
  };
  // The timer due first (lowest id among equals); timers_.end() when none is due by limit.
  std::map<TimerId, Timer>::iterator NextDue(std::uint64_t limit);

  std::uint64_t now_ = 0;
  std::map<TimerId, Timer> timers_;
  TimerId nextId_ = 1;
};

}  // namespace velmora::sim
