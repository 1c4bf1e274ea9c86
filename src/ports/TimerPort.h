// Window timers (SetTimer/KillTimer with a timer procedure): the callback runs on the thread that
// set the timer, from its message loop, every interval milliseconds until the timer is killed.
#pragma once

#include <cstdint>
#include <functional>

namespace velmora {

using TimerId = std::uintptr_t;  // 0 when no timer could be set

class ITimers {
 public:
  virtual ~ITimers() = default;

  // The first call of onTick comes interval milliseconds after this call. A callback may kill
  // its own timer or set new ones.
  virtual TimerId SetTimer(std::uint32_t intervalMs, std::function<void()> onTick) = 0;
  // False for an unknown or already killed timer.
  virtual bool KillTimer(TimerId timer) = 0;
};

}  // namespace velmora
