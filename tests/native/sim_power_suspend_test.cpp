// The simulated PowrProf's SetSuspendState: the session's hook sees every request with what the
// call returns, while the library records only the requests that reached it.
#include <gtest/gtest.h>

#include <vector>

#include "sim/SimPowerLibrary.h"

namespace velmora {
namespace {

struct SeenSuspend {
  sim::SimSuspendCall call;
  std::uint8_t result = 0;
};

class SimPowerSuspend : public testing::Test {
 protected:
  SimPowerSuspend() {
    library.onSuspend = [this](const sim::SimSuspendCall& call, std::uint8_t result) {
      seen.push_back({call, result});
      recordedDuringHook = library.System().suspendCalls.size();
    };
    module = library.LoadLibraryA("PowrProf.DLL");
    function = library.GetProcAddress(module, "SetSuspendState");
  }

  sim::SimPowerLibrary library;
  std::vector<SeenSuspend> seen;
  std::size_t recordedDuringHook = 0;
  ModuleHandle module = 0;
  ProcAddress function = 0;
};

TEST_F(SimPowerSuspend, TheHookSeesTheRecordedRequestAndTheResult) {
  ASSERT_NE(function, 0u);
  EXPECT_EQ(library.SetSuspendState(function, true, false, true), 1);

  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].call.hibernate);
  EXPECT_FALSE(seen[0].call.forceCritical);
  EXPECT_TRUE(seen[0].call.disableWakeEvent);
  EXPECT_EQ(seen[0].result, 1);
  EXPECT_EQ(recordedDuringHook, 1u);
  ASSERT_EQ(library.System().suspendCalls.size(), 1u);
  EXPECT_TRUE(library.System().suspendCalls[0].hibernate);
}

TEST_F(SimPowerSuspend, ARefusedOrMisroutedRequestReachesTheHookAsZero) {
  library.FailCall("SetSuspendState", 1, 0);
  EXPECT_EQ(library.SetSuspendState(function, false, false, true), 0);
  const ProcAddress wrong = library.GetProcAddress(module, "ReadPwrScheme");
  EXPECT_EQ(library.SetSuspendState(wrong, false, true, false), 0);
  EXPECT_EQ(library.SetSuspendState(function, false, false, false), 1);

  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].result, 0);
  EXPECT_EQ(seen[1].result, 0);
  EXPECT_TRUE(seen[1].call.forceCritical);
  EXPECT_EQ(seen[2].result, 1);
  // The refused call still reached the library; the misrouted one did not.
  EXPECT_EQ(library.System().suspendCalls.size(), 2u);
  EXPECT_EQ(library.MisroutedCalls(), 1);
  EXPECT_EQ(library.CallCount("SetSuspendState"), 3);
}

TEST(SimPowerSuspendWithoutHook, SuspendsAsBefore) {
  sim::SimPowerLibrary library;
  const ProcAddress function =
      library.GetProcAddress(library.LoadLibraryA("powrprof.dll"), "SetSuspendState");
  EXPECT_EQ(library.SetSuspendState(function, false, false, true), 1);
  EXPECT_EQ(library.System().suspendCalls.size(), 1u);
}

}  // namespace
}  // namespace velmora
