// The real Velmora.exe under Wine on Wine's board, which is no maker board: the driver installs
// for real, the program then finds neither a maker device nor the firmware's function table
// (Wine maps no physical memory and answers PCI reads with nothing), refuses with both boxes in
// order and ends cleanly, without ever showing its main window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MessageBoxes.h"
#include "ProgramSession.h"

namespace velmora::wine_test {
namespace {

class RefusedStartTest : public ProgramSession {
 protected:
  void SetUp() override {
    ProgramSession::SetUp();
    // A skip in the base's SetUp returns from it only; there is no prefix to write into then.
    if (IsSkipped()) return;
    // The debug log tells what the driver's installation did.
    WriteFile(std::string(kProgramDir) + "Velmora.ini", "[Config]\r\nRwDebug=1\r\n");
  }

  // The program, watched by the probe for any moment its main window is visible.
  ProcessHandle StartWatched() {
    return Start(ProbeExe().string(), {"watch-visible", kMainClass, kMainCaption, "--", exe});
  }

  std::string Log() const { return ReadFile(std::string(kProgramDir) + "RwDebug.rw").value_or(""); }
};

TEST_F(RefusedStartTest, InstallsTheDriverRefusesWithBothBoxesInOrderAndEndsCleanly) {
  ProcessHandle watch = StartWatched();
  MessageBoxes boxes(*this, kBoxCaption);
  const std::optional<ShownBox> first = boxes.Current(60s);
  ASSERT_TRUE(first.has_value()) << "no box; program output: " << OutputSoFar(watch);
  EXPECT_EQ(first->text, kNotForThisPlatform);

  // While the first box waits: the driver's service is registered, the instance mutex is held,
  // and the main window exists but is hidden.
  EXPECT_EQ(Run("reg", {"query", kDriverServiceKey}, 30s).exitCode, 0);
  EXPECT_EQ(Probe({"mutex-exists", kMutex}).exitCode, 0);
  EXPECT_EQ(Probe({"window-visible", kMainClass, kMainCaption}).exitCode, 1);
  const std::string log = Log();
  EXPECT_NE(log.find("Create service success"), std::string::npos) << log.substr(0, 2000);
  EXPECT_NE(log.find("Connect driver ok"), std::string::npos) << log.substr(0, 2000);

  const std::vector<std::string> texts = boxes.AnswerUntilEnd(watch, 120s);
  EXPECT_EQ(texts, EnglishRefusals());
  const ProcessResult watched = WaitExit(watch, 30s);
  EXPECT_NE(watched.out.find("visible-seen=0 exit=0 "), std::string::npos) << watched.Describe();

  // Nothing is left: no mutex, no service, no box; the settings object's release wrote the
  // mode it had read (none) into the settings file beside the program.
  EXPECT_NE(Probe({"mutex-exists", kMutex}).exitCode, 0);
  EXPECT_NE(Run("reg", {"query", kDriverServiceKey}, 30s).exitCode, 0);
  EXPECT_FALSE(boxes.Current(0ms).has_value());
  const std::string settings = ReadFile(std::string(kProgramDir) + "Cfg.ini").value_or("");
  EXPECT_NE(settings.find("VelmoraMode=0"), std::string::npos) << settings;
}

TEST_F(RefusedStartTest, AChineseUserGetsTheChineseRefusals) {
  SetEnvironment("LC_ALL", "zh_CN.UTF-8");
  ProcessHandle watch = StartWatched();
  MessageBoxes boxes(*this, "Zelkor\xE7\xA7\x91\xE6\x8A\x80Velmora");  // "Zelkor科技Velmora"
  const std::vector<std::string> texts = boxes.AnswerUntilEnd(watch, 120s);
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "\xE6\xAD\xA4\xE5\xBA\x94\xE7\x94\xA8\xE7\xA8\x8B\xE5\xBA\x8F\xE4\xB8\x8D"
                       "\xE8\x83\xBD\xE4\xBD\xBF\xE7\x94\xA8\xE4\xBA\x8E\xE6\xAD\xA4\xE5\xB9\xB3"
                       "\xE5\x8F\xB0\xEF\xBC\x81",  // 此应用程序不能使用于此平台！
                       "\xE5\x8A\x9F\xE8\x83\xBD\xE8\xA1\xA8\xE9\x94\x99\xE8\xAF\xAF\xEF\xBC\x8C"
                       "\xE6\x82\xA8\xE5\x8F\xAF\xE8\x83\xBD\xE9\x9C\x80\xE8\xA6\x81\xE6\x9B\xB4"
                       "\xE6\x96\xB0\xE7\xB3\xBB\xE7\xBB\x9F\xE7\x9A\x84 BIOS\xE3\x80\x82"}));
  const ProcessResult watched = WaitExit(watch, 30s);
  EXPECT_NE(watched.out.find("visible-seen=0 exit=0 "), std::string::npos) << watched.Describe();
}

}  // namespace
}  // namespace velmora::wine_test
