#include "sim/SimTimers.h"

#include <utility>

namespace velmora::sim {

TimerId SimTimers::SetTimer(std::uint32_t intervalMs, std::function<void()> onTick) {
  ++setCalls;
  if (setTimerFails) return 0;
  // USER raises an interval of 0 to the smallest one it supports.
  const std::uint32_t interval = intervalMs == 0 ? 10 : intervalMs;
  const TimerId id = nextId_++;
  timers_[id] = Timer{interval, now_ + interval, std::move(onTick)};
  return id;
}

bool SimTimers::KillTimer(TimerId timer) {
  ++killCalls;
  return timers_.erase(timer) != 0;
}

std::uint64_t SimTimers::DueTime(TimerId timer) const {
  const auto found = timers_.find(timer);
  return found == timers_.end() ? 0 : found->second.due;
}

std::map<TimerId, SimTimers::Timer>::iterator SimTimers::NextDue(std::uint64_t limit) {
  auto next = timers_.end();
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second.due > limit) continue;
    if (next == timers_.end() || it->second.due < next->second.due) next = it;
  }
  return next;
}

void SimTimers::Advance(std::uint64_t milliseconds) {
  const std::uint64_t end = now_ + milliseconds;
  for (auto next = NextDue(end); next != timers_.end(); next = NextDue(end)) {
    now_ = next->second.due;
    next->second.due = now_ + next->second.interval;
    // The callback may kill this timer (erasing it), so it runs from a copy.
    const std::function<void()> onTick = next->second.onTick;
    ++ticksFired;
    if (onTick) onTick();
  }
  // A handler that ran a modal loop of its own (which advanced the clock further) leaves the
  // clock where that loop left it: time never goes back.
  if (now_ < end) now_ = end;
}

}  // namespace velmora::sim
