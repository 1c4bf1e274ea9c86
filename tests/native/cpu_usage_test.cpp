#include <gtest/gtest.h>

#include "power/CpuUsage.h"
#include "sim/SimSystemInfo.h"

namespace velmora {
namespace {

constexpr std::uint64_t kOneSecond = 10'000'000;  // in 100-ns units

class CpuUsageTest : public ::testing::Test {
 protected:
  sim::SimSystemTimes& Times() { return system.processorTimes; }
  sim::SimSystemInfo system;
};

TEST_F(CpuUsageTest, NoTimeBetweenTwoCallsIsZero) {
  TCpuUsage usage(system);
  EXPECT_EQ(usage.GetUsage(), 0u);
  EXPECT_EQ(usage.GetUsage(), 0u);
}

TEST_F(CpuUsageTest, BindsGetSystemTimesInKernel32AndSamplesAtConstruction) {
  Times().Run(kOneSecond, 90);  // before the object exists: not counted
  TCpuUsage usage(system);
  EXPECT_EQ(system.ModuleQueries(), std::vector<std::string>{"Kernel32.DLL"});
  EXPECT_EQ(Times().calls, 1);
  Times().Run(kOneSecond, 30);
  EXPECT_EQ(usage.GetUsage(), 30u);
}

TEST_F(CpuUsageTest, EachCallMeasuresOnlyTheIntervalSinceThePreviousOne) {
  TCpuUsage usage(system);
  Times().Run(kOneSecond, 80);
  EXPECT_EQ(usage.GetUsage(), 80u);
  Times().Run(kOneSecond, 20);
  EXPECT_EQ(usage.GetUsage(), 20u);
  Times().Run(kOneSecond, 100, 0);
  EXPECT_EQ(usage.GetUsage(), 100u);
  Times().Run(kOneSecond, 0);
  EXPECT_EQ(usage.GetUsage(), 0u);
}

TEST_F(CpuUsageTest, KernelTimeCountsAsBusyOnlyBeyondIdle) {
  TCpuUsage usage(system);
  Times().Run(kOneSecond, 50, 100);  // all busy time in kernel mode
  EXPECT_EQ(usage.GetUsage(), 50u);
}

TEST_F(CpuUsageTest, PercentIsTruncated) {
  TCpuUsage usage(system);
  Times().Set({Times().Now().idle + 1, Times().Now().kernel + 2, Times().Now().user + 1});
  EXPECT_EQ(usage.GetUsage(), 66u);  // 2 of 3 busy
  Times().Set({Times().Now().idle + 199, Times().Now().kernel + 200, Times().Now().user});
  EXPECT_EQ(usage.GetUsage(), 0u);  // 0.5 %
}

TEST_F(CpuUsageTest, CountersWrappingPastTwoToThe64AreStillDifferences) {
  Times().Set({~std::uint64_t{0} - 100, ~std::uint64_t{0} - 100, ~std::uint64_t{0} - 10});
  TCpuUsage usage(system);
  Times().Run(kOneSecond, 25);
  EXPECT_EQ(usage.GetUsage(), 25u);
}

TEST_F(CpuUsageTest, IdleBeyondTheTotalIsNotAWrapToHugeLoad) {
  TCpuUsage usage(system);
  const SystemTimes now = Times().Now();
  Times().Set({now.idle + 500, now.kernel + 100, now.user + 100});
  EXPECT_EQ(usage.GetUsage(), 0u);
}

TEST_F(CpuUsageTest, WithoutGetSystemTimesAlwaysZeroAndNeverCalled) {
  system.Release().kernel32Exports.erase("GetSystemTimes");
  TCpuUsage usage(system);
  EXPECT_FALSE(usage.HasSystemTimes());
  Times().Run(kOneSecond, 100);
  EXPECT_EQ(usage.GetUsage(), 0u);
  EXPECT_EQ(Times().calls, 0);
}

TEST_F(CpuUsageTest, FailingCallReadsAsIdleAndKeepsThePreviousSample) {
  TCpuUsage usage(system);
  Times().Run(kOneSecond, 60);
  Times().fails = true;
  EXPECT_EQ(usage.GetUsage(), 0u);
  Times().fails = false;
  Times().Run(kOneSecond, 20);
  EXPECT_EQ(usage.GetUsage(), 40u);  // both seconds since the last good sample
}

}  // namespace
}  // namespace velmora
