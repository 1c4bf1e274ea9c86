// Worker threads (kernel32): CreateThread with CREATE_SUSPENDED, ResumeThread, SuspendThread,
// Sleep, and waiting for a thread's end. A suspended thread stops wherever it is, between any
// two instructions; ResumeThread lets it go on from there.
#pragma once

#include <cstdint>
#include <functional>

#include "ports/WinTypes.h"

namespace velmora {

using ThreadHandle = Handle;  // 0 when the thread could not be created

class IThreads {
 public:
  virtual ~IThreads() = default;

  // A new thread that runs body once it is first resumed; 0 when none could be created.
  virtual ThreadHandle CreateSuspendedThread(std::function<void()> body) = 0;
  // Called only on a suspended thread, and only as often as SuspendThread was (counts nest).
  virtual void ResumeThread(ThreadHandle thread) = 0;
  virtual void SuspendThread(ThreadHandle thread) = 0;
  // Blocks the calling thread.
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Waits until the (running) thread has returned from its body, meanwhile still delivering
  // messages that other threads send to the calling thread's windows, then closes the handle.
  virtual void WaitForThreadAndClose(ThreadHandle thread) = 0;
};

}  // namespace velmora
