// The framework on Wine's user32: the application window and the loop around the main form, the
// tray menu, and the overlay form with its countdown and modal loop.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/InstanceProtocol.h"
#include "app/OverlayForm.h"
#include "win32/Win32Application.h"
#include "win32/Win32OverlayForm.h"
#include "win32/Win32Process.h"

namespace velmora::win32 {
namespace {

HINSTANCE Module() {
  return GetModuleHandleA(nullptr);
}

// Runs what waits in this thread's queue; a WM_QUIT left by a test is dropped.
void DrainQueue() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message != WM_QUIT) DispatchMessageA(&message);
  }
}

// A form that writes down what the framework asks of it and obeys the two instance requests.
class ScriptedForm : public IMainForm {
 public:
  ScriptedForm(Win32MainWindow& window, std::vector<std::string>& log, bool refuse)
      : window_(window), log_(log), refuse_(refuse) {}

  void FormCreate() override {
    log_.push_back("FormCreate");
    if (refuse_) window_.Terminate();
  }
  bool ApplicationMessage(const QueuedMessage& message) override {
    if (message.message == MSG_SHUTDOWN_INSTANCE) {
      log_.push_back("shutdown request");
      window_.Close();
      return true;
    }
    if (message.message == MSG_SHOW_INSTANCE) {
      log_.push_back(IsWindowVisible(window_.Window()) ? "show request, visible"
                                                       : "show request, hidden");
      return true;
    }
    return false;
  }
  void ReleaseObjects() override { log_.push_back("ReleaseObjects"); }
  void FormShow() override { log_.push_back("FormShow"); }
  void FormActivate() override {
    if (log_.empty() || log_.back() != "FormActivate") log_.push_back("FormActivate");
    if (throwOnActivate) throw std::runtime_error("activate");
  }
  void FormClose() override { log_.push_back("FormClose"); }
  void BackgroundImageMouseDown(TMouseButton) override {}
  void RestoreFromTray() override { log_.push_back("RestoreFromTray"); }
  void vmTrayCloseClick() override { log_.push_back("vmTrayCloseClick"); }
  std::intptr_t QueryEndSession() override { return 1; }
  std::intptr_t PowerBroadcast(std::uintptr_t) override { return 0; }
  void TaskbarCreated() override {}
  void EndSession(bool) override {}
  bool KeyDown(std::uint32_t, bool, bool) override { return false; }

  bool throwOnActivate = false;

 private:
  Win32MainWindow& window_;
  std::vector<std::string>& log_;
  bool refuse_;
};

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override { DrainQueue(); }
  void TearDown() override { DrainQueue(); }

  std::unique_ptr<Win32Application> Make(bool refuse, bool throwOnActivate = false) {
    return std::make_unique<Win32Application>(Module(), [=, this](Win32MainWindow& window) {
      mainWindow = &window;
      auto form = std::make_unique<ScriptedForm>(window, log, refuse);
      form->throwOnActivate = throwOnActivate;
      return form;
    });
  }
  // Initialize, title, main form, overlay form: the entry's start-up.
  void Start(Win32Application& app) {
    app.Initialize();
    app.SetTitle(kApplicationTitle);
    app.CreateMainForm();
    app.CreateOverlayForm();
  }

  std::vector<std::string> log;
  Win32MainWindow* mainWindow = nullptr;
};

TEST_F(ApplicationTest, ARefusedStartEndsAtOnceWithoutShowingAnything) {
  auto app = Make(true);
  Start(*app);
  ASSERT_NE(mainWindow, nullptr);
  app->Run();
  EXPECT_FALSE(IsWindowVisible(mainWindow->Window()));
  EXPECT_EQ(log, (std::vector<std::string>{"FormCreate", "ReleaseObjects"}));
}

VOID CALLBACK AskToShowThenToShutDown(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  Win32Process process;
  const WindowHandle app = process.FindWindowA(kApplicationWindowClass, kApplicationTitle);
  process.PostMessageA(app, MSG_SHOW_INSTANCE, 0, 0);
  process.PostMessageA(app, MSG_SHUTDOWN_INSTANCE, 0, 0);
}

