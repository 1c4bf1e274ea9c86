// VelmoraDemo.exe used as a person uses it: real clicks on the window's buttons, a second start,
// the uninstaller's call and the firmware's request to sleep; afterwards the outside world is
// checked: the autostart record in the registry, the simulated firmware's control byte in the
// board file, the settings file, the window and the notification-area icon on the screen.
//
// Wine reports no S3 sleep state and cannot make logon triggers, so on plain Wine Fast mode takes
// the path without S3 (bit 0x04 for the firmware) and the logon task is not registered. The
// board file's simulated power library (S3 present) and task scheduler give the other paths.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>

#include "DemoScenario.h"

namespace velmora::wine_test {
namespace {

using namespace std::chrono_literals;

// Bits of the firmware's control byte.
constexpr std::uint8_t kFastBit = 0x04;
constexpr std::uint8_t kEnabled = 0x08;

constexpr char kNoS3Board[] = "[Demo]\r\nControlByte = 0x00\r\n";
constexpr char kS3Board[] =
    "[Demo]\r\nControlByte = 0x00\r\nSimulatedPower = 1\r\nSimulatedTaskScheduler = 1\r\n";
// Every tick counts as idle, so the tray icon comes back at the second tick after activation.
constexpr char kQuickIdle[] = "IdlePercentage=101\r\nIdleCount=1\r\n";

std::size_t Occurrences(const std::string& text, const std::string& word) {
  std::size_t count = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
    ++count;
  return count;
}

class DemoScenariosTest : public DemoScenario {
 protected:
  void StartAndWaitForWindow() {
    demo = Start(exe);
    ASSERT_TRUE(PollUntil([&] { return MainWindowShown(); }, 30s))
        << "the main window never showed\n"
        << DemoLog();
  }

  // Fast, then Apply: the window goes to the tray once the control byte is `expectedByte`.
  void ApplyFast(std::uint8_t expectedByte) {
    ASSERT_NO_FATAL_FAILURE(Choose(kFastButton, "Bt_fast_4"));
    ASSERT_TRUE(ClickAt(kApplyButton));
    ASSERT_TRUE(PollUntil([&] { return ControlByte() == expectedByte; }, 30s)) << BoardFile();
    ASSERT_TRUE(PollUntil([&] { return !MainWindowShown() && TrayIconShown(); }, 30s))
        << "window shown: " << MainWindowShown() << ", tray icon shown: " << TrayIconShown();
  }

