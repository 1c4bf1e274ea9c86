// The skinned main window against Wine's user32 and gdi32: its windows and layout, what its
// messages ask of the form, how it paints its two pictures, and the framework around it.
#include <gtest/gtest.h>
#include <oleacc.h>
#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "app/InstanceProtocol.h"
#include "app/MainWindowLayout.h"
#include "win32/Win32Application.h"
#include "win32/Win32GuardedCall.h"
#include "win32/Win32MainWindow.h"

namespace velmora::win32 {
namespace {

// Records what the window asks of the form.
class RecordingEvents : public IMainWindowEvents {
 public:
  void FormShow() override { calls.push_back("FormShow"); }
  void FormActivate() override { calls.push_back("FormActivate"); }
  void FormClose() override { calls.push_back("FormClose"); }
  void BackgroundImageMouseDown(TMouseButton button) override {
    calls.push_back(button == TMouseButton::mbLeft    ? "MouseDown left"
                    : button == TMouseButton::mbRight ? "MouseDown right"
                                                      : "MouseDown middle");
  }
  void RestoreFromTray() override { calls.push_back("RestoreFromTray"); }
  void vmTrayCloseClick() override { calls.push_back("vmTrayCloseClick"); }
  std::intptr_t QueryEndSession() override {
    calls.push_back("QueryEndSession");
    return queryAnswer;
  }
  std::intptr_t PowerBroadcast(std::uintptr_t event) override {
    calls.push_back("PowerBroadcast " + std::to_string(event));
    return 0;
  }
  void TaskbarCreated() override { calls.push_back("TaskbarCreated"); }
  void EndSession(bool ending) override { calls.push_back(ending ? "EndSession 1" : "EndSession 0"); }
  bool KeyDown(std::uint32_t key, bool shift, bool repeat) override {
    calls.push_back("KeyDown " + std::to_string(key) + (shift ? " shift" : "") +
                    (repeat ? " repeat" : ""));
    return true;
  }

  std::vector<std::string> calls;
  std::intptr_t queryAnswer = 1;
};

HINSTANCE Module() {
  return GetModuleHandleA(nullptr);
}

LPARAM At(int x, int y) {
  return MAKELPARAM(x, y);
}

// Runs what waits in this thread's queue (a painting window keeps asking for WM_PAINT until it
// has painted); true when a WM_QUIT was among it.
bool DrainQuit() {
  bool quit = false;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = true;
      continue;
    }
    DispatchMessageA(&message);
  }
  return quit;
}

