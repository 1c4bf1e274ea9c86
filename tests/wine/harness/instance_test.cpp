// The real Velmora.exe under Wine: one running instance, and what a later start does to it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "WineSession.h"

namespace velmora::wine_test {
namespace {

using namespace std::chrono_literals;

constexpr char kAppClass[] = "TApplication";
constexpr char kAppTitle[] = "ZelkorVelmora";
constexpr char kMainClass[] = "TvmMainForm";
constexpr char kMainTitle[] = "Zelkor Velmora";
constexpr char kMutex[] = "ZelkorVelmoraMark";

class InstanceTest : public WineSession {
 protected:
  void SetUp() override {
    WineSession::SetUp();
    exe = CopyIntoPrefix(VelmoraExe(), "C:\\Program Files\\Zelkor\\Velmora\\");
  }

  // Starts the real program and waits until its application window can be found.
  ProcessHandle StartFirstInstance() {
    ProcessHandle first = Start(exe);
    EXPECT_EQ(Probe({"wait-window", kAppClass, kAppTitle, "20000"}).exitCode, 0)
        << "the first instance never created its application window";
    return first;
  }

  // A stand-in for a running instance that prints the first request it receives.
  ProcessHandle StartListeningInstance() {
    ProcessHandle listener =
        Start(ProbeExe().string(), {"serve-window", kAppClass, kAppTitle, "20000", kMutex});
    EXPECT_EQ(Probe({"wait-window", kAppClass, kAppTitle, "20000"}).exitCode, 0);
    return listener;
  }

  bool MainWindowVisibilityBecomes(int wanted) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      if (Probe({"window-visible", kMainClass, kMainTitle}).exitCode == wanted) return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }

  std::string exe;
};

TEST_F(InstanceTest, FirstStartHoldsTheMutexAndShowsItsWindow) {
  ProcessHandle first = StartFirstInstance();
  EXPECT_EQ(Probe({"mutex-exists", kMutex}).exitCode, 0);
  EXPECT_TRUE(MainWindowVisibilityBecomes(0));
  EXPECT_TRUE(IsRunning(first));
}

TEST_F(InstanceTest, SecondPlainStartPostsTheShowRequestAndEnds) {
  ProcessHandle listener = StartListeningInstance();
  const ProcessResult second = Run(exe, {}, 20s);
  EXPECT_TRUE(second.Succeeded()) << second.Describe();
  EXPECT_EQ(WaitExit(listener, 20s).out, "message=0x819F wparam=0 lparam=0\n");
}

TEST_F(InstanceTest, SecondStartBringsTheHiddenWindowBack) {
  ProcessHandle first = StartFirstInstance();
  ASSERT_TRUE(MainWindowVisibilityBecomes(0));
  ASSERT_EQ(Probe({"hide-window", kMainClass, kMainTitle}).exitCode, 0);
  ASSERT_TRUE(MainWindowVisibilityBecomes(1));

  const ProcessResult second = Run(exe, {}, 20s);
  EXPECT_TRUE(second.Succeeded()) << second.Describe();
  EXPECT_TRUE(MainWindowVisibilityBecomes(0)) << "the running instance did not show its window";
  EXPECT_TRUE(IsRunning(first));
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

TEST_F(InstanceTest, UninstallWhileRunningEndsTheRunningInstance) {
  ProcessHandle first = StartFirstInstance();
  const ProcessResult uninstaller = Run(exe, {"/UNINSTALL"}, 20s);
  EXPECT_TRUE(uninstaller.Succeeded()) << uninstaller.Describe();
  const ProcessResult ended = WaitExit(first, 30s);
  EXPECT_EQ(ended.exitCode, 0) << ended.Describe();
  EXPECT_NE(Probe({"mutex-exists", kMutex}).exitCode, 0);
}

TEST_F(InstanceTest, UninstallWithNothingRunningEndsAtOnceAndCreatesNoMutex) {
  const ProcessResult watched = Probe({"watch-mutex", kMutex, "--", exe, "/UNINSTALL"}, 20s);
  ASSERT_TRUE(watched.Succeeded()) << watched.Describe();
  EXPECT_NE(watched.out.find("mutex-seen=0"), std::string::npos) << watched.out;
  EXPECT_NE(watched.out.find("exit=0"), std::string::npos) << watched.out;
  EXPECT_EQ(Probe({"find-window", kMainClass, kMainTitle}).exitCode, 2);
}

}  // namespace
}  // namespace velmora::wine_test
