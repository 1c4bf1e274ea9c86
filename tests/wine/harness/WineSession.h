// GoogleTest fixture for tests that start real Windows processes under Wine.
//
// Every test gets its own fresh copy of the 32-bit template prefix (SetUp) with its own
// wineserver; TearDown kills everything that runs in it and deletes it, whether the test
// passed or not. The first test of a test program builds the template prefix if needed and,
// when DISPLAY is unset, starts one Xvfb that serves all tests of the program.
//
//   class InstanceTest : public velmora::wine_test::WineSession {};
//   TEST_F(InstanceTest, SecondStartAsksTheRunningInstanceToShow) {
//     const std::string exe = CopyIntoPrefix(VelmoraExe(), "C:\\velmora\\");
//     // velmora-probe plays the running instance: mutex, hidden application window.
//     ProcessHandle first = Start(ProbeExe().string(), {"serve-window", "TApplication",
//                                 "ZelkorVelmora", "20000", "ZelkorVelmoraMark"});
//     ASSERT_EQ(Probe({"wait-window", "TApplication", "ZelkorVelmora", "20000"}).exitCode, 0);
//     EXPECT_EQ(Run(exe, {}, 20s).exitCode, 0);
//     EXPECT_EQ(WaitExit(first, 20s).out, "message=0x819F wparam=0 lparam=0\n");
//   }
//
// velmora-probe's commands are listed at the top of tests/wine/probe/probe.cpp.
#pragma once

#include <gtest/gtest.h>

#include "WinePrefix.h"

namespace velmora::wine_test {

class WineSession : public ::testing::Test, public WinePrefix {
 public:
  using WinePrefix::Run;  // not GoogleTest's own Test::Run

 protected:
  void SetUp() override { ASSERT_TRUE(Open()) << "no Wine prefix for this test"; }
  void TearDown() override { Close(); }
};

}  // namespace velmora::wine_test
