// The picture button as a child window: a thin window around the portable TImageEn. It paints
// the button's current picture, turns mouse messages into the button's mouse-down and mouse-up
// (a left press captures the mouse, so a release outside still arrives), reports the mouse
// entering and leaving (TrackMouseEvent), and hands the repeat message to the button. It can
// hold the keyboard focus: its keys go to the top-level window, which moves the focus and
// presses buttons, and a focus change makes that window paint its focus mark anew. Its window
// text is the name screen readers announce (a Unicode window, so that Chinese names survive any
// code page).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "controls/ImageEn.h"
#include "win32/Win32ImageButtonPorts.h"
#include "win32/Win32Timers.h"

namespace velmora::win32 {

inline constexpr char kImageButtonClass[] = "TImageEn";
inline constexpr wchar_t kImageButtonClassW[] = L"TImageEn";

class Win32ImageButton : private IPictureDisplay {
 public:
  // Registers the window class; true when it is registered (also when it already was).
  static bool RegisterWindowClass(HINSTANCE instance);

  // A visible child of parent at (left, top); AutoSize resizes it to the first picture shown.
  Win32ImageButton(HINSTANCE instance, HWND parent, int left, int top, int width, int height,
                   int controlId);
  // The repeat thread ends first, then the window goes.
  ~Win32ImageButton() override;
  Win32ImageButton(const Win32ImageButton&) = delete;
  Win32ImageButton& operator=(const Win32ImageButton&) = delete;

  HWND Window() const { return window_; }
  TImageEn& Button() { return *button_; }
  // The name screen readers announce.
  void SetName(const std::wstring& name);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void ShowPicture(const IPictureCanvas& picture, int width, int height) override;
  void Paint();
  void MouseMove();
  void MouseDown(TMouseButton button, WPARAM wParam, LPARAM lParam);
  void MouseUp(TMouseButton button, WPARAM wParam, LPARAM lParam);

  Win32Threads threads_;
  Win32TickCount ticks_;
  Win32SentMessages messages_;
  HWND window_ = nullptr;
  const IPictureCanvas* shown_ = nullptr;
  bool tracking_ = false;  // a TME_LEAVE request is pending: the mouse is over the button
  std::unique_ptr<TImageEn> button_;
};

}  // namespace velmora::win32
