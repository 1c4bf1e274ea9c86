#include "platform/win32/Win32PlaceholderForms.h"

#include "app/InstanceProtocol.h"

namespace velmora::win32 {
namespace {

constexpr int kMainLeft = 193, kMainTop = 115, kClientWidth = 502, kClientHeight = 401;

LRESULT CALLBACK MainFormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      DrawTextA(dc, "Zelkor Velmora", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void RegisterFormClass(HINSTANCE instance, const char* name, WNDPROC procedure) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name;
  RegisterClassA(&windowClass);
}

}  // namespace

HWND CreatePlaceholderMainForm(HINSTANCE instance, HWND applicationWindow) {
  RegisterFormClass(instance, kMainFormClass, MainFormProc);
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT bounds{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&bounds, style, FALSE);
  HWND form = CreateWindowExA(0, kMainFormClass, kMainFormCaption, style, kMainLeft, kMainTop,
                              bounds.right - bounds.left, bounds.bottom - bounds.top,
                              applicationWindow, nullptr, instance, nullptr);
  ShowWindow(form, SW_SHOWNORMAL);
  UpdateWindow(form);
  return form;
}

HWND CreateHiddenOverlayForm(HINSTANCE instance) {
  RegisterFormClass(instance, kOverlayFormClass, DefWindowProcA);
  return CreateWindowExA(WS_EX_TOOLWINDOW, kOverlayFormClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                         nullptr, instance, nullptr);
}

MessageFilter PlaceholderInstanceFilter(HWND applicationWindow, HWND mainForm) {
  return [applicationWindow, mainForm](const QueuedMessage& message) {
    if (message.window != reinterpret_cast<WindowHandle>(applicationWindow)) return false;
    if (message.message == MSG_SHOW_INSTANCE) {
      ShowWindow(mainForm, SW_RESTORE);
      ShowWindow(mainForm, SW_SHOW);
      SetForegroundWindow(mainForm);
      return true;
    }
    if (message.message == MSG_SHUTDOWN_INSTANCE) {
      DestroyWindow(mainForm);
      return true;
    }
    return false;
  };
}

}  // namespace velmora::win32