TEST_F(ApplicationTest, RunShowsTheFormAndItsFilterSeesTheInstanceRequests) {
  auto app = Make(false);
  Start(*app);
  Win32Process process;
  const WindowHandle found = process.FindWindowA(kApplicationWindowClass, kApplicationTitle);
  ASSERT_EQ(found, reinterpret_cast<WindowHandle>(app->ApplicationWindow()));
  EXPECT_FALSE(IsWindowVisible(app->ApplicationWindow()));
  EXPECT_FALSE(IsWindowVisible(mainWindow->Window())) << "not before the loop shows it";
  SetTimer(nullptr, 0, 10, AskToShowThenToShutDown);
  app->Run();
  EXPECT_EQ(log, (std::vector<std::string>{"FormCreate", "FormShow", "FormActivate",
                                           "show request, visible", "shutdown request", "FormClose",
                                           "ReleaseObjects"}));
  EXPECT_TRUE(mainWindow->Closed());
}

// The taskbar button and Alt+Tab show the application window: the main window it owns has
// neither, minimises with it and hands it nothing but its close.
TEST_F(ApplicationTest, TheApplicationWindowOwnsTheMainWindowAndStandsForItOnTheTaskbar) {
  auto app = Make(false);
  Start(*app);
  const HWND application = app->ApplicationWindow(), main = mainWindow->Window();
  EXPECT_EQ(GetWindow(main, GW_OWNER), application);
  EXPECT_NE(SendMessageA(application, WM_GETICON, ICON_SMALL, 0), 0);
  EXPECT_NE(SendMessageA(application, WM_GETICON, ICON_BIG, 0), 0);
  mainWindow->ShowMainForm();
  EXPECT_TRUE(IsWindowVisible(application));
  EXPECT_EQ(GetActiveWindow(), main);
  SendMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(IsIconic(application));
  EXPECT_FALSE(IsWindowVisible(main));
  EXPECT_FALSE(IsIconic(main));
  ShowWindow(application, SW_RESTORE);
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_EQ(GetActiveWindow(), main);
  SetActiveWindow(application);
  EXPECT_EQ(GetActiveWindow(), main);
  mainWindow->ShowWindow(mainWindow->ApplicationWindow(), SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(application));
  log.clear();
  SendMessageA(application, WM_CLOSE, 0, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"FormClose"}));
  EXPECT_TRUE(IsWindow(application));
}

TEST_F(ApplicationTest, AFormThatCannotBeMadeEndsTheStartWithItsError) {
  Win32Application app(Module(), [](Win32MainWindow&) -> std::unique_ptr<IMainForm> {
    throw std::runtime_error("Resource BT_CLOSE_1 not found");
  });
  app.Initialize();
  EXPECT_THROW(app.CreateMainForm(), std::runtime_error);
}

TEST_F(ApplicationTest, AnExceptionInAHandlerEndsTheLoopAfterTheObjectsAreReleased) {
  auto app = Make(false, true);
  Start(*app);
  EXPECT_THROW(app->Run(), std::runtime_error);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "ReleaseObjects");
}

// The tray menu: read its two items, then pick the second one with the keyboard.
std::vector<std::wstring> g_menuItems;

VOID CALLBACK ReadMenuThenPickExit(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND menuWindow = FindWindowA("#32768", nullptr);
  if (menuWindow == nullptr || !IsWindowVisible(menuWindow)) return;  // not open yet
  KillTimer(nullptr, timer);
  const HMENU menu =
      reinterpret_cast<HMENU>(SendMessageA(menuWindow, 0x01E1, 0, 0));  // MN_GETHMENU
  for (int item = 0; item < GetMenuItemCount(menu); ++item) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, static_cast<UINT>(item), text, 64, MF_BYPOSITION);
    g_menuItems.push_back(text);
  }
  for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) PostMessageA(menuWindow, WM_KEYDOWN, key, 0);
}

TEST(Win32MainWindowTray, RightClickOpensTheMenuWithBothCaptionsAndItsItemsReachTheForm) {
  DrainQueue();
  std::vector<std::string> log;
  Win32MainWindow window(Module(), nullptr);
  ScriptedForm form(window, log, false);
  window.SetEvents(&form);
  window.SetTrayMenuCaptions("Velmora", "\xE9\x80\x80\xE5\x87\xBA");  // "退出"
  g_menuItems.clear();
  SetTimer(nullptr, 0, 20, ReadMenuThenPickExit);
  SendMessageA(reinterpret_cast<HWND>(window.TrayWindow()), kTrayCallbackMessage, 1, WM_RBUTTONUP);
  EXPECT_EQ(g_menuItems, (std::vector<std::wstring>{L"Velmora", L"\u9000\u51FA"}));
  EXPECT_EQ(log, (std::vector<std::string>{"vmTrayCloseClick"}));
  EXPECT_NE(GetActiveWindow(), window.Window()) << "the menu must not activate the main window";
  DrainQueue();
}

