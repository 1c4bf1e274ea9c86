#include "controls/MouseThread.h"

#include <algorithm>

namespace velmora {
namespace {

// The wait polls the tick count in slices this long, so that a resume or the end of the
// thread is noticed quickly.
constexpr std::uint32_t kWaitSliceMs = 10;

}  // namespace

bool RateElapsed(std::uint32_t start, std::uint32_t now, std::int32_t rate) {
  const std::uint32_t elapsed = now - start;
  return std::int64_t{elapsed} >= std::int64_t{rate};
}

TMouseThread::TMouseThread(IThreads& threads, ITickCount& ticks, ISentMessages& messages)
    : threads_(threads), ticks_(ticks), messages_(messages) {
  thread_ = threads_.CreateSuspendedThread([this] { Execute(); });
}

TMouseThread::~TMouseThread() {
  if (thread_ == 0) return;
  terminated_ = true;
  if (suspended_) threads_.ResumeThread(thread_);
  threads_.WaitForThreadAndClose(thread_);
}

void TMouseThread::Resume() {
  if (!suspended_ || thread_ == 0) return;
  ++resumes_;
  suspended_ = false;
  threads_.ResumeThread(thread_);
}

void TMouseThread::Suspend() {
  if (suspended_ || thread_ == 0) return;
  suspended_ = true;
  threads_.SuspendThread(thread_);
}

void TMouseThread::Execute() {
  while (!terminated_) {
    const std::uint32_t generation = resumes_;
    messages_.SendMessageW(owner_, kMouseRepeatMessage, 0, 0);
    WaitRate(generation);
  }
}

void TMouseThread::WaitRate(std::uint32_t generation) {
  const std::uint32_t start = ticks_.GetTickCount();
  for (;;) {
    if (terminated_ || resumes_ != generation) return;
    const std::int32_t rate = rate_;
    const std::uint32_t now = ticks_.GetTickCount();
    if (RateElapsed(start, now, rate)) return;
    const std::uint32_t left = static_cast<std::uint32_t>(rate) - (now - start);
    threads_.Sleep(std::min(left, kWaitSliceMs));
  }
}

}  // namespace velmora
