// The main window's and the panels' messages.
#include <windowsx.h>

#include "app/MainWindowLayout.h"
#include "win32/Win32GuardedCall.h"
#include "win32/Win32MainWindow.h"
#include "win32/Win32PictureDrawing.h"
#include "win32/Win32SystemInfo.h"
#include "win32/Win32WindowBinding.h"

namespace velmora::win32 {
namespace {

bool Inside(const layout::Placement& place, int x, int y) {
  return x >= place.left && y >= place.top && x < place.left + place.width &&
         y < place.top + place.height;
}

// GetSysColor's COLORREF is the same 0x00BBGGRR as the pictures'.
ColorRef FaceColour() {
  return static_cast<ColorRef>(::GetSysColor(COLOR_BTNFACE));
}

}  // namespace

// Explorer broadcasts "TaskbarCreated" to every top-level window when it starts again (after a
// crash or an update); the icons it showed are gone. The program runs elevated, and from Vista
// on User Interface Privilege Isolation drops a registered message from the less privileged
// Explorer unless it is let through (ChangeWindowMessageFilter, absent before Vista).
UINT Win32MainWindow::RegisterTaskbarCreated() {
  const UINT message = ::RegisterWindowMessageA("TaskbarCreated");
  using ChangeWindowMessageFilterFn = BOOL(WINAPI*)(UINT, DWORD);
  constexpr DWORD kMsgFltAdd = 1;
  const auto allow = reinterpret_cast<ChangeWindowMessageFilterFn>(
      ExportAddress(reinterpret_cast<ModuleHandle>(::GetModuleHandleA("user32.dll")),
                    "ChangeWindowMessageFilter"));
  if (message != 0 && allow != nullptr) allow(message, kMsgFltAdd);
  return message;
}

LRESULT CALLBACK Win32MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  auto* self = BoundObject<Win32MainWindow>(window, message, lParam);
  if (self == nullptr || self->window_ != window) {
    return ::DefWindowProcA(window, message, wParam, lParam);
  }
  return self->Handle(message, wParam, lParam);
}

LRESULT CALLBACK Win32MainWindow::TrayWindowProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  auto* self = BoundObject<Win32MainWindow>(window, message, lParam);
  if (self == nullptr || self->trayWindow_ != window || message != kTrayCallbackMessage) {
    return ::DefWindowProcA(window, message, wParam, lParam);
  }
  self->TrayCallback(lParam);
  return 0;
}

// A panel's background is erased only while it is not double-buffered; its button covers it.
LRESULT CALLBACK Win32MainWindow::PanelProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  if (message == WM_ERASEBKGND && ::GetWindowLongPtrA(window, GWLP_USERDATA) != 0) return 1;
  return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT Win32MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == taskbarCreated_ && taskbarCreated_ != 0) {
    if (events_ != nullptr) CallGuarded([this] { events_->TaskbarCreated(); });
    return 0;
  }
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers the whole client area
    case WM_SYSCOLORCHANGE:
      PicturesChanged();  // the strip beyond the pictures has the button-face colour
      break;
    case WM_SHOWWINDOW:
      // A window hidden to the tray paints nothing: it does not keep its composed frame resident.
      if (wParam == FALSE) PicturesChanged();
      break;
    case WM_LBUTTONDOWN:
      MouseDown(TMouseButton::mbLeft, lParam);
      return 0;
    case WM_RBUTTONDOWN:
      MouseDown(TMouseButton::mbRight, lParam);
      return 0;
    case WM_MBUTTONDOWN:
      MouseDown(TMouseButton::mbMiddle, lParam);
      return 0;
    case WM_ACTIVATE:
      Activated(wParam);
      break;
    case WM_SETFOCUS:
      FocusReturned();
      return 0;
    case WM_KEYDOWN:
      if (KeyDown(wParam, lParam)) return 0;
      break;
    case WM_SYSCOMMAND:
      // The program minimises as a whole: the application window goes to its taskbar button
      // and the system hides the windows it owns until it is restored.
      if ((wParam & 0xFFF0) == SC_MINIMIZE && applicationWindow_ != nullptr) {
        MinimizeApplication();
        return 0;
      }
      break;
    case kApplicationRestoredMessage:
      if (hiddenWithApplication_) ::ShowWindow(window_, SW_SHOWNA);
      hiddenWithApplication_ = false;
      if (::GetActiveWindow() == applicationWindow_) ::SetActiveWindow(window_);
      return 0;
    case WM_CLOSE:
      CallGuarded([this] { Close(); });
      return 0;
    case WM_QUERYENDSESSION:
      if (events_ == nullptr) break;
      return CallGuarded<LRESULT>(TRUE, [this] { return events_->QueryEndSession(); });
    case WM_ENDSESSION:
      if (events_ != nullptr) CallGuarded([&] { events_->EndSession(wParam != FALSE); });
      return 0;
    case WM_POWERBROADCAST:
      // Every broadcast ends here: none goes on to the default processing.
      if (events_ == nullptr) return 0;
      return CallGuarded<LRESULT>(0, [&] { return events_->PowerBroadcast(wParam); });
    default:
      break;
  }
  return ::DefWindowProcA(window_, message, wParam, lParam);
}

