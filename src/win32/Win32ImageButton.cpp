#include "win32/Win32ImageButton.h"

#include <windowsx.h>

#include "win32/Win32PictureDrawing.h"
#include "win32/Win32WindowBinding.h"

namespace velmora::win32 {
namespace {

TShiftState ShiftState(WPARAM keys) {
  TShiftState shift = 0;
  if (keys & MK_SHIFT) shift |= ssShift;
  if (keys & MK_CONTROL) shift |= ssCtrl;
  if (keys & MK_LBUTTON) shift |= ssLeft;
  if (keys & MK_RBUTTON) shift |= ssRight;
  if (keys & MK_MBUTTON) shift |= ssMiddle;
  if (::GetKeyState(VK_MENU) < 0) shift |= ssAlt;
  return shift;
}

}  // namespace

bool Win32ImageButton::RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSW windowClass{};
  if (::GetClassInfoW(instance, kImageButtonClassW, &windowClass)) return true;
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.lpszClassName = kImageButtonClassW;
  return ::RegisterClassW(&windowClass) != 0;
}

Win32ImageButton::Win32ImageButton(HINSTANCE instance, HWND parent, int left, int top, int width,
                                   int height, int controlId) {
  RegisterWindowClass(instance);
  window_ = ::CreateWindowExW(
      0, kImageButtonClassW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, left, top, width, height,
      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance, this);
  button_ = std::make_unique<TImageEn>(TImageEnPorts{*this, threads_, ticks_, messages_});
  button_->SetHandle(reinterpret_cast<WindowHandle>(window_));
  button_->SetBounds(width, height);
}

// While the button (and with it the repeat thread) ends, button_ is already empty: a repeat
// message still on its way meets the default window procedure.
Win32ImageButton::~Win32ImageButton() {
  button_.reset();
  if (window_ != nullptr) {
    ::SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
  }
}

LRESULT CALLBACK Win32ImageButton::WindowProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  auto* self = BoundObject<Win32ImageButton>(window, message, lParam);
  // A parent destroyed first takes the button's window with it.
  if (message == WM_NCDESTROY && self != nullptr) self->window_ = nullptr;
  if (self == nullptr || !self->button_) return ::DefWindowProcW(window, message, wParam, lParam);
  return self->Handle(message, wParam, lParam);
}

LRESULT Win32ImageButton::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE:
      MouseMove();
      return 0;
    case WM_MOUSELEAVE:
      tracking_ = false;
      button_->HandleMessage(CM_MOUSELEAVE);
      return 0;
    case WM_LBUTTONDOWN:
      MouseDown(TMouseButton::mbLeft, wParam, lParam);
      return 0;
    case WM_RBUTTONDOWN:
      MouseDown(TMouseButton::mbRight, wParam, lParam);
      return 0;
    case WM_MBUTTONDOWN:
      MouseDown(TMouseButton::mbMiddle, wParam, lParam);
      return 0;
    case WM_LBUTTONUP:
      MouseUp(TMouseButton::mbLeft, wParam, lParam);
      return 0;
    case WM_RBUTTONUP:
      MouseUp(TMouseButton::mbRight, wParam, lParam);
      return 0;
    case WM_MBUTTONUP:
      MouseUp(TMouseButton::mbMiddle, wParam, lParam);
      return 0;
    case kMouseRepeatMessage:
      button_->HandleMessage(message);
      return 0;
    case WM_KEYDOWN:
      return ::SendMessageW(::GetAncestor(window_, GA_ROOT), message, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      ::InvalidateRect(::GetAncestor(window_, GA_ROOT), nullptr, FALSE);
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

void Win32ImageButton::ShowPicture(const IPictureCanvas& picture, int width, int height) {
  shown_ = &picture;
  if (window_ == nullptr) return;
  RECT client{};
  ::GetClientRect(window_, &client);
  if (client.right != width || client.bottom != height)
    ::SetWindowPos(window_, nullptr, 0, 0, width, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(window_, nullptr, FALSE);
}

void Win32ImageButton::Paint() {
  PAINTSTRUCT paint;
  const HDC dc = ::BeginPaint(window_, &paint);
  if (shown_ != nullptr) {
    DibFrame frame(shown_->Width(), shown_->Height(), kKeyColour);
    frame.Draw(*shown_, 0, 0, false);
    frame.Blit(dc, 0, 0);
  }
  ::EndPaint(window_, &paint);
}

// The first move over the button is its entering; TrackMouseEvent then posts WM_MOUSELEAVE once
// the mouse has left it.
void Win32ImageButton::MouseMove() {
  if (tracking_) return;
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof(track);
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = window_;
  tracking_ = ::TrackMouseEvent(&track) != FALSE;
  button_->HandleMessage(CM_MOUSEENTER);
}

void Win32ImageButton::MouseDown(TMouseButton button, WPARAM wParam, LPARAM lParam) {
  if (button == TMouseButton::mbLeft) ::SetCapture(window_);
  button_->MouseDown(button, ShiftState(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
}

void Win32ImageButton::MouseUp(TMouseButton button, WPARAM wParam, LPARAM lParam) {
  if (button == TMouseButton::mbLeft && ::GetCapture() == window_) ::ReleaseCapture();
  button_->MouseUp(button, ShiftState(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
}

void Win32ImageButton::SetName(const std::wstring& name) {
  ::SetWindowTextW(window_, name.c_str());
}

}  // namespace velmora::win32
