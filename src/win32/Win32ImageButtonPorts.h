// What the image button needs from Windows besides its window: its repeat thread (kernel32
// threads), the synchronous delivery of the repeat message (SendMessageW from the worker), and
// pictures made from bitmaps.
#pragma once

#include <windows.h>

#include "controls/Picture.h"
#include "ports/SendMessagePort.h"
#include "ports/ThreadPort.h"

namespace velmora::win32 {

class Win32Threads : public IThreads {
 public:
  ThreadHandle CreateSuspendedThread(std::function<void()> body) override;
  void ResumeThread(ThreadHandle thread) override;
  void SuspendThread(ThreadHandle thread) override;
  void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }
  void WaitForThreadAndClose(ThreadHandle thread) override;
};

class Win32SentMessages : public ISentMessages {
 public:
  std::intptr_t SendMessageW(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
};

// The pixels of a device-dependent or DIB-section bitmap (for example from LoadBitmap); an empty
// picture when the bitmap cannot be read.
TPicture PictureFromBitmap(HBITMAP bitmap);

}  // namespace velmora::win32
