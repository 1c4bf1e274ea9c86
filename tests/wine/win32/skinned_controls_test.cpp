// The notification-area icon, the timers and the picture button's window against Wine's shell32,
// user32 and kernel32: real Shell_NotifyIconW calls, real WM_TIMER, a real repeat thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "controls/TrayIconMod.h"
#include "win32/Win32ImageButton.h"
#include "win32/Win32ShellTray.h"
#include "win32/Win32Timers.h"

namespace velmora::win32 {
namespace {

constexpr char kHostClass[] = "VelmoraControlsTestHost";
constexpr UINT kTrayMessage = WM_APP + 1;

HWND CreateHost(DWORD style) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kHostClass;
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, kHostClass, "host", style, 0, 0, 200, 200, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

// Runs the message loop of this thread for the given time.
void PumpFor(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

TEST(Win32ShellTray, AddsModifiesAndDeletesAnIcon) {
  const HWND host = CreateHost(WS_OVERLAPPEDWINDOW);
  ASSERT_NE(host, nullptr);
  Win32ShellTray shell;
  Win32Timers timers;
  {
    TTrayIconMod icon(shell, timers);
    icon.Window = reinterpret_cast<WindowHandle>(host);
    icon.CallbackMessage = kTrayMessage;
    icon.Icon = reinterpret_cast<IconHandle>(LoadIconA(nullptr, IDI_APPLICATION));
    // Longer than the 63 characters the tip field holds.
    icon.Hint = "Zelkor Velmora " + std::string(80, 'x');
    icon.SetVisible(true);
    EXPECT_TRUE(icon.Visible());
    EXPECT_FALSE(icon.Retrying());
    // The icon exists: the shell takes a change to it.
    EXPECT_TRUE(shell.Shell_NotifyIconW(win::kNimModify, icon.IconData()));
    icon.SetVisible(false);
    EXPECT_FALSE(icon.Visible());
    EXPECT_FALSE(shell.Shell_NotifyIconW(win::kNimModify, icon.IconData()));
    icon.SetVisible(true);
  }
  // Destroying the component took the icon away.
  NotifyIconData gone;
  gone.window = reinterpret_cast<WindowHandle>(host);
  gone.id = 1;
  gone.flags = win::kNifTip;
  EXPECT_FALSE(shell.Shell_NotifyIconW(win::kNimModify, gone));
  DestroyWindow(host);
}

TEST(Win32Timers, FiresFromTheMessageLoopUntilKilled) {
  Win32Timers timers;
  int ticks = 0;
  TimerId timer = 0;
  timer = timers.SetTimer(30, [&] {
    if (++ticks == 3) timers.KillTimer(timer);
  });
  ASSERT_NE(timer, 0u);
  PumpFor(400);
  EXPECT_EQ(ticks, 3);
  EXPECT_FALSE(timers.KillTimer(timer));
}

TEST(Win32ImageButton, PicturesClickAndRepeatThroughTheWindow) {
  const HWND host = CreateHost(WS_OVERLAPPEDWINDOW);
  ASSERT_NE(host, nullptr);
  Win32ImageButton control(GetModuleHandleA(nullptr), host, 10, 10, 5, 5, 100);
  ASSERT_NE(control.Window(), nullptr);
  TImageEn& button = control.Button();
  button.SetNormalPicture(TPicture(29, 29, 0x000000FF));
  button.SetDownPicture(TPicture(29, 29, 0x0000FF00));
  button.SetStatus(ImageEnNormal);
  RECT client{};
  GetClientRect(control.Window(), &client);
  EXPECT_EQ(client.right, 29);  // AutoSize took the picture's size

  int clicks = 0;
  std::vector<DWORD> repeats;
  button.OnClick = [&](TImageEn&) { ++clicks; };
  button.OnMouseRepeatClick = [&](TImageEn&) { repeats.push_back(GetTickCount()); };
  button.ClickRepeatRate = 100;
  SendMessageA(control.Window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  EXPECT_EQ(button.Picture(), button.DownPicture());
  PumpFor(450);
  SendMessageA(control.Window(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  EXPECT_EQ(clicks, 1);
  EXPECT_GE(repeats.size(), 3u);
  EXPECT_LE(repeats.size(), 6u);
  const std::size_t afterRelease = repeats.size();
  PumpFor(300);
  EXPECT_EQ(repeats.size(), afterRelease);

  SendMessageA(control.Window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(control.Window(), WM_LBUTTONUP, 0, MAKELPARAM(-4, 3));  // released outside
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(button.Picture(), button.NormalPicture());
  DestroyWindow(host);
}

TEST(Win32ImageButton, EndsARunningRepeatThreadWhenDestroyed) {
  const HWND host = CreateHost(WS_OVERLAPPEDWINDOW);
  int repeats = 0;
  {
    Win32ImageButton control(GetModuleHandleA(nullptr), host, 0, 0, 20, 20, 101);
    control.Button().OnMouseRepeatClick = [&](TImageEn&) { ++repeats; };
    SendMessageA(control.Window(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(2, 2));
    PumpFor(100);
  }
  EXPECT_GE(repeats, 1);
  DestroyWindow(host);
}

TEST(PictureFromBitmap, ReadsPixelsAsColorRefs) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = 2;
  info.bmiHeader.biHeight = -1;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  static_cast<DWORD*>(bits)[0] = 0x000000FF;  // blue in a DIB
  static_cast<DWORD*>(bits)[1] = 0x00FF0000;  // red
  const TPicture picture = PictureFromBitmap(bitmap);
  ASSERT_EQ(picture.Width(), 2);
  EXPECT_EQ(picture.Pixel(0, 0), 0x00FF0000u);  // COLORREF blue
  EXPECT_EQ(picture.Pixel(1, 0), 0x000000FFu);  // COLORREF red
  DeleteObject(bitmap);
}

}  // namespace
}  // namespace velmora::win32