  bool RunValuePresent() {
    return Run("reg",
               {"query", "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "/v",
                "zZelkorVelmora"},
               30s)
               .exitCode == 0;
  }
};

TEST_F(DemoScenariosTest, FastApplyWithoutS3TurnsTheFeatureOnAndGoesToTheTray) {
  UseBoard(kNoS3Board);
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  EXPECT_EQ(VelmoraDword("AutoRun"), std::nullopt);
  EXPECT_FALSE(TrayIconShown());

  ASSERT_NO_FATAL_FAILURE(ApplyFast(kFastBit | kEnabled));
  EXPECT_EQ(VelmoraDword("AutoRun"), 1u);
  // The tray shows the product icon (the exe's first icon group), not Windows' generic one.
  int teal = 0;
  for (int tries = 0; tries < 30 && (teal = TrayPixelsOfTheProductIcon()) <= 40; ++tries) {
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_GT(teal, 40);
  SaveTrayForDocs("tray.png");
  // Without S3 the Fast bit is set first, by the preparation; the enable bit follows.
  EXPECT_NE(DemoLog().find("Control byte 0x04\r\nControl byte 0x0C\r\n"), std::string::npos)
      << DemoLog();
  // Wine cannot make the logon trigger: no task is left, no Run value stands in, Apply went on.
  EXPECT_FALSE(std::filesystem::exists(HostPath("C:\\windows\\system32\\tasks\\zZelkorVelmora")));
  EXPECT_FALSE(RunValuePresent());
  // The chosen mode reaches the settings file only when the program ends.
  EXPECT_EQ(SettingsFile().find("VelmoraMode=3"), std::string::npos) << SettingsFile();
  EXPECT_TRUE(IsRunning(demo));
}

TEST_F(DemoScenariosTest, SecondStartBringsTheWindowBackFromTheTrayAndItStays) {
  UseBoard(kNoS3Board);
  UseSettings(kQuickIdle);
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  ASSERT_NO_FATAL_FAILURE(ApplyFast(kFastBit | kEnabled));

  const ProcessResult second = Run(exe, {}, 30s);
  EXPECT_TRUE(second.Succeeded()) << second.Describe();
  // The running instance takes its icon out of the tray and shows the window, which stays: the
  // user asked for it (idle ticks pass meanwhile, and nothing hides it).
  EXPECT_TRUE(PollUntil([&] { return MainWindowShown() && !TrayIconShown(); }, 20s))
      << "window shown: " << MainWindowShown() << ", tray icon shown: " << TrayIconShown();
  std::this_thread::sleep_for(5s);
  EXPECT_TRUE(MainWindowShown()) << "the window hid itself again\n" << DemoLog();
  EXPECT_FALSE(TrayIconShown());
  // Close on an applied program sends it back to the tray.
  ASSERT_TRUE(ClickAt(kCloseButton));
  EXPECT_TRUE(PollUntil([&] { return !MainWindowShown() && TrayIconShown(); }, 30s))
      << "window shown: " << MainWindowShown() << ", tray icon shown: " << TrayIconShown();
  EXPECT_TRUE(IsRunning(demo));
  EXPECT_EQ(VelmoraDword("AutoRun"), 1u);
  EXPECT_EQ(ControlByte(), kFastBit | kEnabled) << BoardFile();
}

// Without the mouse: Tab to Fast and Space chooses it, Tab past Regular and Disable to the Apply
// that appeared, Space applies.
TEST_F(DemoScenariosTest, AModeIsAppliedFromTheKeyboardAlone) {
  UseBoard(kNoS3Board);
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  ASSERT_TRUE(PressKeys({"Tab", "space"}));
  ASSERT_TRUE(WaitForPicture(kFastButton, "Bt_fast_4", 10s)) << PictureAt(kFastButton, "Bt_fast_4");
  ASSERT_TRUE(WaitForPicture(kApplyButton, "Bt_apply_1", 4s));
  ASSERT_TRUE(PressKeys({"Tab", "Tab", "Tab", "space"}));
  EXPECT_TRUE(PollUntil([&] { return ControlByte() == (kFastBit | kEnabled); }, 30s))
      << BoardFile();
  EXPECT_TRUE(PollUntil([&] { return !MainWindowShown() && TrayIconShown(); }, 30s))
      << "window shown: " << MainWindowShown() << ", tray icon shown: " << TrayIconShown();
  EXPECT_EQ(VelmoraDword("AutoRun"), 1u);
}

TEST_F(DemoScenariosTest, DisableThenApplyTurnsTheFeatureOffAndEnds) {
  // The byte and the mode as an earlier Fast Apply without S3 left them.
  UseBoard("[Demo]\r\nControlByte = 0x0C\r\n");
  UseSettings("VelmoraMode=3\r\n");
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  EXPECT_TRUE(WaitForPicture(kFastButton, "Bt_fast_4", 10s))
      << "the saved mode is not shown as chosen";
  // Autostart turned on behind the open window: activated with autostart off, the window stays
  // (activated with it on, it would hide itself at the next tick).
  ASSERT_TRUE(SetVelmoraDword("AutoRun", 1));

  ASSERT_NO_FATAL_FAILURE(Choose(kDisableButton, "Bt_disable_4"));
  EXPECT_TRUE(WaitForPicture(kFastButton, "Bt_fast_1", 5s)) << PictureAt(kFastButton, "Bt_fast_1");
  ASSERT_TRUE(ClickAt(kApplyButton));
  const ProcessResult ended = WaitExit(demo, 40s);
  EXPECT_EQ(ended.exitCode, 0) << ended.Describe();
  EXPECT_EQ(VelmoraDword("AutoRun"), 0u);
  EXPECT_EQ(ControlByte(), kFastBit) << "only the enable bit is cleared\n" << BoardFile();
  EXPECT_NE(SettingsFile().find("VelmoraMode=0"), std::string::npos) << SettingsFile();
  EXPECT_FALSE(TrayIconShown());
}

TEST_F(DemoScenariosTest, UninstallerCallEndsTheRunningInstanceAndTurnsTheFeatureOff) {
  UseBoard(kNoS3Board);
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  ASSERT_NO_FATAL_FAILURE(ApplyFast(kFastBit | kEnabled));
  ASSERT_EQ(VelmoraDword("AutoRun"), 1u);

  const ProcessResult uninstall = Run(exe, {"/UNINSTALL"}, 30s);
  EXPECT_TRUE(uninstall.Succeeded()) << uninstall.Describe();
  const ProcessResult ended = WaitExit(demo, 40s);
  EXPECT_EQ(ended.exitCode, 0) << ended.Describe();
  EXPECT_EQ(VelmoraDword("AutoRun"), 0u);
  EXPECT_EQ(ControlByte(), kFastBit) << "only the enable bit is cleared\n" << BoardFile();
  EXPECT_TRUE(PollUntil([&] { return !TrayIconShown(); }, 10s)) << "the tray icon outlived it";
  // The mode chosen in this run is kept: turning off restores nothing but autostart and the bit.
  EXPECT_NE(SettingsFile().find("VelmoraMode=3"), std::string::npos) << SettingsFile();
}

TEST_F(DemoScenariosTest, FirmwareRequestWithAutostartSleepsOnceIdleThroughTheSimulatedLibrary) {
  UseBoard("[Demo]\r\nControlByte = 0x10\r\nSimulatedPower = 1\r\n");
  UseSettings("VelmoraMode=3\r\nIdlePercentage=101\r\nIdleCount=2\r\n");
  ASSERT_TRUE(SetVelmoraDword("AutoRun", 1));
  demo = Start(exe);

  const std::string call =
      "SetSuspendState hibernate=0 forceCritical=0 disableWakeEvent=1 result=1 "
      "controlByte=0x0D\r\n";
  // Request taken at activation (0x10 cleared, Fast and enable set), own sleep marked before;
  // the resume broadcast clears the mark again.
  ASSERT_TRUE(Eventually([&] { return DemoLog(); }, call + "Control byte 0x0C\r\nResumed", 45s))
      << DemoLog();
  EXPECT_EQ(ControlByte(), kFastBit | kEnabled) << BoardFile();
  const std::string log = DemoLog();
  EXPECT_LT(log.find("Control byte 0x0C\r\n"), log.find("SetSuspendState")) << log;
  EXPECT_TRUE(PollUntil([&] { return !MainWindowShown() && TrayIconShown(); }, 20s))
      << "window shown: " << MainWindowShown() << ", tray icon shown: " << TrayIconShown();
  const std::optional<std::uint32_t> password = VelmoraDword("Resume Password Logon");
  // The prompt the simulated Windows 7 had on, on mains and on battery (0x04 | 0x08).
  EXPECT_TRUE(password == 0u || password == 12u) << password.value_or(0xFFFFFFFF);
  // The timer stays off afterwards: the ticks that follow suspend nothing more.
  EXPECT_FALSE(PollUntil([&] { return Occurrences(DemoLog(), "SetSuspendState") > 1; }, 4s, 250ms))
      << DemoLog();
}

TEST_F(DemoScenariosTest, FastApplyWithS3RegistersTheLogonTaskThatACloseCommandKeeps) {
  UseBoard(kS3Board);
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  // With S3 the firmware is not told the mode: only the enable bit is set.
  ASSERT_NO_FATAL_FAILURE(ApplyFast(kEnabled));
  EXPECT_EQ(VelmoraDword("AutoRun"), 1u);
  EXPECT_FALSE(RunValuePresent());

  // The system's close command (not the window's Close button) only releases the objects.
  EXPECT_EQ(Probe({"post", kMainClass, "*", "0x0112", "0xF060"}).exitCode, 0);
  const ProcessResult ended = WaitExit(demo, 40s);
  EXPECT_EQ(ended.exitCode, 0) << ended.Describe();
  EXPECT_NE(DemoLog().find("Logon task at exit: zZelkorVelmora\r\n"), std::string::npos)
      << DemoLog();
  EXPECT_EQ(VelmoraDword("AutoRun"), 1u);
  EXPECT_EQ(ControlByte(), kEnabled) << BoardFile();
  EXPECT_NE(SettingsFile().find("VelmoraMode=3"), std::string::npos) << SettingsFile();
}

// The readers the scenarios judge by: the board file's byte and `wine reg query` output.
TEST(DemoScenarioReaders, ReadTheControlByteOfTheDemoSectionOnly) {
  EXPECT_EQ(
      DemoControlByte("[Qvzx]\r\nControlByte = 0x08\r\n[demo]\r\n CONTROLBYTE=0x0D ; kept\r\n"),
      0x0D);
  EXPECT_EQ(DemoControlByte("[Demo]\r\nControlByte = 12\r\n"), 12);
  EXPECT_EQ(DemoControlByte("[Qvzx]\r\nControlByte = 0x08\r\n"), std::nullopt);
  EXPECT_EQ(DemoControlByte("[Demo]\r\nControlByte = 0x100\r\n"), std::nullopt);
  EXPECT_EQ(DemoControlByte("[Demo]\r\nControlByte = x\r\n"), std::nullopt);
}

TEST(DemoScenarioReaders, ReadADwordOfRegQueryOutput) {
  const std::string output =
      "\r\nHKEY_CURRENT_USER\\Software\\Zelkor\\Velmora\r\n"
      "    AutoRunOld    REG_DWORD    0x7\r\n"
      "    AutoRun    REG_DWORD    0x1\r\n"
      "    Resume Password Logon    REG_DWORD    0x4\r\n\r\n";
  EXPECT_EQ(RegDwordFromQuery(output, "AutoRun"), 1u);
  EXPECT_EQ(RegDwordFromQuery(output, "autorunold"), 7u);
  EXPECT_EQ(RegDwordFromQuery(output, "Resume Password Logon"), 4u);
  EXPECT_EQ(RegDwordFromQuery(output, "Password Logon"), std::nullopt);
  EXPECT_EQ(RegDwordFromQuery("    AutoRun    REG_SZ    1\r\n", "AutoRun"), std::nullopt);
}

}  // namespace
}  // namespace velmora::wine_test
