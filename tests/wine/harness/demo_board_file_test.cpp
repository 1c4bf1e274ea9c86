// VelmoraDemo.exe under Wine with its board file: the firmware's control byte as the program
// leaves it is kept in VelmoraBoard.txt, a byte put there is what the program finds, the
// simulated power library's suspend calls reach the demo's log, and a board the program must
// refuse is refused.
#include <gtest/gtest.h>

#include <string>

#include "DemoScenario.h"

namespace velmora::wine_test {
namespace {

class DemoBoardFileTest : public DemoScenario {};

// On UEFI firmware without legacy copies: the program finds its tables through Windows' firmware
// table provider.
TEST_F(DemoBoardFileTest, FirmwareRequestIsTakenAndTheByteKeptInTheBoardFile) {
  const std::string board = "; test board\r\n[Board]\r\nName = request\r\nUefi = 1\r\n[Demo]\r\n";
  UseBoard(board + "ControlByte = 0x10\r\n");
  demo = Start(exe);
  EXPECT_TRUE(Eventually([&] { return BoardFile(); }, "ControlByte = 0x00", 30s)) << BoardFile();
  EXPECT_EQ(BoardFile(), board + "ControlByte = 0x00\r\n");
  EXPECT_NE(DemoLog().find("Control byte 0x00\r\n"), std::string::npos) << DemoLog();

  // The uninstaller's call ends the running demo; the byte stays as the program left it.
  const ProcessResult uninstall = Run(exe, {"/UNINSTALL"}, 30s);
  EXPECT_TRUE(uninstall.Succeeded()) << uninstall.Describe();
  EXPECT_EQ(WaitExit(demo, 30s).exitCode, 0);
  EXPECT_NE(BoardFile().find("ControlByte = 0x00\r\n"), std::string::npos) << BoardFile();
}

TEST_F(DemoBoardFileTest, RequestInFastModeSleepsThroughTheSimulatedPowerLibrary) {
  UseBoard("[Demo]\r\nControlByte = 0x10\r\nSimulatedPower = 1\r\n");
  UseSettings("VelmoraMode=3\r\nIdlePercentage=101\r\nIdleCount=0\r\n");
  demo = Start(exe);
  EXPECT_TRUE(Eventually([&] { return DemoLog(); },
                         "SetSuspendState hibernate=0 forceCritical=0 disableWakeEvent=1 result=1 "
                         "controlByte=0x01\r\nControl byte 0x00\r\nResumed, controlByte=0x00\r\n",
                         40s))
      << DemoLog();
  EXPECT_NE(BoardFile().find("ControlByte = 0x00\r\n"), std::string::npos) << BoardFile();
}

TEST_F(DemoBoardFileTest, RequestInRegularModeHibernatesThroughTheSimulatedPowerLibrary) {
  UseBoard("[Demo]\r\nControlByte = 0x10\r\nSimulatedPower = 1\r\n");
  UseSettings("VelmoraMode=4\r\nIdlePercentage=101\r\nIdleCount=0\r\n");
  demo = Start(exe);
  EXPECT_TRUE(Eventually([&] { return DemoLog(); },
                         "SetSuspendState hibernate=1 forceCritical=0 disableWakeEvent=1 result=1 "
                         "controlByte=0x02\r\nControl byte 0x00\r\nResumed, controlByte=0x00\r\n",
                         40s))
      << DemoLog();
  EXPECT_NE(BoardFile().find("ControlByte = 0x00\r\n"), std::string::npos) << BoardFile();
}

// Regular, then Apply (Wine's own PowrProf has hibernation): the enable bit reaches the
// firmware's byte, and so the board file, and the window goes to the tray.
TEST_F(DemoBoardFileTest, ApplyInRegularModeSetsTheEnableBitKeptInTheBoardFile) {
  UseBoard("[Demo]\r\nSimulatedTaskScheduler = 1\r\n");
  StartAndShoot(Skin("BackgroundImage"));
  ASSERT_NO_FATAL_FAILURE(Choose(kRegularButton, "Bt_regular_4"));
  ASSERT_TRUE(ClickAt(kApplyButton));
  EXPECT_TRUE(Eventually([&] { return BoardFile(); }, "[Demo]\r\nControlByte = 0x08\r\n", 20s))
      << BoardFile() << "\n"
      << DemoLog();
  const auto visibility = [&] { return Probe({"window-visible", kMainClass, "*"}).out; };
  EXPECT_TRUE(Eventually(visibility, "hidden", 10s));
  EXPECT_NE(DemoLog().find("Control byte 0x08\r\n"), std::string::npos) << DemoLog();

  // Closed from outside (not through the tray's Exit), the program leaves the feature on: the
  // simulated scheduler still holds the logon task when the demo ends.
  EXPECT_EQ(Probe({"post", kMainClass, "*", "0x0010"}).exitCode, 0);
  EXPECT_EQ(WaitExit(demo, 30s).exitCode, 0);
  EXPECT_NE(DemoLog().find("Logon task at exit: zZelkorVelmora\r\n"), std::string::npos)
      << DemoLog();
  EXPECT_NE(BoardFile().find("ControlByte = 0x08\r\n"), std::string::npos) << BoardFile();
}

TEST_F(DemoBoardFileTest, BoardWithoutTheFunctionTableIsRefused) {
  UseBoard("[Qvzx]\r\nPresent = 0\r\n");
  demo = Start(exe);
  const ProcessResult box = Probe({"box-text", kBoxCaption, "30000"});
  EXPECT_NE(box.out.find(std::string(" text=") + kFunctionTableError + "\n"), std::string::npos)
      << box.Describe();
  EXPECT_TRUE(CloseBox(kBoxCaption));
  EXPECT_EQ(WaitExit(demo, 30s).exitCode, 0);
  EXPECT_NE(DemoLog().find("Board: no QVZX control byte"), std::string::npos) << DemoLog();
  EXPECT_EQ(BoardFile(), "[Qvzx]\r\nPresent = 0\r\n");
}

}  // namespace
}  // namespace velmora::wine_test
