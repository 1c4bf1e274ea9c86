// The tray icon that keeps trying while the shell is not ready, against a simulated notification
// area and a manual clock.
#include <gtest/gtest.h>

#include <vector>

#include "controls/Timer.h"
#include "controls/TrayIconMod.h"
#include "sim/SimShellTray.h"
#include "sim/SimTimers.h"

namespace velmora {
namespace {

constexpr WindowHandle kTrayWindow = 0x0A0B0C;
constexpr std::uint32_t kTrayMessage = 0x0400 + 0x1234;

class TrayIconTest : public ::testing::Test {
 protected:
  TrayIconTest() : icon(shell, timers) {
    icon.Window = kTrayWindow;
    icon.Id = 7;
    icon.CallbackMessage = kTrayMessage;
    icon.Icon = 0x1C0;
    icon.Hint = "Zelkor Velmora";
  }

  // The shell's taskbar appears readyAt milliseconds after the start.
  void ShellReadyAt(std::uint64_t readyAt) {
    shell.NotReadyUntil([this] { return timers.Now(); }, readyAt);
  }
  std::vector<std::uint32_t> Messages() const {
    std::vector<std::uint32_t> messages;
    for (const auto& call : shell.Calls()) messages.push_back(call.message);
    return messages;
  }

  sim::SimShellTray shell;
  sim::SimTimers timers;
  TTrayIconMod icon;
};

constexpr std::uint32_t kAdd = win::kNimAdd;
constexpr std::uint32_t kModify = win::kNimModify;
constexpr std::uint32_t kDelete = win::kNimDelete;

TEST_F(TrayIconTest, AcceptedAtOnceTheTimerNeverStarts) {
  EXPECT_TRUE(icon.SetVisible(true));
  EXPECT_TRUE(icon.Visible());
  EXPECT_EQ(Messages(), std::vector<std::uint32_t>{kAdd});
  EXPECT_EQ(timers.setCalls, 0);
  timers.Advance(5000);
  EXPECT_EQ(shell.Calls().size(), 1u);
}

TEST_F(TrayIconTest, TheShellGetsWindowIdCallbackIconAndHint) {
  icon.SetVisible(true);
  const NotifyIconData* shown = shell.Icon(kTrayWindow, 7);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->flags, win::kNifMessage | win::kNifIcon | win::kNifTip);
  EXPECT_EQ(shown->callbackMessage, kTrayMessage);
  EXPECT_EQ(shown->icon, 0x1C0u);
  EXPECT_EQ(shown->tip, "Zelkor Velmora");
}

TEST_F(TrayIconTest, ARefusalIsRetriedEverySecondAndFollowedByModify) {
  ShellReadyAt(2500);
  EXPECT_TRUE(icon.SetVisible(true));  // no error reaches the caller
  EXPECT_FALSE(icon.Visible());
  EXPECT_TRUE(icon.Retrying());
  timers.Advance(999);
  EXPECT_EQ(Messages(), std::vector<std::uint32_t>{kAdd});
  timers.Advance(1);
  EXPECT_EQ(Messages(), (std::vector<std::uint32_t>{kAdd, kAdd, kModify}));
  timers.Advance(2000);
  EXPECT_EQ(Messages(),
            (std::vector<std::uint32_t>{kAdd, kAdd, kModify, kAdd, kModify, kAdd, kModify}));
  EXPECT_TRUE(shell.Calls().back().accepted);  // the icon now exists, so the modify lands
  EXPECT_TRUE(icon.Visible());
  EXPECT_TRUE(shell.Shows(kTrayWindow, 7));
  EXPECT_FALSE(icon.Retrying());
  EXPECT_EQ(timers.ActiveTimers(), 0u);
  timers.Advance(10000);
  EXPECT_EQ(shell.Calls().size(), 7u);
}

TEST_F(TrayIconTest, TheIconAppearsWithinASecondOfTheShellBecomingReady) {
  ShellReadyAt(4321);
  icon.SetVisible(true);
  timers.Advance(4321 + 1000);
  EXPECT_TRUE(shell.Shows(kTrayWindow, 7));
}

TEST_F(TrayIconTest, RetriesHaveNoLimit) {
  shell.RefuseAdds(1000000);
  icon.SetVisible(true);
  timers.Advance(600 * 1000);
  EXPECT_EQ(shell.Count(kAdd), 601);
  EXPECT_EQ(shell.Count(kModify), 600);
  EXPECT_TRUE(icon.Retrying());
}

TEST_F(TrayIconTest, HidingWhileARetryIsPendingStopsItWithoutDeletingAnything) {
  shell.RefuseAdds(100);
  icon.SetVisible(true);
  timers.Advance(1500);
  EXPECT_TRUE(icon.SetVisible(false));
  EXPECT_FALSE(icon.Retrying());
  EXPECT_EQ(shell.Count(kDelete), 0);  // the icon was never added
  const std::size_t calls = shell.Calls().size();
  timers.Advance(10000);
  EXPECT_EQ(shell.Calls().size(), calls);
  EXPECT_EQ(shell.IconCount(), 0u);
}

TEST_F(TrayIconTest, HidingAShownIconDeletesIt) {
  icon.SetVisible(true);
  icon.SetVisible(false);
  EXPECT_EQ(Messages(), (std::vector<std::uint32_t>{kAdd, kDelete}));
  EXPECT_FALSE(shell.Shows(kTrayWindow, 7));
  EXPECT_EQ(timers.setCalls, 0);
}

TEST_F(TrayIconTest, ShowingTwiceAddsOnce) {
  icon.SetVisible(true);
  icon.SetVisible(true);
  EXPECT_EQ(shell.Count(kAdd), 1);
  EXPECT_FALSE(icon.Retrying());
}

TEST_F(TrayIconTest, ARefusedDeleteIsRetriedUntilTheIconIsGone) {
  icon.SetVisible(true);
  shell.refuseAll = true;
  icon.SetVisible(false);
  EXPECT_TRUE(icon.Visible());
  EXPECT_TRUE(icon.Retrying());
  shell.refuseAll = false;
  timers.Advance(1000);
  EXPECT_FALSE(icon.Visible());
  EXPECT_FALSE(shell.Shows(kTrayWindow, 7));
  EXPECT_FALSE(icon.Retrying());
}

TEST_F(TrayIconTest, ShowingAgainWhileWaitingRestartsTheSecond) {
  shell.RefuseAdds(2);
  icon.SetVisible(true);
  timers.Advance(700);
  icon.SetVisible(true);  // refused again: the next try is a full second later
  timers.Advance(999);
  EXPECT_FALSE(icon.Visible());
  timers.Advance(1);
  EXPECT_TRUE(icon.Visible());
  EXPECT_EQ(timers.Now(), 1700u);
}

TEST_F(TrayIconTest, IconVisibleReportsTheRefusalAndStartsNoRetry) {
  shell.RefuseAdds(1);
  EXPECT_FALSE(icon.IconVisible(true));
  EXPECT_FALSE(icon.Retrying());
  EXPECT_TRUE(icon.IconVisible(true));
  EXPECT_TRUE(icon.Visible());
}

TEST_F(TrayIconTest, TheRemoveHandlerHidesAndStopsTheRetry) {
  shell.RefuseAdds(5);
  icon.SetVisible(true);
  icon.ShellNotifyRemoveTimerTimer();
  EXPECT_FALSE(icon.DesiredVisible());
  EXPECT_FALSE(icon.Retrying());
}

TEST(TrayIconModLifetime, DestructionKillsTheTimerAndRemovesAShownIcon) {
  sim::SimShellTray shell;
  sim::SimTimers timers;
  shell.RefuseAdds(1);
  {
    TTrayIconMod icon(shell, timers);
    icon.SetVisible(true);
    EXPECT_EQ(timers.ActiveTimers(), 1u);
    timers.Advance(1000);
    EXPECT_TRUE(icon.Visible());
  }
  EXPECT_EQ(timers.ActiveTimers(), 0u);
  EXPECT_EQ(shell.IconCount(), 0u);
  EXPECT_EQ(shell.Count(win::kNimDelete), 1);
}

TEST(TrayIconModLifetime, DestructionWhileWaitingDeletesNothing) {
  sim::SimShellTray shell;
  sim::SimTimers timers;
  shell.RefuseAdds(10);
  {
    TTrayIconMod icon(shell, timers);
    icon.SetVisible(true);
  }
  EXPECT_EQ(timers.ActiveTimers(), 0u);
  EXPECT_EQ(shell.Count(win::kNimDelete), 0);
}

TEST(TrayIcon, ThePlainIconReportsARefusal) {
  sim::SimShellTray shell;
  shell.RefuseAdds(1);
  TTrayIcon icon(shell);
  EXPECT_FALSE(icon.SetVisible(true));
  EXPECT_FALSE(icon.Visible());
  EXPECT_TRUE(icon.SetVisible(true));
}

TEST(Timer, DisabledOrWithoutHandlerSetsNoTimerAndAnIntervalChangeRestarts) {
  sim::SimTimers timers;
  int ticks = 0;
  TTimer timer(timers);
  timer.SetInterval(500);
  EXPECT_EQ(timers.setCalls, 0);  // no handler yet
  timer.SetOnTimer([&] { ++ticks; });
  timers.Advance(400);
  timer.SetInterval(300);
  timers.Advance(299);
  EXPECT_EQ(ticks, 0);
  timers.Advance(1);
  EXPECT_EQ(ticks, 1);
  timer.SetEnabled(false);
  timers.Advance(5000);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(timers.ActiveTimers(), 0u);
}

}  // namespace
}  // namespace velmora
