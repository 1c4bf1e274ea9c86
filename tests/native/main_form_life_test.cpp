// Simulated lives of the program on one machine over several logons: the user applies a mode,
// Windows asks to end the session, the firmware raises its request, the program starts at the
// next logon, waits for the processor to go idle and suspends the machine itself, the machine
// resumes, the shell is late with the notification area, and the user finally turns the feature
// off. After each step the control byte, the registry, the logon task, the power settings and
// the settings file are checked as the firmware and Windows would find them.
#include <gtest/gtest.h>

#include "MainFormLifeSupport.h"

namespace velmora {
namespace {

using namespace mainformtest;

bool IconShown(const MainFormRig& rig) {
  return rig.tray.Shows(kTrayWindow, kTrayIconId);
}

// What the machine saw while the program's own suspend was under way.
struct SuspendLog {
  std::vector<sim::SimSuspendCall> requests;
  std::uint8_t byteAtSuspend = 0;
  std::uint8_t byteAfterBroadcast = 0;
};

// Windows announces the suspend to every window (PBT_APMSUSPEND) while the program still waits
// in SetSuspendState; then the firmware looks at its control byte and the machine sleeps.
void PlaySuspend(MainFormRig& rig, SuspendLog& log) {
  rig.power.onSuspend = [&rig, &log](const sim::SimSuspendCall& request, std::uint8_t) {
    log.requests.push_back(request);
    log.byteAtSuspend = rig.ControlByte().value_or(0xFF);
    rig.form->PowerBroadcast(win::kPbtApmSuspend);
    log.byteAfterBroadcast = rig.ControlByte().value_or(0xFF);
  };
}

TEST(MainFormLife, FastModeFromApplyThroughTheFirmwaresRequestToAnIdleSleepAndBack) {
  MainFormRig rig;
  InstallSchemeFile(rig);
  const MainFormPorts ports = rig.Ports();
  SuspendLog log;
  PlaySuspend(rig, log);

  // Day one: the user chooses Fast and applies it, then logs off.
  TvmMainForm& first = StartProgram(rig, ports);
  first.FastImageEnClick();
  first.ApplyImageEnClick();
  ASSERT_TRUE(HasLogonTask(rig));
  EXPECT_EQ(rig.ControlByte(), 0x08);
  EXPECT_EQ(rig.power.System().acPolicy.MinSleep, 4u);
  LogOff(rig);
  EXPECT_EQ(rig.ControlByte(), 0x0C);  // the shut-down query adds the Fast bit
  EXPECT_EQ(SavedMode(rig), "3");

  // The firmware asks for a suspend at the next idle; the task starts the program at logon.
  rig.board.RaiseBootRequest();
  TvmMainForm& form = StartProgram(rig, ports);
  EXPECT_EQ(rig.ControlByte(), 0x0C);
  EXPECT_TRUE(form.SuspendOnIdle);

  // The desktop is busy loading for three seconds, then settles.
  RunSeconds(rig, 3, 70);
  EXPECT_FALSE(rig.view.mainVisible);
  EXPECT_FALSE(IconShown(rig));
  RunSeconds(rig, 5, 3);
  EXPECT_TRUE(log.requests.empty());
  RunSeconds(rig, 1, 3);

  ASSERT_EQ(log.requests.size(), 1u);
  EXPECT_FALSE(log.requests[0].hibernate);
  EXPECT_FALSE(log.requests[0].forceCritical);
  EXPECT_TRUE(log.requests[0].disableWakeEvent);
  EXPECT_EQ(log.byteAtSuspend, 0x0D);
  EXPECT_EQ(log.byteAfterBroadcast, 0x0D);  // our own suspend keeps the sleep bit
  EXPECT_TRUE(IconShown(rig));
  EXPECT_EQ(ProductDword(rig, kResumePasswordLogonValue), 12u);
  EXPECT_EQ(rig.power.System().suspendCalls.size(), 1u);

  // The machine is back.
  EXPECT_EQ(form.PowerBroadcast(win::kPbtApmResumeSuspend), 0);
  EXPECT_EQ(rig.ControlByte(), 0x0C);
  EXPECT_FALSE(rig.view.mainVisible);
  EXPECT_TRUE(IconShown(rig));

  // Later the user sleeps the machine from the Start menu; the timer stays off.
  rig.board.SetControlByte(0x0F);
  rig.power.onSuspend = nullptr;
  form.PowerBroadcast(win::kPbtApmSuspend);
  EXPECT_EQ(rig.ControlByte(), 0x0C);
  RunSeconds(rig, 10, 0);
  EXPECT_EQ(rig.power.CallCount("SetSuspendState"), 1);

  LogOff(rig);
  EXPECT_EQ(SavedMode(rig), "3");
  EXPECT_TRUE(HasLogonTask(rig));
  EXPECT_EQ(rig.AutoRun(), 1u);

  // At the next logon the user turns the feature off from the tray: the password prompt is back.
  StartProgram(rig, ports).vmTrayCloseClick();
  EXPECT_EQ(rig.power.System().appliedSettings.at("0e796bdb-100d-47d6-a2d5-f7d2daa51f51"),
            (sim::SimSettingIndex{1, 1}));
  EXPECT_FALSE(ProductDword(rig, kResumePasswordLogonValue).has_value());
}

TEST(MainFormLife, ALateShellGetsTheIconAfterTheOverlayAndAHibernation) {
  MainFormRig rig;
  const MainFormPorts ports = rig.Ports();
  SuspendLog log;
  PlaySuspend(rig, log);

  TvmMainForm& first = StartProgram(rig, ports);
  first.RegularImageEnClick();
  first.ApplyImageEnClick();
  LogOff(rig);
  rig.board.RaiseBootRequest();

  // After this logon the taskbar needs fifteen seconds before it takes icons.
  const std::uint64_t logon = rig.timers.Now();
  rig.tray.NotReadyUntil([&rig] { return rig.timers.Now(); }, logon + 15 * kSecondMs);
  OverlayLife overlays(rig);
  TvmMainForm& form = StartProgram(rig, ports);
  RunSeconds(rig, 6, 2);

  EXPECT_EQ(rig.view.overlayShows, 1);
  EXPECT_EQ(overlays.shownAt, logon + 6 * kSecondMs);
  EXPECT_GT(overlays.closedAt, overlays.shownAt);
  EXPECT_LE(overlays.closedAt, logon + 10 * kSecondMs);  // the countdown was shared
  ASSERT_EQ(log.requests.size(), 1u);
  EXPECT_TRUE(log.requests[0].hibernate);
  EXPECT_EQ(log.byteAtSuspend, 0x0A);
  EXPECT_EQ(log.byteAfterBroadcast, 0x0A);

  form.PowerBroadcast(win::kPbtApmResumeSuspend);
  EXPECT_EQ(rig.ControlByte(), 0x08);
  EXPECT_FALSE(IconShown(rig));
  RunSeconds(rig, 6, 2);  // the component retries once a second
  EXPECT_FALSE(IconShown(rig));
  RunSeconds(rig, 1, 2);  // the taskbar is there
  ASSERT_TRUE(IconShown(rig));
  EXPECT_EQ(rig.timers.Now(), logon + 15 * kSecondMs);
  EXPECT_EQ(rig.tray.Icon(kTrayWindow, kTrayIconId)->tip, "Zelkor Velmora");
  EXPECT_EQ(rig.tray.Calls().back().message, win::kNimModify);
  EXPECT_TRUE(rig.tray.Calls().back().accepted);
  const int adds = rig.tray.Count(win::kNimAdd);
  RunSeconds(rig, 5, 2);
  EXPECT_EQ(rig.tray.Count(win::kNimAdd), adds);  // no retry once shown

  LogOff(rig);
  EXPECT_EQ(SavedMode(rig), "4");
  EXPECT_EQ(rig.ControlByte(), 0x08);
}

TEST(MainFormLife, OnXpWithoutS3TheRequestEndsInANoticeAndExitTurnsEverythingOff) {
  RigSetup setup = XpSetup();
  setup.power.capabilities.SystemS3 = 0;
  MainFormRig rig(setup);

  TvmMainForm& first = rig.Start();
  first.FastImageEnClick();
  first.ApplyImageEnClick();
  EXPECT_EQ(rig.ControlByte(), 0x0C);
  EXPECT_EQ(RunValue(rig), "\"C:\\Program Files\\Zelkor\\Velmora\\Velmora.exe\"");
  EXPECT_TRUE(rig.power.System().legacySchemes.count(18) == 0);
  LogOff(rig);

  rig.board.RaiseBootRequest();
  TvmMainForm& form = StartProgram(rig, rig.Ports());
  RunSeconds(rig, 6, 0);
  ASSERT_EQ(rig.Boxes().size(), 1u);
  EXPECT_EQ(rig.Boxes()[0].text, "To use this feature, you must install all device drivers.");
  EXPECT_EQ(rig.Boxes()[0].type, 0x1040u);
  EXPECT_TRUE(rig.power.System().suspendCalls.empty());
  EXPECT_EQ(rig.ControlByte(), 0x0C);
  EXPECT_TRUE(IconShown(rig));

  form.vmTrayCloseClick();
  EXPECT_FALSE(RunValue(rig).has_value());
  EXPECT_EQ(rig.AutoRun(), 0u);
  EXPECT_EQ(rig.ControlByte(), 0x04);  // the Fast bit is the firmware's to clear
  EXPECT_FALSE(IconShown(rig));
  EXPECT_EQ(SavedMode(rig), "3");
}

}  // namespace
}  // namespace velmora
