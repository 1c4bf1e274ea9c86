#include "win32/Win32OverlayForm.h"

#include "app/OverlayForm.h"
#include "win32/Win32GuardedCall.h"
#include "win32/Win32WindowBinding.h"

namespace velmora::win32 {
namespace {

constexpr int kClientWidth = 303;
constexpr int kClientHeight = 180;
constexpr UINT_PTR kTimer1 = 1;
constexpr COLORREF kTransparentColour = RGB(0, 0, 255);

// WS_EX_LAYERED and SetLayeredWindowAttributes exist from Windows 2000 on; the 9x family has
// neither, and there the window simply stays blue for its few seconds.
void MakeBlueTransparent(HWND window) {
  using SetLayeredAttributes = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
  const auto set = reinterpret_cast<SetLayeredAttributes>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("user32.dll"), "SetLayeredWindowAttributes")));
  if (set == nullptr) return;
  ::SetWindowLongA(window, GWL_EXSTYLE, ::GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_LAYERED);
  set(window, kTransparentColour, 0, LWA_COLORKEY);
}

void RegisterOverlayClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSA existing{};
  if (::GetClassInfoA(instance, kOverlayFormClass, &existing)) return;
  WNDCLASSA overlay{};
  overlay.lpfnWndProc = procedure;
  overlay.hInstance = instance;
  overlay.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  // The brush lives as long as the process: the class keeps using it.
  overlay.hbrBackground = ::CreateSolidBrush(kTransparentColour);
  overlay.lpszClassName = kOverlayFormClass;
  ::RegisterClassA(&overlay);
}

}  // namespace

Win32OverlayForm::Win32OverlayForm(HINSTANCE instance, HWND owner) : owner_(owner) {
  RegisterOverlayClass(instance, &WindowProc);
  const int left = (::GetSystemMetrics(SM_CXSCREEN) - kClientWidth) / 2;
  const int top = (::GetSystemMetrics(SM_CYSCREEN) - kClientHeight) / 2;
  window_ = ::CreateWindowExA(WS_EX_TOOLWINDOW, kOverlayFormClass, "Form1", WS_POPUP, left, top,
                              kClientWidth, kClientHeight, owner, nullptr, instance, this);
  if (window_ == nullptr) return;
  MakeBlueTransparent(window_);
  // The form's font; nothing on the form draws text.
  font_ = ::CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, "Tahoma");
  timerRunning_ = ::SetTimer(window_, kTimer1, kOverlayTimerIntervalMs, nullptr) != 0;
}

Win32OverlayForm::~Win32OverlayForm() {
  if (window_ != nullptr) {
    if (timerRunning_) ::KillTimer(window_, kTimer1);
    ::SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
  }
  if (font_ != nullptr) ::DeleteObject(font_);
}

LRESULT CALLBACK Win32OverlayForm::WindowProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  auto* self = BoundObject<Win32OverlayForm>(window, message, lParam);
  if (self != nullptr && message == WM_TIMER && wParam == kTimer1) {
    CallGuarded([self] { self->Timer1Timer(); });
    return 0;
  }
  if (self != nullptr && message == WM_CLOSE) {
    self->CloseForm();
    return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

void Win32OverlayForm::Timer1Timer() {
  if (!velmora::Timer1Timer()) return;
  ::KillTimer(window_, kTimer1);
  timerRunning_ = false;
  CloseForm();
}

// Closing hides the form and ends a modal loop; the window itself goes with the object.
void Win32OverlayForm::CloseForm() {
  closed_ = true;
  ::ShowWindow(window_, SW_HIDE);
}

void Win32OverlayForm::ShowModal(const MessageFilter* filter) {
  // Without its timer nothing would ever close the form.
  if (window_ == nullptr || !timerRunning_) return;
  closed_ = false;
  const bool ownerWasEnabled = owner_ != nullptr && ::EnableWindow(owner_, FALSE) == FALSE;
  ::ShowWindow(window_, SW_SHOWNORMAL);
  ::UpdateWindow(window_);
  MSG message;
  while (!closed_) {
    if (::GetMessageA(&message, nullptr, 0, 0) <= 0) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    const QueuedMessage queued{reinterpret_cast<WindowHandle>(message.hwnd), message.message,
                               message.wParam, message.lParam};
    if (filter != nullptr && *filter && CallGuarded(false, [&] { return (*filter)(queued); })) {
      continue;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  if (ownerWasEnabled) ::EnableWindow(owner_, TRUE);
  ::ShowWindow(window_, SW_HIDE);
}

}  // namespace velmora::win32
