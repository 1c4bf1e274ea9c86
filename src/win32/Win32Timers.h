// Window timers through SetTimer with a timer procedure and no window (thread timers), and the
// tick count. The callbacks run from the setting thread's message loop (DispatchMessage of
// WM_TIMER).
#pragma once

#include <windows.h>

#include "ports/TickCountPort.h"
#include "ports/TimerPort.h"

namespace velmora::win32 {

class Win32Timers : public ITimers {
 public:
  // Kills the timers this object set and did not kill.
  ~Win32Timers() override;
  TimerId SetTimer(std::uint32_t intervalMs, std::function<void()> onTick) override;
  bool KillTimer(TimerId timer) override;
};

class Win32TickCount : public ITickCount {
 public:
  std::uint32_t GetTickCount() override { return ::GetTickCount(); }
};

}  // namespace velmora::win32
