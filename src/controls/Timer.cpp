#include "controls/Timer.h"

#include <utility>

namespace velmora {

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Update();
}

void TTimer::SetInterval(std::uint32_t milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  Update();
}

void TTimer::SetOnTimer(std::function<void()> handler) {
  onTimer_ = std::move(handler);
  Update();
}

// The handler may disable or re-enable the timer; the call to it goes through the component, so
// a timer killed meanwhile raises nothing more.
void TTimer::Update() {
  Stop();
  if (!enabled_ || interval_ == 0 || !onTimer_) return;
  timer_ = timers_.SetTimer(interval_, [this] {
    if (onTimer_) onTimer_();
  });
}

void TTimer::Stop() {
  if (timer_ == 0) return;
  timers_.KillTimer(timer_);
  timer_ = 0;
}

}  // namespace velmora
