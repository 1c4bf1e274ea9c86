// The Wine fixture itself: fresh prefix per test, time limits, clean-up, and the probe tool that
// the process tests use to look into a prefix.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "WineHost.h"
#include "WineSession.h"

namespace velmora::wine_test {
namespace {

namespace fs = std::filesystem;

constexpr char kMarker[] = "C:\\velmora\\marker.txt";

class HarnessSelfTest : public WineSession {
 protected:
  // Written by a Windows process, so it lands wherever Wine's C: drive really is.
  void ExpectNoMarkerThenLeaveOne() {
    EXPECT_FALSE(ReadFile(kMarker).has_value()) << "a previous test's prefix was reused";
    const ProcessResult written =
        Run("cmd", {"/c", "mkdir C:\\velmora & echo marker> C:\\velmora\\marker.txt"});
    EXPECT_EQ(written.exitCode, 0) << written.Describe();
    EXPECT_EQ(ReadFile(kMarker).value_or(""), "marker\r\n");
    EXPECT_FALSE(fs::exists(WineHost::Get().TemplateDir() / "drive_c/velmora/marker.txt"))
        << "the template itself was written to";
  }

  // Polls the probe until `mutex-exists` gives `wanted` (0 exists, 2 not) or time runs out.
  bool MutexReaches(const std::string& name, int wanted) {
    for (int attempt = 0; attempt < 50; ++attempt) {
      if (Probe({"mutex-exists", name}).exitCode == wanted) return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }
};

bool IsWineServer(pid_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name.rfind("wineserver", 0) == 0;
}

bool AnyWineServer(const std::vector<pid_t>& pids) {
  for (pid_t pid : pids) {
    if (IsWineServer(pid)) return true;
  }
  return false;
}

// Two identical tests: whichever runs second would see the first one's marker if prefixes
// were shared, in one test process or in two.
TEST_F(HarnessSelfTest, FreshPrefixFirst) {
  ExpectNoMarkerThenLeaveOne();
}
TEST_F(HarnessSelfTest, FreshPrefixSecond) {
  ExpectNoMarkerThenLeaveOne();
}

TEST_F(HarnessSelfTest, ProbeFindsNoInstanceMutexInAFreshPrefix) {
  const ProcessResult result = Probe({"mutex-exists", "ZelkorVelmoraMark"});
  EXPECT_EQ(result.exitCode, 2) << result.Describe();
  EXPECT_EQ(result.out, "none\n");
}

TEST_F(HarnessSelfTest, MutexOfAnotherProcessIsSeenAndGoesWithIt) {
  const ProcessHandle holder =
      Start(ProbeExe().string(), {"hold-mutex", "VelmoraSelfTestMutex", "60000"});
  ASSERT_TRUE(MutexReaches("VelmoraSelfTestMutex", 0));
  EXPECT_TRUE(IsRunning(holder));
  Kill(holder);
  EXPECT_FALSE(IsRunning(holder));
  EXPECT_TRUE(MutexReaches("VelmoraSelfTestMutex", 2)) << "the mutex outlived its process";
}

TEST_F(HarnessSelfTest, ProgramBeyondItsTimeLimitIsKilledAndReported) {
  ProcessResult result;
  EXPECT_NONFATAL_FAILURE(
      result = Run(ProbeExe().string(), {"hold-mutex", "VelmoraSlow", "60000"}, 3s),
      "did not end within 3000 ms and was killed");
  EXPECT_TRUE(result.timedOut);
  EXPECT_EQ(result.exitCode, -1);
  EXPECT_LT(result.elapsed, 15s);
  EXPECT_TRUE(MutexReaches("VelmoraSlow", 2)) << "the killed program still runs";
}

TEST_F(HarnessSelfTest, ClosingThePrefixStopsItsWineServerAndDeletesIt) {
  fs::path prefixDir;
  {
    WinePrefix other;
    ASSERT_TRUE(other.Open());
    prefixDir = other.PrefixDir();
    const ProcessHandle holder =
        other.Start(ProbeExe().string(), {"hold-mutex", "VelmoraOther", "60000"});
    for (int i = 0; i < 100 && !AnyWineServer(other.ProcessesOfPrefix()); ++i) {
      std::this_thread::sleep_for(50ms);
    }
    ASSERT_TRUE(AnyWineServer(other.ProcessesOfPrefix())) << "no wineserver for the prefix";
    ASSERT_TRUE(other.IsRunning(holder));
    EXPECT_NE(other.PrefixDir(), PrefixDir()) << "two prefixes share one copy";
  }  // the destructor closes, as TearDown does after a failed assertion
  EXPECT_TRUE(WinePrefix::ProcessesOfPrefix(prefixDir).empty());
  EXPECT_FALSE(fs::exists(prefixDir));
}

// The probe playing a running instance: a hidden top-level window that reports what is posted.
TEST_F(HarnessSelfTest, ServedWindowIsFoundHiddenAndReceivesThePostedMessage) {
  const ProcessHandle server = Start(
      ProbeExe().string(),
      {"serve-window", "VelmoraSelfTestClass", "Velmora Self", "30000", "VelmoraSelfTestServe"});
  ASSERT_EQ(Probe({"wait-window", "VelmoraSelfTestClass", "Velmora Self", "20000"}).exitCode, 0);
  EXPECT_EQ(Probe({"window-visible", "VelmoraSelfTestClass", "Velmora Self"}).out, "hidden\n");
  EXPECT_EQ(Probe({"find-window", "VelmoraSelfTestClass", "Other"}).exitCode, 2);
  EXPECT_EQ(Probe({"mutex-exists", "VelmoraSelfTestServe"}).exitCode, 0);
  EXPECT_EQ(Probe({"post", "VelmoraSelfTestClass", "Velmora Self", "0x819F"}).exitCode, 0);
  const ProcessResult served = WaitExit(server, 20s);
  EXPECT_EQ(served.exitCode, 0) << served.Describe();
  EXPECT_EQ(served.out, "message=0x819F wparam=0 lparam=0\n");
}

TEST_F(HarnessSelfTest, WatchMutexSeesTheMutexOfTheProgramItStarts) {
  const std::string probe = CopyIntoPrefix(ProbeExe(), "C:\\velmora\\tools");
  EXPECT_EQ(probe, "C:\\velmora\\tools\\velmora-probe.exe");
  const ProcessResult seen = Run(
      probe, {"watch-mutex", "VelmoraWatched", "--", probe, "hold-mutex", "VelmoraWatched", "300"});
  EXPECT_EQ(seen.exitCode, 0) << seen.Describe();
  EXPECT_EQ(seen.out.rfind("mutex-seen=1 exit=0 ms=", 0), 0u) << seen.out;

  const ProcessResult unseen =
      Run(probe, {"watch-mutex", "VelmoraOtherName", "--", probe, "mutex-exists", "x y"});
  EXPECT_EQ(unseen.out.rfind("mutex-seen=0 exit=2 ms=", 0), 0u) << unseen.out;
}

TEST_F(HarnessSelfTest, WindowsPathsMapToTheHost) {
  EXPECT_EQ(HostPath("C:\\velmora\\Cfg.ini"), DriveC() / "velmora/Cfg.ini");
  EXPECT_EQ(WindowsPath(DriveC() / "velmora/Cfg.ini"), "C:\\velmora\\Cfg.ini");
  EXPECT_EQ(WindowsPath("/usr/bin/x"), "Z:\\usr\\bin\\x");
}

}  // namespace
}  // namespace velmora::wine_test
