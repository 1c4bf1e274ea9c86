// What VelmoraDemo.exe tells a user of a current PC, in either language, as Wine shows it: the
// driver Windows refuses, the reduced hibernation file, the Modern Standby PC without S3, and the
// suspend Windows refused (a balloon at the tray icon).
// With VELMORA_SCREENSHOT_DIR set each case leaves its box there as message-NAME.png
// (tools/screenshots).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "DemoScenario.h"
#include "WineHost.h"

namespace velmora::wine_test {
namespace {

using namespace std::chrono_literals;

enum class Trigger {
  kStart,          // the box comes during the start
  kRegularApply,   // Regular, then Apply
  kIdleRequest,    // the firmware's request, autostart on, mode Fast, every tick idle
};

struct MessageCase {
  const char* picture;
  bool chinese;
  const char* board;
  Trigger trigger;
  const char* text;  // how the box's text begins
};

class DemoMessagesTest : public DemoScenario, public ::testing::WithParamInterface<MessageCase> {
 protected:
  void Provoke(Trigger trigger, bool chinese) {
    if (trigger == Trigger::kIdleRequest) {
      UseSettings("VelmoraMode=3\r\nIdlePercentage=101\r\nIdleCount=1\r\n");
      ASSERT_TRUE(SetVelmoraDword("AutoRun", 1));
    }
    demo = Start(exe);
    if (trigger != Trigger::kRegularApply) return;
    ASSERT_TRUE(PollUntil([&] { return MainWindowShown(); }, 30s)) << DemoLog();
    ASSERT_NO_FATAL_FAILURE(
        Choose(kRegularButton, "Bt_regular_4", chinese ? "CHS_Bt_apply_1" : "Bt_apply_1"));
    ASSERT_TRUE(ClickAt(kApplyButton));
  }
};

// Wine, with no notification area on the display, keeps the icons in a window of its own at the
// top left and shows a balloon below it.
class DemoBalloonTest : public DemoScenario, public ::testing::WithParamInterface<bool> {};

TEST_P(DemoBalloonTest, ARefusedSuspendIsToldInABalloonAndLeavesNothingPending) {
  const bool chinese = GetParam();
  {
    if (chinese) SetEnvironment("LC_ALL", "zh_CN.UTF-8");
    UseBoard("[Demo]\r\nControlByte = 0x1C\r\nSuspendError = 1314\r\n");
    UseSettings("VelmoraMode=3\r\nIdlePercentage=101\r\nIdleCount=1\r\n");
    ASSERT_TRUE(SetVelmoraDword("AutoRun", 1));
    demo = Start(exe);
    ASSERT_TRUE(Eventually([&] { return DemoLog(); }, "result=0 controlByte=0x0D\r\n", 45s));
    // The sleep bit of the program's own goes again; the feature stays on in mode Fast.
    EXPECT_TRUE(PollUntil([&] { return ControlByte() == 0x0C; }, 10s)) << BoardFile();
    EXPECT_FALSE(VelmoraDword("Resume Password Logon").has_value());
    ASSERT_TRUE(PollUntil([&] { return TrayIconShown(); }, 10s));
    // The balloon: a light box under the tray window, where the screen is otherwise black.
    const Rgb black{0, 0, 0};
    EXPECT_TRUE(PollUntil([&] { return !(Screen().At(40, 80) == black); }, 10s, 250ms))
        << "no balloon under the tray icon";
    const char* folder = std::getenv("VELMORA_SCREENSHOT_DIR");
    if (folder != nullptr && *folder != '\0') {
      const std::string name = chinese ? "message-suspend-refused-chinese.png"
                                       : "message-suspend-refused-english.png";
      EXPECT_TRUE(SaveScreenPart(WineHost::Get().Display(), 0, 0, 300, 110,
                                 std::filesystem::path(folder) / name));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EnglishAndChinese, DemoBalloonTest, ::testing::Bool());

TEST_P(DemoMessagesTest, ShowsItsBoxInTheUsersLanguage) {
  const MessageCase& c = GetParam();
  if (c.chinese) SetEnvironment("LC_ALL", "zh_CN.UTF-8");
  UseBoard(c.board);
  ASSERT_NO_FATAL_FAILURE(Provoke(c.trigger, c.chinese));
  const ProcessResult box = Probe({"box-text", "*", "45000"});
  ASSERT_EQ(box.exitCode, 0) << box.Describe() << DemoLog();
  EXPECT_NE(box.out.find(std::string(" text=") + c.text), std::string::npos) << box.out;
  // The box is drawn once the probe has seen it; give Wine a moment to paint it.
  std::this_thread::sleep_for(500ms);
  SaveBoxForDocs(std::string("message-") + c.picture + ".png");
  EXPECT_TRUE(CloseBox("*"));
}

const MessageCase kCases[] = {
    {"driver-not-trusted-english", false, "[Demo]\r\nDriverRefused = 577\r\n", Trigger::kStart,
     "Windows refused to load the Zelkor Velmora driver"},
    {"driver-not-trusted-chinese", true, "[Demo]\r\nDriverRefused = 577\r\n", Trigger::kStart,
     "Windows 拒绝加载 Zelkor Velmora 驱动程序"},
    {"driver-blocked-english", false, "[Demo]\r\nDriverRefused = 1275\r\n", Trigger::kStart,
     "Windows blocks the Zelkor Velmora driver"},
    {"driver-blocked-chinese", true, "[Demo]\r\nDriverRefused = 1275\r\n", Trigger::kStart,
     "Windows 阻止了 Zelkor Velmora 驱动程序"},
    {"reduced-hibernation-file-english", false, "[Demo]\r\nReducedHibernationFile = 1\r\n",
     Trigger::kRegularApply, "The hibernation file of this PC serves only the fast startup."},
    {"reduced-hibernation-file-chinese", true, "[Demo]\r\nReducedHibernationFile = 1\r\n",
     Trigger::kRegularApply, "此电脑的休眠文件只用于快速启动。"},
    {"modern-standby-english", false, "[Demo]\r\nControlByte = 0x1C\r\nModernStandby = 1\r\n",
     Trigger::kIdleRequest, "This PC has no S3 sleep: it uses Modern Standby"},
    {"modern-standby-chinese", true, "[Demo]\r\nControlByte = 0x1C\r\nModernStandby = 1\r\n",
     Trigger::kIdleRequest, "此电脑没有 S3 睡眠：它使用新式待机"},
};

std::string CaseName(const ::testing::TestParamInfo<MessageCase>& info) {
  std::string name;
  for (const char* p = info.param.picture; *p != '\0'; ++p) {
    if (*p != '-') name += *p;
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(CurrentPcs, DemoMessagesTest, ::testing::ValuesIn(kCases), CaseName);

}  // namespace
}  // namespace velmora::wine_test
