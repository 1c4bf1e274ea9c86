// The real Velmora.exe under Wine: one running instance, and what a later start does to it.
// Wine's board is no maker board, so the real program under Wine refuses to start: it holds the
// mutex and its application window while its two refusal boxes wait, then ends. A later start
// meets it in that state; the stand-in instance of velmora-probe receives the requests instead
// where a test needs to see them.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "MessageBoxes.h"
#include "ProgramSession.h"

namespace velmora::wine_test {
namespace {

using namespace std::chrono_literals;

class InstanceTest : public ProgramSession {
 protected:
  // Starts the real program and waits until its first refusal box is up: from then on it holds
  // the mutex and its application window until the boxes are answered.
  ProcessHandle StartRefusingInstance() {
    ProcessHandle first = Start(exe);
    EXPECT_EQ(Probe({"wait-window", kAppClass, kAppTitle, "60000"}).exitCode, 0)
        << "the first instance never created its application window";
    EXPECT_TRUE(boxes.Current(60s).has_value()) << "the first instance shows no refusal";
    return first;
  }

  // Answers the refusals until the program has ended; its exit and what it showed.
  std::vector<std::string> AnswerRefusals(ProcessHandle first) {
    std::vector<std::string> texts = boxes.AnswerUntilEnd(first, 120s);
    const ProcessResult ended = WaitExit(first, 30s);
    EXPECT_EQ(ended.exitCode, 0) << ended.Describe();
    return texts;
  }

  // A stand-in for a running instance that prints the first request it receives.
  ProcessHandle StartListeningInstance() {
    ProcessHandle listener =
        Start(ProbeExe().string(), {"serve-window", kAppClass, kAppTitle, "20000", kMutex});
    EXPECT_EQ(Probe({"wait-window", kAppClass, kAppTitle, "20000"}).exitCode, 0);
    return listener;
  }

  int MainWindowVisibility() {
    return Probe({"window-visible", kMainClass, kMainCaption}).exitCode;
  }

  MessageBoxes boxes{*this, kBoxCaption};
};

TEST_F(InstanceTest, FirstStartHoldsTheMutexWhileItRefusesAndReleasesItAtTheEnd) {
  ProcessHandle first = StartRefusingInstance();
  EXPECT_EQ(Probe({"mutex-exists", kMutex}).exitCode, 0);
  EXPECT_EQ(MainWindowVisibility(), 1) << "the main window exists, hidden";
  EXPECT_TRUE(IsRunning(first));
  EXPECT_EQ(AnswerRefusals(first), EnglishRefusals());
  EXPECT_NE(Probe({"mutex-exists", kMutex}).exitCode, 0);
  EXPECT_EQ(Probe({"find-window", kAppClass, kAppTitle}).exitCode, 2);
}

TEST_F(InstanceTest, SecondPlainStartPostsTheShowRequestAndEnds) {
  ProcessHandle listener = StartListeningInstance();
  const ProcessResult second = Run(exe, {}, 20s);
  EXPECT_TRUE(second.Succeeded()) << second.Describe();
  EXPECT_EQ(WaitExit(listener, 20s).out, "message=0x819F wparam=0 lparam=0\n");
}

// The show request reaches the first instance while it is still being constructed (inside its
// refusal box); the box's own loop has no use for it, so nothing is shown, and the second start
// ends at once instead of starting a second refusal.
TEST_F(InstanceTest, SecondStartWhileTheFirstRefusesEndsAndShowsNothing) {
  ProcessHandle first = StartRefusingInstance();
  const ProcessResult second = Run(exe, {}, 20s);
  EXPECT_TRUE(second.Succeeded()) << second.Describe();
  EXPECT_EQ(MainWindowVisibility(), 1);
  EXPECT_TRUE(IsRunning(first));
  EXPECT_EQ(AnswerRefusals(first), EnglishRefusals()) << "one instance, two boxes";
}

TEST_F(InstanceTest, UninstallInAnyCasePostsTheShutdownRequest) {
  for (const char* argument : {"/UNINSTALL", "/uninstall", "x/UnInstallY"}) {
    SCOPED_TRACE(argument);
    ProcessHandle listener = StartListeningInstance();
    const ProcessResult uninstaller = Run(exe, {argument}, 20s);
    EXPECT_TRUE(uninstaller.Succeeded()) << uninstaller.Describe();
    EXPECT_EQ(WaitExit(listener, 20s).out, "message=0x819E wparam=0 lparam=0\n");
  }
}

// An uninstaller's shut-down request meets the first instance inside its refusal: the request
// goes unanswered, the uninstaller ends on its own after posting, and the refusal still runs to
// its clean end.
TEST_F(InstanceTest, UninstallWhileTheFirstRefusesEndsAndTheRefusalFinishes) {
  ProcessHandle first = StartRefusingInstance();
  const ProcessResult uninstaller = Run(exe, {"/UNINSTALL"}, 20s);
  EXPECT_TRUE(uninstaller.Succeeded()) << uninstaller.Describe();
  EXPECT_TRUE(IsRunning(first));
  EXPECT_EQ(AnswerRefusals(first), EnglishRefusals());
  EXPECT_NE(Probe({"mutex-exists", kMutex}).exitCode, 0);
}

// Nothing runs that could be asked: the program turns the feature off itself, holding the mutex
// meanwhile, with no window and no box. Wine's board is no maker board: exit code 2.
TEST_F(InstanceTest, UninstallWithNothingRunningTurnsTheFeatureOffAloneWithoutAWindow) {
  const ProcessResult watched = Probe({"watch-mutex", kMutex, "--", exe, "/UNINSTALL"}, 60s);
  ASSERT_TRUE(watched.Succeeded()) << watched.Describe();
  EXPECT_NE(watched.out.find("mutex-seen=1"), std::string::npos) << watched.out;
  EXPECT_NE(watched.out.find("exit=2"), std::string::npos) << watched.out;
  EXPECT_FALSE(boxes.Current(0s).has_value());
  EXPECT_EQ(Probe({"find-window", kAppClass, kAppTitle}).exitCode, 2);
}

}  // namespace
}  // namespace velmora::wine_test