// Background and inactive Apply composed in memory; the inactive Apply is drawn like a
// transparent picture, its pure blue showing the background under it.
void Win32MainWindow::Paint() {
  PAINTSTRUCT paint;
  const HDC dc = ::BeginPaint(window_, &paint);
  RECT client{};
  ::GetClientRect(window_, &client);
  const DibFrame& frame = ComposedFrame(client.right, client.bottom);
  if (doubleBuffered_) {
    frame.BlitBuffered(dc, 0, 0);
  } else {
    frame.Blit(dc, 0, 0);
  }
  PaintFocusMark(dc);
  ::EndPaint(window_, &paint);
}

// The frame is composed again only when it is gone or the client area no longer has its size.
const DibFrame& Win32MainWindow::ComposedFrame(int width, int height) {
  if (frame_ && frame_->Width() == width && frame_->Height() == height) return *frame_;
  frame_.emplace(width, height, FaceColour());
  frame_->Draw(background_, layout::kBackgroundImage.left, layout::kBackgroundImage.top, false);
  if (nonApplyVisible_) {
    frame_->Draw(nonApply_, layout::kNonApplyImage.left, layout::kNonApplyImage.top, true);
  }
  return *frame_;
}

// A press on either picture; the panels are windows of their own and take their presses.
void Win32MainWindow::MouseDown(TMouseButton button, LPARAM lParam) {
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  const bool onNonApply = nonApplyVisible_ && Inside(layout::kNonApplyImage, x, y);
  if (!onNonApply && !Inside(layout::kBackgroundImage, x, y)) return;
  if (events_ != nullptr) CallGuarded([&] { events_->BackgroundImageMouseDown(button); });
}

// Windows hides the windows an owner owns while it is minimised and shows them again when it is
// restored; where the system leaves an owned window up (Wine does), this window hides itself and
// is shown again when the application window reports its restoration.
void Win32MainWindow::MinimizeApplication() {
  ::ShowWindow(applicationWindow_, SW_MINIMIZE);
  if (!::IsWindowVisible(window_)) return;
  ::ShowWindow(window_, SW_HIDE);
  hiddenWithApplication_ = true;
}

// Every activation after the first showing; the form decides what it means.
void Win32MainWindow::Activated(WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE || !shown_ || events_ == nullptr) return;
  CallGuarded([this] { events_->FormActivate(); });
}

void Win32MainWindow::TrayCallback(LPARAM mouseMessage) {
  if (events_ == nullptr) return;
  switch (static_cast<UINT>(mouseMessage)) {
    case WM_RBUTTONUP:
      PopupTrayMenu();
      break;
    case WM_LBUTTONDBLCLK:
      CallGuarded([this] { events_->RestoreFromTray(); });
      break;
    default:
      break;
  }
}

// The menu belongs to a window in the foreground, or it would not close when the user clicks
// elsewhere; the posted WM_NULL lets it close properly (the shell's documented workaround).
void Win32MainWindow::PopupTrayMenu() {
  const HMENU menu = ::CreatePopupMenu();
  if (menu == nullptr) return;
  ::AppendMenuW(menu, MF_STRING, kTrayRestoreCommand, restoreCaption_.c_str());
  ::AppendMenuW(menu, MF_STRING, kTrayCloseCommand, exitCaption_.c_str());
  POINT at{};
  ::GetCursorPos(&at);
  ::SetForegroundWindow(trayWindow_);
  const UINT chosen = static_cast<UINT>(
      ::TrackPopupMenu(menu, TPM_RIGHTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x,
                       at.y, 0, trayWindow_, nullptr));
  ::PostMessageA(trayWindow_, WM_NULL, 0, 0);
  ::DestroyMenu(menu);
  if (chosen == kTrayRestoreCommand) CallGuarded([this] { events_->RestoreFromTray(); });
  if (chosen == kTrayCloseCommand) CallGuarded([this] { events_->vmTrayCloseClick(); });
}

}  // namespace velmora::win32
