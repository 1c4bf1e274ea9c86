// The overlay form TForm1 on Windows: a borderless 303 x 180 popup painted pure blue, with pure
// blue declared transparent (a layered window with a colour key), so nothing of it can be seen.
// Timer1 runs from creation, once a second, and ticks the process-wide overlay countdown; when
// the countdown says so the timer stops and the form closes.
#pragma once

#include <windows.h>

#include "ports/ApplicationPort.h"

namespace velmora::win32 {

inline constexpr char kOverlayFormClass[] = "TForm1";

class Win32OverlayForm {
 public:
  // Created hidden; owner may be null. Timer1 starts now.
  Win32OverlayForm(HINSTANCE instance, HWND owner);
  ~Win32OverlayForm();
  Win32OverlayForm(const Win32OverlayForm&) = delete;
  Win32OverlayForm& operator=(const Win32OverlayForm&) = delete;

  HWND Window() const { return window_; }
  bool TimerRunning() const { return timerRunning_; }
  bool Closed() const { return closed_; }

  // Shows the form and runs its own message loop until the form closes, with the owner
  // disabled meanwhile. The loop applies the application's message filter (when given) as the
  // main loop does. A WM_QUIT ends the loop and is posted again for the main loop.
  void ShowModal(const MessageFilter* filter);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Timer1Timer();
  void CloseForm();

  HWND window_ = nullptr;
  HWND owner_ = nullptr;
  HFONT font_ = nullptr;
  bool timerRunning_ = false;
  bool closed_ = false;
};

}  // namespace velmora::win32
