// minimal_tray.exe: the floor for the resident cost of a tray program. One top-level window,
// one notification-area icon, nothing else: no resources, no skin, no timer, no driver. It is
// linked like Velmora.exe (C and C++ runtimes static), so what it costs is what any program of
// this shape costs on the same system, and Velmora's figures can be read against it.
//
// It shows its window, adds the icon and hides the window, as Velmora does when it goes to the
// tray, then waits in its message loop. A double click on the icon or the tray's WM_CLOSE ends
// it; so does WM_CLOSE sent to the window.
//
//   minimal_tray.exe
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

namespace {

constexpr UINT kTrayCallback = WM_APP + 1;
constexpr UINT kTrayIconId = 1;
constexpr wchar_t kClassName[] = L"VelmoraMinimalTray";

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kTrayCallback:
      if (LOWORD(lParam) == WM_LBUTTONDBLCLK) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

bool AddTrayIcon(HWND window, NOTIFYICONDATAW& icon) {
  icon.cbSize = NOTIFYICONDATAW_V1_SIZE;
  icon.hWnd = window;
  icon.uID = kTrayIconId;
  icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  icon.uCallbackMessage = kTrayCallback;
  icon.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  lstrcpynW(icon.szTip, L"minimal tray", 64);
  return Shell_NotifyIconW(NIM_ADD, &icon) != FALSE;
}

HWND CreateMainWindow(HINSTANCE instance) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassW(&windowClass)) return nullptr;
  // The size of Velmora's window.
  return CreateWindowExW(0, kClassName, L"minimal tray", WS_POPUP | WS_SYSMENU, CW_USEDEFAULT,
                         CW_USEDEFAULT, 303, 180, nullptr, nullptr, instance, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  HWND window = CreateMainWindow(instance);
  if (!window) return 1;
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  NOTIFYICONDATAW icon{};
  if (!AddTrayIcon(window, icon)) return 2;
  ShowWindow(window, SW_HIDE);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  Shell_NotifyIconW(NIM_DELETE, &icon);
  return 0;
}
