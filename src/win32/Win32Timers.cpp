#include "win32/Win32Timers.h"

#include <map>
#include <utility>

namespace velmora::win32 {
namespace {

struct TimerEntry {
  const Win32Timers* owner;
  std::function<void()> onTick;
};

// Thread timers carry no pointer of ours: the procedure finds the callback by the timer id.
// Only the user-interface thread sets, kills and runs them.
std::map<UINT_PTR, TimerEntry>& Timers() {
  static std::map<UINT_PTR, TimerEntry> timers;
  return timers;
}

void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  const auto found = Timers().find(id);
  if (found == Timers().end()) return;
  // The callback may kill its own timer, which erases the entry: run it from a copy.
  const std::function<void()> onTick = found->second.onTick;
  if (onTick) onTick();
}

}  // namespace

Win32Timers::~Win32Timers() {
  for (auto it = Timers().begin(); it != Timers().end();) {
    if (it->second.owner != this) {
      ++it;
      continue;
    }
    ::KillTimer(nullptr, it->first);
    it = Timers().erase(it);
  }
}

TimerId Win32Timers::SetTimer(std::uint32_t intervalMs, std::function<void()> onTick) {
  const UINT_PTR id = ::SetTimer(nullptr, 0, intervalMs, &TimerProc);
  if (id == 0) return 0;
  Timers()[id] = TimerEntry{this, std::move(onTick)};
  return id;
}

bool Win32Timers::KillTimer(TimerId timer) {
  if (Timers().erase(timer) == 0) return false;
  return ::KillTimer(nullptr, timer) != FALSE;
}

}  // namespace velmora::win32