RECT WindowBoundsInParent(HWND child) {
  RECT bounds{};
  GetWindowRect(child, &bounds);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

TPicture Filled(int width, int height, ColorRef colour) {
  return TPicture(width, height, colour);
}

// The colour GDI shows at a client point of the window.
ColorRef PixelAt(HWND window, int x, int y) {
  const HDC dc = GetDC(window);
  const COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

// The width of an icon's image.
int IconWidth(HICON icon) {
  ICONINFO info{};
  if (icon == nullptr || !GetIconInfo(icon, &info)) return 0;
  BITMAP bitmap{};
  GetObjectA(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
  return bitmap.bmWidth;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DrainQuit();
    window.SetEvents(&events);
  }
  void TearDown() override { DrainQuit(); }

  Win32MainWindow window{Module(), nullptr};
  RecordingEvents events;
};

TEST_F(MainWindowTest, IsTheHiddenTvmMainFormWithTheLayoutsSizeAndPlace) {
  const HWND main = window.Window();
  ASSERT_NE(main, nullptr);
  char name[64] = {};
  GetClassNameA(main, name, sizeof(name));
  EXPECT_STREQ(name, "TvmMainForm");
  GetWindowTextA(main, name, sizeof(name));
  EXPECT_STREQ(name, "vmMainForm");
  EXPECT_FALSE(IsWindowVisible(main));
  RECT client{}, bounds{};
  GetClientRect(main, &client);
  GetWindowRect(main, &bounds);
  EXPECT_EQ(client.right, 502);
  EXPECT_EQ(client.bottom, 401);
  EXPECT_EQ(bounds.left, 193);
  EXPECT_EQ(bounds.top, 115);
  EXPECT_EQ(window.MainWindow(), reinterpret_cast<WindowHandle>(main));
  // The tray icon reports to a hidden window of its own, so that its menu's need for a
  // foreground window never activates the main window.
  const HWND tray = reinterpret_cast<HWND>(window.TrayWindow());
  ASSERT_NE(tray, nullptr);
  EXPECT_NE(tray, main);
  EXPECT_FALSE(IsWindowVisible(tray));
  // The title bar, taskbar and tray take the small icon, Alt+Tab the large one, each loaded at
  // its own size (this test program has no icon group: the system's application icon).
  const auto small = reinterpret_cast<HICON>(SendMessageA(main, WM_GETICON, ICON_SMALL, 0));
  const auto large = reinterpret_cast<HICON>(SendMessageA(main, WM_GETICON, ICON_BIG, 0));
  EXPECT_EQ(window.TrayIconImage(), reinterpret_cast<IconHandle>(small));
  EXPECT_EQ(IconWidth(small), GetSystemMetrics(SM_CXSMICON));
  EXPECT_EQ(IconWidth(large), GetSystemMetrics(SM_CXICON));
}

TEST_F(MainWindowTest, SixPanelsEachCarryAnImageButtonWhereTheLayoutPutsThem) {
  const struct {
    MainButton button;
    layout::Placement place;
    bool visible;
  } expected[] = {
      {MainButton::kClose, layout::kCloseBtnPanel, true},
      {MainButton::kMinimize, layout::kMinimizeBtnPanel, true},
      {MainButton::kDisable, layout::kDisableBtnPanel, true},
      {MainButton::kApply, layout::kApplyBtnPanel, false},
      {MainButton::kFast, layout::kFastBtnPanel, true},
      {MainButton::kRegular, layout::kRegularBtnPanel, true},
  };
  for (const auto& panel : expected) {
    SCOPED_TRACE(panel.place.left * 1000 + panel.place.top);
    const HWND handle = reinterpret_cast<HWND>(window.PanelWindow(panel.button));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(GetParent(handle), window.Window());
    const RECT bounds = WindowBoundsInParent(handle);
    EXPECT_EQ(bounds.left, panel.place.left);
    EXPECT_EQ(bounds.top, panel.place.top);
    EXPECT_EQ(bounds.right - bounds.left, panel.place.width);
    EXPECT_EQ(bounds.bottom - bounds.top, panel.place.height);
    EXPECT_EQ(window.PanelVisible(panel.button), panel.visible);
    // The button's window is the panel's child and the button knows it.
    TImageEn& button = window.Button(panel.button);
    const HWND buttonWindow = reinterpret_cast<HWND>(button.Handle());
    EXPECT_EQ(GetParent(buttonWindow), handle);
    EXPECT_EQ(button.ClickRepeatRate, layout::kClickRepeatRate);
    EXPECT_EQ(button.DelayBeforeRepeat, layout::kDelayBeforeRepeat);
  }
}

TEST_F(MainWindowTest, PanelsMoveAndHideWhileTheWindowIsHidden) {
  window.SetPanelTop(MainButton::kRegular, layout::kRegularOnlyRegularTop);
  const RECT moved =
      WindowBoundsInParent(reinterpret_cast<HWND>(window.PanelWindow(MainButton::kRegular)));
  EXPECT_EQ(moved.left, layout::kRegularBtnPanel.left);
  EXPECT_EQ(moved.top, layout::kFastBtnPanel.top);
  window.SetPanelVisible(MainButton::kFast, false);
  window.SetPanelVisible(MainButton::kApply, true);
  EXPECT_FALSE(window.PanelVisible(MainButton::kFast));
  EXPECT_TRUE(window.PanelVisible(MainButton::kApply));
  EXPECT_FALSE(IsWindowVisible(window.Window()));
}

TEST_F(MainWindowTest, PaintsTheBackgroundAndTheInactiveApplyWithItsBlueTransparent) {
  constexpr ColorRef kBackground = RGB(10, 120, 30), kNonApply = RGB(200, 40, 90);
  window.ShowBackground(Filled(500, 400, kBackground));
  std::vector<ColorRef> pixels(58 * 27, kNonApply);
  pixels[0] = RGB(0, 0, 255);  // its top-left pixel is key blue
  window.ShowNonApplyPicture(TPicture(58, 27, pixels));
  // Nothing of the panels on the spots looked at.
  for (int b = 0; b < kMainButtonCount; ++b)
    window.SetPanelVisible(static_cast<MainButton>(b), false);
  for (const bool buffered : {false, true}) {
    SCOPED_TRACE(buffered ? "double-buffered" : "direct");
    window.SetDoubleBuffered(buffered);
    ShowWindow(window.Window(), SW_SHOWNORMAL);
    InvalidateRect(window.Window(), nullptr, FALSE);
    UpdateWindow(window.Window());
    EXPECT_EQ(PixelAt(window.Window(), 5, 5), kBackground);
    EXPECT_EQ(PixelAt(window.Window(), 340, 307), kNonApply);
    EXPECT_EQ(PixelAt(window.Window(), 339, 306), kBackground) << "key blue must not show";
    // The strip of the client area beyond the 500 x 400 picture.
    EXPECT_EQ(PixelAt(window.Window(), 501, 10), GetSysColor(COLOR_BTNFACE));
    window.SetNonApplyVisible(false);
    UpdateWindow(window.Window());
    EXPECT_EQ(PixelAt(window.Window(), 340, 307), kBackground);
    EXPECT_FALSE(window.NonApplyVisible());
    window.SetNonApplyVisible(true);
  }
  // A new picture replaces what the earlier paints composed.
  constexpr ColorRef kNewBackground = RGB(90, 20, 160);
  window.ShowBackground(Filled(500, 400, kNewBackground));
  UpdateWindow(window.Window());
  EXPECT_EQ(PixelAt(window.Window(), 5, 5), kNewBackground);
  EXPECT_EQ(PixelAt(window.Window(), 339, 306), kNewBackground) << "key blue must not show";
  EXPECT_EQ(PixelAt(window.Window(), 340, 307), kNonApply);
}

// Pixels of the window's top row of a rectangle around the panel that differ from the plain
// background: the focus mark's dots.
int MarkDots(HWND main, HWND panel, ColorRef background) {
  const RECT around = WindowBoundsInParent(panel);
  int dots = 0;
  for (int x = around.left - 2; x < around.right + 2; ++x) {
    if (PixelAt(main, x, around.top - 2) != background) ++dots;
  }
  return dots;
}

TEST_F(MainWindowTest, AFocusedButtonShowsAMarkSendsItsKeysAndIsNamedForScreenReaders) {
  constexpr ColorRef kBackground = RGB(10, 120, 30);
  window.ShowBackground(Filled(500, 400, kBackground));
  const HWND main = window.Window();
  ShowWindow(main, SW_SHOWNORMAL);
  SetForegroundWindow(main);
  const HWND disable = reinterpret_cast<HWND>(window.PanelWindow(MainButton::kDisable));
  const HWND close = reinterpret_cast<HWND>(window.PanelWindow(MainButton::kClose));
  window.FocusButton(MainButton::kDisable);
  ASSERT_EQ(window.FocusedButton(), MainButton::kDisable);
  UpdateWindow(main);
  EXPECT_GT(MarkDots(main, disable, kBackground), 5);
  EXPECT_EQ(MarkDots(main, close, kBackground), 0);
  window.FocusButton(MainButton::kClose);
  UpdateWindow(main);
  EXPECT_EQ(MarkDots(main, disable, kBackground), 0);
  EXPECT_GT(MarkDots(main, close, kBackground), 5);

  const HWND button = GetFocus();
  SendMessageW(button, WM_KEYDOWN, VK_TAB, 1);
  SendMessageW(button, WM_KEYDOWN, VK_SPACE, 1 | (1L << 30));
  EXPECT_EQ(events.calls, (std::vector<std::string>{"KeyDown 9", "KeyDown 32 repeat"}));

  window.SetButtonName(MainButton::kClose, "关闭");
  CoInitialize(nullptr);
  IAccessible* accessible = nullptr;
  // IAccessible's identifier, written out: the one this MinGW's oleacc library exports differs.
  const GUID iidAccessible = {
      0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  ASSERT_EQ(AccessibleObjectFromWindow(button, OBJID_CLIENT, iidAccessible,
                                       reinterpret_cast<void**>(&accessible)),
            S_OK);
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  EXPECT_EQ(accessible->get_accName(self, &name), S_OK);
  EXPECT_EQ(std::wstring(name != nullptr ? name : L""), L"关闭");
  SysFreeString(name);
  accessible->Release();
  CoUninitialize();
}

TEST_F(MainWindowTest, PanelBackgroundIsLeftAloneOnlyWhenDoubleBuffered) {
  const HWND panel = reinterpret_cast<HWND>(window.PanelWindow(MainButton::kClose));
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, 40, 40);
  SelectObject(memory, bitmap);
  for (const bool buffered : {false, true}) {
    window.SetDoubleBuffered(buffered);
    RECT all{0, 0, 40, 40};
    const HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(memory, &all, red);
    DeleteObject(red);
    SendMessageA(panel, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
    EXPECT_EQ(GetPixel(memory, 5, 5), buffered ? RGB(255, 0, 0) : GetSysColor(COLOR_BTNFACE));
  }
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

TEST_F(MainWindowTest, PressesOnEitherPictureGoToTheForm) {
  const HWND main = window.Window();
  SendMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
  SendMessageA(main, WM_RBUTTONDOWN, MK_RBUTTON, At(350, 310));  // on NonApplyImage
  SendMessageA(main, WM_MBUTTONDOWN, MK_MBUTTON, At(499, 399));
  SendMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, At(501, 10));   // beyond both pictures
  SendMessageA(main, WM_RBUTTONDOWN, MK_RBUTTON, At(100, 400));  // likewise
  EXPECT_EQ(events.calls,
            (std::vector<std::string>{"MouseDown left", "MouseDown right", "MouseDown middle"}));
}

TEST_F(MainWindowTest, SessionMessagesAreTheFormsToAnswer) {
  const HWND main = window.Window();
  EXPECT_EQ(SendMessageA(main, WM_QUERYENDSESSION, 0, 0), 1);
  events.queryAnswer = 0;
  EXPECT_EQ(SendMessageA(main, WM_QUERYENDSESSION, 0, 0), 0);
  // PBT_APMQUERYSUSPEND (0): the default processing would answer TRUE; the form answers 0.
  EXPECT_EQ(SendMessageA(main, WM_POWERBROADCAST, 0, 0), 0);
  EXPECT_EQ(SendMessageA(main, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0), 0);
  EXPECT_EQ(SendMessageA(main, WM_ENDSESSION, FALSE, 0), 0);
  EXPECT_EQ(SendMessageA(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF), 0);
  // What Explorer broadcasts when it starts again.
  EXPECT_EQ(SendMessageA(main, RegisterWindowMessageA("TaskbarCreated"), 0, 0), 0);
  EXPECT_EQ(events.calls,
            (std::vector<std::string>{"QueryEndSession", "QueryEndSession", "PowerBroadcast 0",
                                      "PowerBroadcast 7", "EndSession 0", "EndSession 1",
                                      "TaskbarCreated"}));
}

TEST_F(MainWindowTest, TrayDoubleClickRestoresOtherTrayMouseDoesNothing) {
  const HWND tray = reinterpret_cast<HWND>(window.TrayWindow());
  SendMessageA(tray, kTrayCallbackMessage, 1, WM_LBUTTONDBLCLK);
  SendMessageA(tray, kTrayCallbackMessage, 1, WM_LBUTTONUP);
  SendMessageA(tray, kTrayCallbackMessage, 1, WM_MOUSEMOVE);
  // The main window does not take the tray's messages.
  SendMessageA(window.Window(), kTrayCallbackMessage, 1, WM_LBUTTONDBLCLK);
  EXPECT_EQ(events.calls, (std::vector<std::string>{"RestoreFromTray"}));
}

TEST_F(MainWindowTest, CloseRunsTheCloseEventOnceAndEndsTheLoop) {
  const HWND main = window.Window();
  SendMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(window.Closed());
  EXPECT_TRUE(DrainQuit());
  // The system's close command takes the same way; a closed window closes only once.
  SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  window.Close();
  EXPECT_EQ(events.calls, (std::vector<std::string>{"FormClose"}));
  EXPECT_TRUE(IsWindow(main)) << "the window goes with the application, not with the close";
}

TEST_F(MainWindowTest, TerminateEndsTheLoopWithoutClosing) {
  window.Terminate();
  EXPECT_TRUE(window.TerminateRequested());
  EXPECT_TRUE(DrainQuit());
  EXPECT_FALSE(window.Closed());
  EXPECT_TRUE(events.calls.empty());
}

TEST_F(MainWindowTest, ShowingRunsFormShowThenEveryActivationRunsFormActivate) {
  const HWND main = window.Window();
  SendMessageA(main, WM_ACTIVATE, WA_ACTIVE, 0);  // before the first showing: nothing
  EXPECT_TRUE(events.calls.empty());
  window.ShowMainForm();
  EXPECT_TRUE(IsWindowVisible(main));
  ASSERT_GE(events.calls.size(), 1u);
  EXPECT_EQ(events.calls.front(), "FormShow");
  events.calls.clear();
  SendMessageA(main, WM_ACTIVATE, WA_INACTIVE, 0);
  SendMessageA(main, WM_ACTIVATE, WA_CLICKACTIVE, 0);
  SendMessageA(main, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(events.calls, (std::vector<std::string>{"FormActivate", "FormActivate"}));
}

TEST_F(MainWindowTest, AHandlerThatThrowsIsParkedForTheLoop) {
  struct Throwing : RecordingEvents {
    void BackgroundImageMouseDown(TMouseButton) override { throw std::runtime_error("press"); }
  } throwing;
  window.SetEvents(&throwing);
  SendMessageA(window.Window(), WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
  EXPECT_THROW(RethrowParkedException(), std::runtime_error);
  EXPECT_NO_THROW(RethrowParkedException()) << "taken once";
}

}  // namespace
}  // namespace velmora::win32