class OverlayTest : public ::testing::Test {
 protected:
  void SetUp() override { DrainQueue(); }
  void TearDown() override { DrainQueue(); }
};

TEST_F(OverlayTest, IsAHiddenBorderlessTransparentBlueForm1WithItsTimerRunning) {
  Win32OverlayForm overlay(Module(), nullptr);
  const HWND form = overlay.Window();
  ASSERT_NE(form, nullptr);
  char name[32] = {};
  GetClassNameA(form, name, sizeof(name));
  EXPECT_STREQ(name, "TForm1");
  EXPECT_FALSE(IsWindowVisible(form));
  EXPECT_EQ(GetWindowLongA(form, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
  RECT client{};
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, 303);
  EXPECT_EQ(client.bottom, 180);
  EXPECT_NE(GetWindowLongA(form, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(form, &key, &alpha, &flags));
  EXPECT_EQ(key, RGB(0, 0, 255));
  EXPECT_EQ(flags & LWA_COLORKEY, static_cast<DWORD>(LWA_COLORKEY));
  EXPECT_TRUE(overlay.TimerRunning());
}

// Counts the ticks of Timer1 of the given overlay that the modal loop takes from the queue.
MessageFilter CountTicks(const HWND& form, int& ticks) {
  return [&form, &ticks](const QueuedMessage& message) {
    if (message.message == WM_TIMER && message.window == reinterpret_cast<WindowHandle>(form)) {
      ++ticks;
    }
    return false;
  };
}

TEST_F(OverlayTest, ShowModalDisablesItsOwnerUntilTheSharedCountdownRunsOut) {
  const HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     Module(), nullptr);
  OverlayCountdown = 2;
  Win32OverlayForm overlay(Module(), owner);
  bool ownerDisabledWhileShown = false;
  int ticks = 0, filtered = 0;
  const HWND form = overlay.Window();
  const MessageFilter countTicks = CountTicks(form, ticks);
  const MessageFilter filter = [&](const QueuedMessage& message) {
    if (message.message == WM_TIMER) {
      ownerDisabledWhileShown = !IsWindowEnabled(owner) && IsWindowVisible(form);
    }
    countTicks(message);
    if (message.message == WM_APP + 7) ++filtered;
    return message.message == WM_APP + 7;
  };
  PostMessageA(owner, WM_APP + 7, 0, 0);
  overlay.ShowModal(&filter);
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(OverlayCountdown, 0);
  EXPECT_TRUE(ownerDisabledWhileShown);
  EXPECT_EQ(filtered, 1) << "the modal loop applies the application's filter";
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_FALSE(IsWindowVisible(form));
  EXPECT_FALSE(overlay.TimerRunning());

  // The countdown is spent for the whole process: a later overlay closes at its first tick.
  Win32OverlayForm later(Module(), owner);
  int laterTicks = 0;
  const HWND laterForm = later.Window();
  const MessageFilter countLater = CountTicks(laterForm, laterTicks);
  later.ShowModal(&countLater);
  EXPECT_EQ(laterTicks, 1);
  EXPECT_TRUE(later.Closed());
  EXPECT_EQ(OverlayCountdown, -1);
  DestroyWindow(owner);
}

VOID CALLBACK QuitNow(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  PostQuitMessage(3);
}

TEST_F(OverlayTest, AQuitDuringTheModalLoopEndsItAndReachesTheMainLoop) {
  OverlayCountdown = 100;
  Win32OverlayForm overlay(Module(), nullptr);
  SetTimer(nullptr, 0, 50, QuitNow);
  overlay.ShowModal(nullptr);
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 3u);
  EXPECT_EQ(OverlayCountdown, 100) << "no tick within 50 ms";
}

}  // namespace
}  // namespace velmora::win32
