#include "platform/win32/Win32Application.h"

#include "app/InstanceProtocol.h"
#include "platform/win32/Win32PlaceholderForms.h"
#include "platform/win32/Win32Text.h"

namespace velmora::win32 {
namespace {

std::exception_ptr& ParkedException() {
  static std::exception_ptr parked;
  return parked;
}

LRESULT CALLBACK ApplicationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void Win32Application::ParkException(std::exception_ptr error) {
  if (!ParkedException()) ParkedException() = std::move(error);
}

Win32Application::~Win32Application() {
  for (HWND window : {overlayForm_, mainForm_, appWindow_}) {
    if (window != nullptr && IsWindow(window)) DestroyWindow(window);
  }
}

void Win32Application::Initialize() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ApplicationWindowProc;
  windowClass.hInstance = instance_;
  windowClass.lpszClassName = kApplicationWindowClass;
  RegisterClassA(&windowClass);
  // Hidden, zero-sized and never activated: it exists to be found and to receive the requests
  // of a later start.
  appWindow_ = CreateWindowExA(0, kApplicationWindowClass, "",
                               WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU |
                                   WS_MINIMIZEBOX,
                               0, 0, 0, 0, nullptr, nullptr, instance_, nullptr);
}

void Win32Application::SetTitle(const std::string& title) {
  title_ = title;
  SetWindowTextA(appWindow_, Utf8ToAnsi(title).c_str());
}

void Win32Application::CreateMainForm() {
  mainForm_ = CreatePlaceholderMainForm(instance_, appWindow_);
  filter_ = PlaceholderInstanceFilter(appWindow_, mainForm_);
}

void Win32Application::CreateOverlayForm() { overlayForm_ = CreateHiddenOverlayForm(instance_); }

void Win32Application::Run() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    const QueuedMessage queued{reinterpret_cast<WindowHandle>(message.hwnd), message.message,
                               message.wParam, message.lParam};
    if (filter_ && filter_(queued)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
    if (ParkedException()) {
      std::exception_ptr error = std::move(ParkedException());
      ParkedException() = nullptr;
      std::rethrow_exception(error);
    }
  }
}

void Win32Application::ShowException(const std::string& message) {
  MessageBoxA(nullptr, Utf8ToAnsi(message).c_str(), Utf8ToAnsi(title_).c_str(),
              MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

}  // namespace velmora::win32
