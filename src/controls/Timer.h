// A timer component: while enabled it raises OnTimer every Interval milliseconds on the
// user-interface thread. Enabling, disabling or changing the interval restarts the count.
#pragma once

#include <cstdint>
#include <functional>

#include "ports/TimerPort.h"

namespace velmora {

class TTimer {
 public:
  explicit TTimer(ITimers& timers) : timers_(timers) {}
  ~TTimer() { Stop(); }
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  std::uint32_t Interval() const { return interval_; }
  void SetInterval(std::uint32_t milliseconds);
  // True while Windows holds a timer for the component (enabled, with an interval and a
  // handler, and SetTimer succeeded).
  bool Running() const { return timer_ != 0; }

  void SetOnTimer(std::function<void()> handler);

 private:
  void Update();
  void Stop();

  ITimers& timers_;
  bool enabled_ = true;
  std::uint32_t interval_ = 1000;
  TimerId timer_ = 0;
  std::function<void()> onTimer_;
};

}  // namespace velmora
