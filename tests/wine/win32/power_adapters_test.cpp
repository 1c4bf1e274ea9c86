// The token, region and system-times adapters against Wine's real advapi32, gdi32, user32 and
// kernel32, driven through the classes that use them.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "win32/Win32Regions.h"
#include "win32/Win32SystemInfo.h"
#include "win32/Win32Token.h"
#include "power/CpuUsage.h"
#include "power/ImageControl.h"
#include "power/ImageRuns.h"
#include "power/Privilege.h"

namespace velmora::win32 {
namespace {

// The attributes of the shutdown privilege in this process's token; 0xFFFFFFFF when the token
// does not list it.
DWORD ShutdownPrivilegeAttributes() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0xFFFFFFFF;
  LUID shutdown{};
  LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &shutdown);
  DWORD size = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  DWORD attributes = 0xFFFFFFFF;
  if (GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
    const auto* list = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < list->PrivilegeCount; ++i) {
      const LUID& luid = list->Privileges[i].Luid;
      if (luid.LowPart == shutdown.LowPart && luid.HighPart == shutdown.HighPart) {
        attributes = list->Privileges[i].Attributes;
      }
    }
  }
  CloseHandle(token);
  return attributes;
}

TEST(Win32Token, ShutdownPrivilegeIsOnForTheObjectsLifetimeOnly) {
  ASSERT_NE(ShutdownPrivilegeAttributes(), 0xFFFFFFFFu);
  ASSERT_EQ(ShutdownPrivilegeAttributes() & SE_PRIVILEGE_ENABLED, 0u);
  Win32Token tokens;
  {
    TPrivilege privilege(tokens);
    EXPECT_TRUE(privilege.Enabled);
    EXPECT_EQ(ShutdownPrivilegeAttributes() & SE_PRIVILEGE_ENABLED,
              static_cast<DWORD>(SE_PRIVILEGE_ENABLED));
  }
  EXPECT_EQ(ShutdownPrivilegeAttributes() & SE_PRIVILEGE_ENABLED, 0u);
}

TEST(Win32Token, UnknownPrivilegeNameIsRefusedByTheLookup) {
  Win32Token tokens;
  Luid luid;
  EXPECT_FALSE(tokens.LookupPrivilegeValueA("", "SeNoSuchPrivilege", luid));
  EXPECT_TRUE(tokens.LookupPrivilegeValueA("", "SeShutdownPrivilege", luid));
  EXPECT_NE(luid.LowPart, 0u);
}

TEST(Win32Regions, ShapedWindowHasHolesExactlyAtTheKeyPixels) {
  const HWND window = CreateWindowExA(0, "STATIC", "shape", WS_OVERLAPPEDWINDOW, 0, 0, 40, 30,
                                      nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  PixelPicture picture(8, 4, 0x808080);
  for (int x = 5; x < 8; ++x) picture.SetPixel(x, 0, kPureBlue);  // up to the right edge
  picture.SetPixel(0, 3, kPureBlue);
  picture.SetPixel(2, 2, 0xFE0000);  // not the key
  Win32Regions regions;
  TImageControl images(regions);
  images.ShapeForm(reinterpret_cast<WindowHandle>(window), picture, images.KeyColor);

  EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_CAPTION, 0);
  const HRGN shape = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(GetWindowRgn(window, shape), COMPLEXREGION);
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) {
      EXPECT_EQ(PtInRegion(shape, x, y) != FALSE, picture.Pixel(x, y) != kPureBlue)
          << x << "," << y;
    }
  }
  EXPECT_FALSE(PtInRegion(shape, 8, 1));  // outside the picture
  DeleteObject(shape);
  DestroyWindow(window);
}

TEST(Win32SystemInfo, GetSystemTimesIsBoundAndGivesAPercentage) {
  Win32SystemInfo system;
  TCpuUsage usage(system);
  ASSERT_TRUE(usage.HasSystemTimes());
  Sleep(50);
  EXPECT_LE(usage.GetUsage(), 100u);
  SystemTimes times;
  ASSERT_TRUE(system.GetSystemTimes(
      system.GetProcAddress(system.GetModuleHandleA("Kernel32.DLL"), "GetSystemTimes"), times));
  EXPECT_GE(times.kernel, times.idle);
}

}  // namespace
}  // namespace velmora::win32
