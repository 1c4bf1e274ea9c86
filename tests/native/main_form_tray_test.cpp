// Arming at activation, the idle timer's ticks, the tray icon and its fallback, the program's own
// sleep and hibernation, the shut-down query, the power broadcasts, the tray menu and the
// overlay countdown, on the simulated machine.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "MainFormLifeSupport.h"
#include "app/InstanceProtocol.h"
#include "controls/TrayIconMod.h"

namespace velmora {
namespace {

const std::string kConsoleLock = "0e796bdb-100d-47d6-a2d5-f7d2daa51f51";

using namespace mainformtest;

void TurnAutoStartOn(MainFormRig& rig) {
  rig.registry.SetDword(reg::kHkeyCurrentUser, kVelmoraUserKey, kAutoRunValue, 1);
}

bool IconShown(const MainFormRig& rig) {
  return rig.tray.Shows(kTrayWindow, kTrayIconId);
}

// A program started at logon with autostart on and the given settings file.
TvmMainForm& StartAtLogon(MainFormRig& rig, const std::string& settings = "") {
  TurnAutoStartOn(rig);
  if (!settings.empty()) WriteSettings(rig, "[Config]\r\n" + settings);
  return rig.Start();
}

TEST(MainFormActivate, ArmsTheTimerOnlyForAutostartOrTheFirmwareRequest) {
  {
    MainFormRig rig;
    WriteSettings(rig, "[Config]\r\nVelmoraMode=4\r\n");
    TvmMainForm& form = rig.Start();
    EXPECT_FALSE(form.Timer().Enabled());
    EXPECT_FALSE(form.HideOnNextTick || form.ShowTrayOnIdle || form.SuspendOnIdle);
    EXPECT_EQ(rig.view.Button(MainButton::kRegular).Status(), ImageEnActive);
    EXPECT_TRUE(rig.view.PanelVisible(MainButton::kApply));
    EXPECT_EQ(rig.ControlByte(), 0x00);
  }
  for (const int mode : {3, 4}) {
    MainFormRig rig;
    TvmMainForm& form = StartAtLogon(rig, "VelmoraMode=" + std::to_string(mode) + "\r\n");
    EXPECT_EQ(rig.ControlByte(), mode == 3 ? 0x0C : 0x08);
    EXPECT_TRUE(form.HideOnNextTick && form.ShowTrayOnIdle);
    EXPECT_FALSE(form.SuspendOnIdle);
    EXPECT_TRUE(form.Timer().Enabled());
    EXPECT_FALSE(rig.view.nonApplyVisible);
    EXPECT_TRUE(rig.view.PanelVisible(MainButton::kApply));
  }
  {
    MainFormRig rig;
    rig.board.SetControlByte(0x30);
    TvmMainForm& form = rig.Start();
    EXPECT_EQ(rig.ControlByte(), 0x20);
    EXPECT_TRUE(form.SuspendOnIdle);
    EXPECT_FALSE(form.HideOnNextTick);
    EXPECT_TRUE(form.Timer().Enabled());
  }
}

TEST(MainFormActivate, ARefusedStartArmsNothing) {
  RigSetup setup;
  setup.board = BoardWithoutMakerDevice();
  MainFormRig rig(setup);
  rig.board.RaiseBootRequest();
  TurnAutoStartOn(rig);
  TvmMainForm& form = rig.MakeForm();
  form.FormActivate();
  EXPECT_EQ(rig.ControlByte(), 0x10);
  EXPECT_FALSE(form.Timer().Enabled());
}

TEST(MainFormIdleTimer, HidesAtTheFirstTickAndShowsTheIconOnTheSixthIdleOne) {
  MainFormRig rig;
  TvmMainForm& form = StartAtLogon(rig);
  RunSeconds(rig, 1, 5);
  EXPECT_FALSE(rig.view.mainVisible);
  EXPECT_FALSE(rig.view.applicationVisible);
  EXPECT_FALSE(IconShown(rig));
  RunSeconds(rig, 4, 5);
  EXPECT_FALSE(IconShown(rig));
  EXPECT_EQ(form.IdleTicks, 5);
  RunSeconds(rig, 1, 5);
  EXPECT_TRUE(IconShown(rig));
  EXPECT_FALSE(form.Timer().Enabled());
  EXPECT_EQ(form.IdleTicks, 0);
  EXPECT_EQ(rig.power.System().suspendCalls.size(), 0u);
}

TEST(MainFormIdleTimer, ATickAtTheThresholdLoadRestartsTheCount) {
  MainFormRig rig;
  TvmMainForm& form = StartAtLogon(rig);
  RunSeconds(rig, 5, 9);
  RunSeconds(rig, 1, 10);
  EXPECT_EQ(form.IdleTicks, 0);
  RunSeconds(rig, 5, 0);
  EXPECT_FALSE(IconShown(rig));
  RunSeconds(rig, 1, 0);
  EXPECT_TRUE(IconShown(rig));
}

TEST(MainFormIdleTimer, IdleCountZeroAndNegativeAndIdlePercentageZero) {
  {
    MainFormRig rig;
    StartAtLogon(rig, "IdleCount=0\r\n");
    RunSeconds(rig, 1, 50);
    EXPECT_FALSE(IconShown(rig));
    RunSeconds(rig, 1, 5);
    EXPECT_TRUE(IconShown(rig));
  }
  {
    MainFormRig rig;
    StartAtLogon(rig, "IdleCount=-1\r\n");
    RunSeconds(rig, 1, 100);
    EXPECT_TRUE(IconShown(rig));
  }
  {
    MainFormRig rig;
    TvmMainForm& form = StartAtLogon(rig, "IdlePercentage=0\r\nIdleCount=0\r\n");
    RunSeconds(rig, 30, 0);
    EXPECT_FALSE(IconShown(rig));
    EXPECT_TRUE(form.Timer().Enabled());
  }
}

TEST(MainFormIdleTimer, AFirmwareRequestWithoutModeRunsToTheThresholdAndDoesNothing) {
  MainFormRig rig;
  rig.board.RaiseBootRequest();
  TvmMainForm& form = rig.Start();
  RunSeconds(rig, 6, 0);
  EXPECT_FALSE(form.Timer().Enabled());
  EXPECT_FALSE(IconShown(rig));
  EXPECT_TRUE(rig.power.System().suspendCalls.empty());
  EXPECT_TRUE(rig.Boxes().empty());
  EXPECT_EQ(rig.ControlByte(), 0x00);
}

TEST(MainFormIdleTimer, ARefusedIconWaitsOnTheOverlayThenTheEnglishRetryingIconTakesOver) {
  RigSetup setup;
  setup.language = kLanguageChinesePrc;
  MainFormRig rig(setup);
  rig.tray.refuseAll = true;
  TvmMainForm& form = StartAtLogon(rig);
  ASSERT_NE(form.Slots[0], "Zelkor Velmora");
  bool iconDuringOverlay = true;
  rig.view.onOverlay = [&] { iconDuringOverlay = IconShown(rig); };
  RunSeconds(rig, 6, 0);
  EXPECT_EQ(rig.view.overlayShows, 1);
  EXPECT_FALSE(iconDuringOverlay);
  const auto* replacement = dynamic_cast<const TTrayIconMod*>(&form.TrayIcon());
  ASSERT_NE(replacement, nullptr);
  EXPECT_EQ(replacement->Hint, "Zelkor Velmora");
  EXPECT_TRUE(form.ShowTrayOnIdle);
  rig.tray.refuseAll = false;
  rig.timers.Advance(kSecondMs);
  ASSERT_TRUE(IconShown(rig));
  EXPECT_EQ(rig.tray.Icon(kTrayWindow, kTrayIconId)->tip, "Zelkor Velmora");
  EXPECT_FALSE(replacement->Retrying());
}

// The program's own suspend, watched from inside SetSuspendState.
struct SuspendWatch {
  explicit SuspendWatch(MainFormRig& rig) {
    rig.power.onSuspend = [this, &rig](const sim::SimSuspendCall& request, std::uint8_t) {
      requests.push_back(request);
      ownSuspend = rig.form->OwnSuspend;
      byteDuring = rig.ControlByte().value_or(0xFF);
    };
  }
  std::vector<sim::SimSuspendCall> requests;
  bool ownSuspend = false;
  std::uint8_t byteDuring = 0;
};

// The same sleep on Windows 7 (the product scheme imported) and XP (scheme 18): the prompt goes
// off where each keeps it, and the forced S3 and the scheme in force stay.
TEST(MainFormIdleSuspend, FastSleepsWithItsBitSetAndThePasswordPromptSaved) {
  for (const bool xp : {false, true}) {
    SCOPED_TRACE(xp ? "XP" : "7");
    MainFormRig rig(xp ? XpSetup() : RigSetup());
    InstallSchemeFile(rig);
    rig.power.System().activeLegacyScheme = 3;  // the user's choice on XP ("Always On")
    SuspendWatch watch(rig);
    TurnAutoStartOn(rig);
    WriteSettings(rig, "[Config]\r\nVelmoraMode=3\r\n");
    rig.board.RaiseBootRequest();
    TvmMainForm& form = StartProgram(rig, rig.Ports());
    RunSeconds(rig, 6, 1);

    ASSERT_EQ(watch.requests.size(), 1u);
    EXPECT_FALSE(watch.requests[0].hibernate);
    EXPECT_FALSE(watch.requests[0].forceCritical);
    EXPECT_TRUE(watch.requests[0].disableWakeEvent);
    EXPECT_TRUE(watch.ownSuspend);
    EXPECT_EQ(watch.byteDuring, 0x0D);
    EXPECT_FALSE(form.OwnSuspend);
    // On mains power (0x04) on both; Windows 7 also on battery (0x08).
    EXPECT_EQ(ProductDword(rig, kResumePasswordLogonValue), xp ? 4u : 12u);
    EXPECT_TRUE(rig.power.System().setActivePwrSchemeCalls.empty());
    EXPECT_EQ(rig.power.System().acPolicy.MaxSleep, 4u);
    if (xp) {
      EXPECT_EQ(rig.power.System().globalPolicy.user.GlobalFlags & 4u, 0u);
      EXPECT_EQ(rig.power.System().activeLegacyScheme, 3u);
    } else {
      EXPECT_EQ(rig.power.System().appliedSettings.at("0e796bdb-100d-47d6-a2d5-f7d2daa51f51"),
                (sim::SimSettingIndex{0, 0}));
      EXPECT_EQ(*rig.power.System().activeScheme, rig.power.System().schemes.back().guid);
    }
    EXPECT_TRUE(rig.Boxes().empty());
    EXPECT_FALSE(form.Timer().Enabled());
  }
}

// Windows refuses the suspend: the pending bit goes again, the password prompt comes back and
// the user is told once, in the tray, with Windows' error.
TEST(MainFormIdleSuspend, ARefusedSuspendLeavesNothingBehindAndIsToldOnce) {
  for (const int mode : {3, 4}) {
    SCOPED_TRACE(mode);
    MainFormRig rig;
    InstallSchemeFile(rig);
    rig.power.Fail("SetSuspendState", 0);
    TurnAutoStartOn(rig);
    WriteSettings(rig, "[Config]\r\nVelmoraMode=" + std::to_string(mode) + "\r\n");
    rig.board.RaiseBootRequest();
    TvmMainForm& form = StartProgram(rig, rig.Ports());
    RunSeconds(rig, 8, 1);
    ASSERT_EQ(rig.power.CallCount("SetSuspendState"), 1);
    EXPECT_EQ(rig.ControlByte().value_or(0xFF), 0x08 | (mode == 3 ? 0x04 : 0));
    EXPECT_FALSE(form.OwnSuspend);
    EXPECT_EQ(rig.power.System().appliedSettings.at(kConsoleLock), (sim::SimSettingIndex{1, 1}));
    EXPECT_FALSE(ProductDword(rig, kResumePasswordLogonValue).has_value());
    std::vector<std::string> balloons;
    for (const auto& call : rig.tray.Calls()) {
      if (call.data.flags & win::kNifInfo) balloons.push_back(call.data.info);
    }
    EXPECT_EQ(balloons, std::vector<std::string>{"Windows refused to suspend this PC (error 1314)."});
  }
}

TEST(MainFormIdleSuspend, RegularHibernatesWithItsBitSet) {
  MainFormRig rig;
  SuspendWatch watch(rig);
  rig.power.System().appliedSettings.at(kConsoleLock) = {0, 0};
  rig.power.System().schemes[0].settings.at(kConsoleLock) = {0, 0};
  WriteSettings(rig, "[Config]\r\nVelmoraMode=4\r\n");
  rig.board.RaiseBootRequest();
  StartProgram(rig, rig.Ports());
  RunSeconds(rig, 6, 1);

  ASSERT_EQ(watch.requests.size(), 1u);
  EXPECT_TRUE(watch.requests[0].hibernate);
  EXPECT_FALSE(watch.requests[0].forceCritical);
  EXPECT_TRUE(watch.requests[0].disableWakeEvent);
  EXPECT_EQ(watch.byteDuring, 0x02);
  EXPECT_EQ(ProductDword(rig, kResumePasswordLogonValue), 0u);
  EXPECT_EQ(rig.power.CallCount("PowerEnumerate"), 0);
}

TEST(MainFormIdleSuspend, MissingSleepStatesAndSchemeFailuresSuspendNothing) {
  struct Case {
    int mode;
    bool s3;
    bool hibernation;
    bool schemeFile;
    std::string text;
    std::uint32_t style;
    bool modernStandby = false;
    std::uint8_t hiberFileType = 0;
  };
  const Case cases[] = {
      {3, false, true, true, "To use this feature, you must install all device drivers.", 0x1040},
      {3, false, true, true,
       "This PC has no S3 sleep: it uses Modern Standby, and installing drivers will not add S3. "
       "Choose the Regular mode, which hibernates.",
       0x1040, true},
      {4, true, false, true, "To use this feature, you must enable hibernate function.", 0x1040},
      {4, true, true, true, "To use this feature, you must enable hibernate function.", 0x1040,
       false, win::kHiberFileTypeReduced},
      {3, true, true, false, "Cannot setup power scheme!", 0x1010},
  };
  for (const Case& c : cases) {
    RigSetup setup;
    setup.power.capabilities.SystemS3 = c.s3 ? 1 : 0;
    setup.power.capabilities.HiberFilePresent = c.hibernation ? 1 : 0;
    setup.power.capabilities.AoAc = c.modernStandby ? 1 : 0;
    setup.power.capabilities.HiberFileType = c.hiberFileType;
    MainFormRig rig(setup);
    if (c.schemeFile) InstallSchemeFile(rig);
    WriteSettings(rig, "[Config]\r\nVelmoraMode=" + std::to_string(c.mode) + "\r\n");
    rig.board.RaiseBootRequest();
    rig.Start();
    RunSeconds(rig, 6, 0);
    EXPECT_TRUE(rig.power.System().suspendCalls.empty()) << c.text;
    ASSERT_EQ(rig.Boxes().size(), 1u) << c.text;
    EXPECT_EQ(rig.Boxes()[0].text, c.text);
    EXPECT_EQ(rig.Boxes()[0].caption, "Zelkor Velmora");
    EXPECT_EQ(rig.Boxes()[0].type, c.style);
    EXPECT_EQ(rig.ControlByte(), 0x00) << c.text;
    EXPECT_FALSE(ProductDword(rig, kResumePasswordLogonValue).has_value());
  }
}

TEST(MainFormSessionEvents, TheShutDownQueryMarksTheFirmwareOnlyWithAutostartOn) {
  for (const bool autoStart : {true, false}) {
    MainFormRig rig;
    if (autoStart) TurnAutoStartOn(rig);
    TvmMainForm& form = rig.Start();
    form.FastImageEnClick();
    rig.board.SetControlByte(0x00);
    EXPECT_EQ(form.QueryEndSession(), 1);
    EXPECT_EQ(rig.ControlByte(), autoStart ? 0x0C : 0x00);
    EXPECT_EQ(SavedMode(rig), "3");
  }
}

// The session really ends: Windows ends the process after this message, so the mode is saved
// and the driver's service removed here. A cancelled end (false) changes nothing.
TEST(MainFormSessionEvents, TheEndOfTheSessionReleasesEverythingInOrder) {
  for (const bool ending : {true, false}) {
    SCOPED_TRACE(ending);
    MainFormRig rig;
    TvmMainForm& form = StartAtLogon(rig);
    form.RegularImageEnClick();
    ASSERT_EQ(rig.startup.world.services.ServiceCount(), 1u);
    form.EndSession(ending);
    EXPECT_EQ(rig.startup.world.services.ServiceCount(), ending ? 0u : 1u);
    EXPECT_EQ(SavedMode(rig), ending ? "4" : "");
    EXPECT_EQ(form.Timer().Enabled(), !ending);
    RunSeconds(rig, 2, 0);  // ticks until Windows ends the process do nothing
  }
}

TEST(MainFormSessionEvents, PowerBroadcastsClearThePendingBitsUnlessTheSuspendIsOurs) {
  MainFormRig rig;
  TvmMainForm& form = rig.Start();
  rig.board.SetControlByte(0x0B);
  form.OwnSuspend = true;
  EXPECT_EQ(form.PowerBroadcast(win::kPbtApmSuspend), 0);
  EXPECT_EQ(rig.ControlByte(), 0x0B);
  form.OwnSuspend = false;
  EXPECT_EQ(form.PowerBroadcast(win::kPbtApmSuspend), 0);
  EXPECT_EQ(rig.ControlByte(), 0x08);

  rig.board.SetControlByte(0x0B);
  rig.view.ShowWindow(kMainWindow, win::kSwShowNormal);
  EXPECT_EQ(form.PowerBroadcast(18), 0);  // PBT_APMRESUMEAUTOMATIC alone
  EXPECT_EQ(rig.ControlByte(), 0x0B);
  EXPECT_TRUE(rig.view.mainVisible);
  EXPECT_EQ(form.PowerBroadcast(win::kPbtApmResumeSuspend), 0);
  EXPECT_EQ(rig.ControlByte(), 0x08);
  EXPECT_FALSE(rig.view.mainVisible);
  EXPECT_TRUE(IconShown(rig));
}

// The window the user brings back (tray or second start) stays: no hide at the next tick, no
// idle suspend while it is shown, and a mode changed there is applied. Back in the tray, the
// firmware's request still waits for a fresh idle count.
TEST(MainFormTrayMenu, AWindowTheUserBringsBackStaysAndItsApplyCounts) {
  const std::function<void(TvmMainForm&)> restores[] = {
      [](TvmMainForm& form) { form.RestoreFromTray(); },
      [](TvmMainForm& form) {
        form.vmApplicationEventsMessage(QueuedMessage{kApplicationWindow, MSG_SHOW_INSTANCE, 0, 0});
      }};
  for (const auto& restore : restores) {
    MainFormRig rig;
    InstallSchemeFile(rig);
    rig.board.RaiseBootRequest();
    TvmMainForm& form = StartAtLogon(rig, "VelmoraMode=3\r\n");
    RunSeconds(rig, 1, 50);
    ASSERT_FALSE(rig.view.mainVisible);
    restore(form);
    form.FormActivate();
    EXPECT_FALSE(form.HideOnNextTick);
    EXPECT_FALSE(IconShown(rig));
    RunSeconds(rig, 10, 0);
    EXPECT_TRUE(rig.view.mainVisible);
    EXPECT_EQ(rig.power.CallCount("SetSuspendState"), 0);

    form.RegularImageEnClick();
    form.ApplyImageEnClick();
    EXPECT_TRUE(form.Applied);
    EXPECT_FALSE(rig.view.mainVisible);
    EXPECT_EQ(form.Mode(), 4);
    EXPECT_EQ(rig.ControlByte().value_or(0) & 0x0B, 0x08);
    RunSeconds(rig, 5, 0);
    EXPECT_EQ(rig.power.CallCount("SetSuspendState"), 0);
    RunSeconds(rig, 1, 0);
    ASSERT_EQ(rig.power.System().suspendCalls.size(), 1u);
    EXPECT_TRUE(rig.power.System().suspendCalls[0].hibernate);
  }
}

// Explorer restarted while the program sits in the tray: the new taskbar has no icon until the
// program answers "TaskbarCreated"; a taskbar that refuses it gets the retrying icon.
TEST(MainFormTrayMenu, AnExplorerRestartGetsTheIconBack) {
  for (const int refusals : {0, 2}) {
    SCOPED_TRACE(refusals);
    MainFormRig rig;
    TvmMainForm& form = StartAtLogon(rig);
    RunSeconds(rig, 6, 0);
    ASSERT_TRUE(IconShown(rig));
    rig.tray.RestartExplorer();
    rig.tray.RefuseAdds(refusals);
    form.TaskbarCreated();
    EXPECT_EQ(IconShown(rig), refusals == 0);
    rig.timers.Advance(kSecondMs);
    EXPECT_TRUE(IconShown(rig));
    EXPECT_FALSE(rig.view.mainVisible);
  }
  MainFormRig shown;  // a window on screen has no icon to bring back
  TvmMainForm& form = shown.Start();
  shown.tray.RestartExplorer();
  form.TaskbarCreated();
  EXPECT_EQ(shown.tray.IconCount(), 0u);
}

TEST(MainFormTrayMenu, ExitTurnsTheFeatureOffAndEnds) {
  MainFormRig rig;
  TvmMainForm& form = StartAtLogon(rig);
  rig.tasks.AddTask(sim::SimScheduledTask{kAutoStartName, {}, {}, {}, 3, {}, 1});
  form.HideToTray();
  form.vmTrayCloseClick();
  EXPECT_FALSE(HasLogonTask(rig));
  EXPECT_EQ(rig.AutoRun(), 0u);
  EXPECT_EQ(rig.ControlByte(), 0x00);
  EXPECT_FALSE(IconShown(rig));
  EXPECT_EQ(rig.tray.Count(win::kNimDelete), 1);
  EXPECT_EQ(rig.view.closes, 1);

  MainFormRig hidden;
  hidden.Start().ExitFromTray();
  EXPECT_EQ(hidden.tray.Count(win::kNimDelete), 0);
  EXPECT_EQ(hidden.view.closes, 1);
}

TEST(MainFormIdleTimer, ATickAfterTheObjectsWereReleasedStopsTheTimer) {
  MainFormRig rig;
  TvmMainForm& form = StartAtLogon(rig);
  form.FormClose();
  RunSeconds(rig, 1, 0);
  EXPECT_FALSE(form.Timer().Enabled());
  EXPECT_FALSE(IconShown(rig));
}

TEST(OverlayCountdown, SharedByEveryOverlayAndNeverReset) {
  OverlayCountdown = kOverlayCountdownStart;
  for (int tick = 1; tick < kOverlayCountdownStart; ++tick) {
    EXPECT_FALSE(Timer1Timer()) << tick;
  }
  EXPECT_TRUE(Timer1Timer());
  EXPECT_EQ(OverlayCountdown, 0);
  EXPECT_TRUE(Timer1Timer());  // a later overlay closes at its first tick
  EXPECT_EQ(OverlayCountdown, -1);
  OverlayCountdown = std::numeric_limits<std::int32_t>::min();
  EXPECT_TRUE(Timer1Timer());
  EXPECT_EQ(OverlayCountdown, std::numeric_limits<std::int32_t>::min());
}

}  // namespace
}  // namespace velmora
