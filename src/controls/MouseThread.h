// The repeat thread of an image button. While it runs it asks the user-interface thread,
// synchronously, to deliver the repeat message to the button's window, then waits for the repeat
// rate, and again. It never touches the button itself; the button pauses and resumes it.
#pragma once

#include <atomic>
#include <cstdint>

#include "ports/SendMessagePort.h"
#include "ports/ThreadPort.h"
#include "ports/TickCountPort.h"

namespace velmora {

// Program-defined window message that raises one repeated click.
inline constexpr std::uint32_t kMouseRepeatMessage = 0x8190;

class TMouseThread {
 public:
  // The thread is created paused.
  TMouseThread(IThreads& threads, ITickCount& ticks, ISentMessages& messages);
  // Ends the loop and waits for the thread; messages sent meanwhile are still delivered.
  ~TMouseThread();
  TMouseThread(const TMouseThread&) = delete;
  TMouseThread& operator=(const TMouseThread&) = delete;

  // Paused: created and not resumed, or suspended since. Without a thread it stays paused.
  bool Suspended() const { return suspended_; }
  void Resume();
  void Suspend();

  // The button's settings, copied in before each resume. Delay takes no part in the timing.
  void SetOwner(WindowHandle window) { owner_ = window; }
  void SetDelay(std::int32_t milliseconds) { delay_ = milliseconds; }
  void SetRate(std::int32_t milliseconds) { rate_ = milliseconds; }
  std::int32_t Delay() const { return delay_; }
  std::int32_t Rate() const { return rate_; }

 private:
  void Execute();
  void WaitRate(std::uint32_t generation);

  IThreads& threads_;
  ITickCount& ticks_;
  ISentMessages& messages_;
  ThreadHandle thread_ = 0;
  bool suspended_ = true;  // user-interface thread only
  std::atomic<bool> terminated_{false};
  // Counts resumes: a resume during the wait ends the wait, so the first repeat after a resume
  // comes at once even when the thread was paused in the middle of its wait.
  std::atomic<std::uint32_t> resumes_{0};
  std::atomic<WindowHandle> owner_{0};
  std::atomic<std::int32_t> delay_{0};
  std::atomic<std::int32_t> rate_{0};
};

// True once at least rate milliseconds lie between start and now on the 32-bit tick counter; the
// difference is taken unsigned, so a wrap of the counter in between does not matter. A rate of 0
// or less has always passed.
bool RateElapsed(std::uint32_t start, std::uint32_t now, std::int32_t rate);

}  // namespace velmora
