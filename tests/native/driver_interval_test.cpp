// Counting across an interval: the MSR difference, Intel's and AMD's core-clock counters with
// their selection rules (a free counter only, given back as it was; none on a processor
// without them), the PM timer difference (24-bit mask), dispatch level throughout.
#include <gtest/gtest.h>

#include "driver_test_support.h"
#include "sim/kernel/SimPmTimer.h"

namespace velmora::drivertest {
namespace {

constexpr std::uint16_t kTimerPort = 0x408;

class DriverIntervalTest : public DriverTest {
 protected:
  void SetUp() override { bus.AttachPorts(kTimerPort, 4, timer); }

  std::vector<std::uint8_t> Measurement(std::uint32_t msr, std::uint32_t microseconds,
                                        std::uint16_t timerIs32Bit) {
    auto record = Record(32);
    Put32(record.data(), msr);
    Put32(record.data() + 4, microseconds);
    Put16(record.data() + 16, kTimerPort);
    Put16(record.data() + 18, timerIs32Bit);
    return record;
  }
  static std::uint64_t Count(const std::vector<std::uint8_t>& record) {
    return (static_cast<std::uint64_t>(U32(record.data() + 8)) << 32) | U32(record.data() + 12);
  }
  std::vector<sim::SimCpu::MsrWrite> WritesSince(std::size_t first) {
    const auto& all = kernel.Cpu().MsrWrites();
    return {all.begin() + static_cast<std::ptrdiff_t>(first), all.end()};
  }

  sim::SimPmTimer timer{kernel.Clock(), false};
};

TEST_F(DriverIntervalTest, MsrDifferenceAndTimerTicksAcrossTheStall) {
  kernel.Cpu().SetTscHertz(1000000000);
  kernel.Clock().Advance(1000000000);
  auto record = Measurement(0x10, 1000, 0);
  const IoResult result = Control(dp::IOCTL_MEASURE_MSR, record, 20, 32);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 0x20u);
  EXPECT_EQ(Count(record), 1000000u);        // 1 ms of a 1 GHz counter
  EXPECT_EQ(U32(record.data() + 4), 3579u);  // 1 ms of the 3.579545 MHz timer
  EXPECT_EQ(U32(record.data() + 0), 0x10u);
  EXPECT_EQ(U32(record.data() + 20), 0u);  // +20..31 not used: cleared
  EXPECT_EQ(kernel.StalledMicroseconds(), 1000u);
}

TEST_F(DriverIntervalTest, MsrDifferenceAboveThirtyTwoBitsFillsTheHighWordAtEight) {
  kernel.Cpu().SetTscHertz(5000000000);
  auto record = Measurement(0x10, 1000000, 0);
  ASSERT_EQ(Control(dp::IOCTL_MEASURE_MSR, record, 20, 32).status, dp::kStatusSuccess);
  EXPECT_EQ(U32(record.data() + 8), 0x00000001u);
  EXPECT_EQ(U32(record.data() + 12), 0x2A05F200u);
}

TEST_F(DriverIntervalTest, TwentyFourBitTimerDifferenceIsMaskedAcrossItsWrap) {
  timer.SetCount(0xFFFFF0);
  auto masked = Measurement(0x10, 1000, 0);
  ASSERT_EQ(Control(dp::IOCTL_MEASURE_MSR, masked, 20, 32).status, dp::kStatusSuccess);
  EXPECT_EQ(U32(masked.data() + 4), 3579u);
  kernel.Clock().Advance(999000000);  // to a whole second: the same 3579 ticks again
  timer.SetCount(0xFFFFF0);
  auto unmasked = Measurement(0x10, 1000, 1);
  ASSERT_EQ(Control(dp::IOCTL_MEASURE_MSR, unmasked, 20, 32).status, dp::kStatusSuccess);
  EXPECT_EQ(U32(unmasked.data() + 4), 0xFF000DFBu);  // a 32-bit flag on a 24-bit timer
}

TEST_F(DriverIntervalTest, ThirtyTwoBitTimerDifferenceWrapsModuloTwoToTheThirtyTwo) {
  sim::SimPmTimer wide(kernel.Clock(), true);
  bus.AttachPorts(0x1808, 4, wide);
  wide.SetCount(0xFFFFFF00);
  auto record = Measurement(0x10, 2000, 1);
  Put16(record.data() + 16, 0x1808);
  ASSERT_EQ(Control(dp::IOCTL_MEASURE_MSR, record, 20, 32).status, dp::kStatusSuccess);
  EXPECT_EQ(U32(record.data() + 4), 7159u);
}

TEST_F(DriverIntervalTest, MeasurementRunsAtDispatchLevelAndRestoresTheLevel) {
  auto record = Measurement(0x10, 10, 0);
  ASSERT_EQ(Control(dp::IOCTL_MEASURE_MSR, record, 20, 32).status, dp::kStatusSuccess);
  ASSERT_EQ(kernel.IrqlChanges().size(), 2u);
  EXPECT_EQ(kernel.IrqlChanges()[0].from, sim::kApcLevel);  // the fast mutex's level
  EXPECT_EQ(kernel.IrqlChanges()[0].to, sim::kDispatchLevel);
  EXPECT_EQ(kernel.IrqlChanges()[1].to, sim::kApcLevel);
  ASSERT_EQ(kernel.PortAccesses().size(), 2u);
  for (const auto& access : kernel.PortAccesses()) {
    EXPECT_EQ(access.port, kTimerPort);
    EXPECT_EQ(access.width, 4u);
    EXPECT_EQ(access.irql, sim::kDispatchLevel);
  }
  EXPECT_EQ(kernel.Irql(), sim::kPassiveLevel);
  EXPECT_EQ(kernel.LockMisuses(), 0);
}

TEST_F(DriverIntervalTest, IntervalAboveOneSecondIsRefusedWithoutStalling) {
  for (std::uint32_t code :
       {dp::IOCTL_MEASURE_MSR, dp::IOCTL_MEASURE_INTEL_CYCLES, dp::IOCTL_MEASURE_AMD_CYCLES}) {
    auto record = Measurement(0x10, dp::kMaxIntervalMicroseconds + 1, 0);
    const IoResult result = Control(code, record, 20, 32);
    EXPECT_EQ(result.status, dp::kStatusInvalidParameter);
    EXPECT_EQ(result.information, 0u);
  }
  EXPECT_EQ(kernel.StallCount(), 0u);
  EXPECT_TRUE(kernel.IrqlChanges().empty());
}

// The counter is not written: the cycles are the difference of its readings, a stale count
// stays, and the event select goes back to what it held.
TEST_F(DriverIntervalTest, IntelCyclesUseCounterZeroWhenItIsFree) {
  kernel.Cpu().SetCoreHertz(2000000000);
  kernel.Cpu().WriteMsr(0xC1, 777);     // a stale count
  kernel.Cpu().WriteMsr(0x186, 0x1C0);  // a stale event, not enabled
  const std::size_t before = kernel.Cpu().MsrWrites().size();
  auto record = Measurement(0, 1000, 0);
  const IoResult result = Control(dp::IOCTL_MEASURE_INTEL_CYCLES, record, 20, 32);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 0x20u);
  EXPECT_EQ(Count(record), 2000000u);
  EXPECT_EQ(U32(record.data() + 4), 3579u);
  const auto writes = WritesSince(before);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].msr, 0x186u);
  EXPECT_EQ(writes[0].value, 0x43003Cu);
  EXPECT_EQ(writes[1].msr, 0x186u);
  EXPECT_EQ(writes[1].value, 0x1C0u);
  EXPECT_EQ(kernel.Cpu().ReadMsr(0xC1), 777u + 2000000u);
}

TEST_F(DriverIntervalTest, IntelCyclesUseCounterOneWhenCounterZeroIsEnabled) {
  kernel.Cpu().SetCoreHertz(5000000000);
  kernel.Cpu().WriteMsr(0x186, 0x4300C0);  // someone counts retired instructions
  const std::size_t before = kernel.Cpu().MsrWrites().size();
  auto record = Measurement(0, 1000000, 0);
  ASSERT_EQ(Control(dp::IOCTL_MEASURE_INTEL_CYCLES, record, 20, 32).status, dp::kStatusSuccess);
  EXPECT_EQ(U32(record.data() + 8), 1u);  // 5e9 cycles: the high word at +8
  EXPECT_EQ(U32(record.data() + 12), 0x2A05F200u);
  const auto writes = WritesSince(before);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].msr, 0x187u);
  EXPECT_EQ(writes[1].msr, 0x187u);
  EXPECT_EQ(kernel.Cpu().ReadMsr(0x186), 0x4300C0u);
}

// A counter whose event select is enabled is someone's, counting or paused: with both of a
// Core Duo's counters taken the measurement is refused before anything is written or stalled.
// Every counter already in use (Intel version 1 with two, AMD's four): nothing is taken over,
// written or waited for.
TEST_F(DriverIntervalTest, CyclesAreBusyWhenEveryCounterIsInUse) {
  sim::SimCpuModel coreDuo = sim::SimCpuModel::Intel();
  coreDuo.perfmonVersion = 1;
  coreDuo.generalCounters = 2;
  coreDuo.fixedCounters = 0;
  struct Case {
    sim::SimCpuModel model;
    std::uint32_t code;
    std::uint32_t firstEventSelect;
    std::uint32_t counters;
  };
  for (const Case& c : {Case{coreDuo, dp::IOCTL_MEASURE_INTEL_CYCLES, 0x186, 2},
                        Case{sim::SimCpuModel::Amd(), dp::IOCTL_MEASURE_AMD_CYCLES, 0xC0010000, 4}}) {
    kernel.Cpu().SetModel(c.model);
    for (std::uint32_t i = 0; i < c.counters; ++i) {
      kernel.Cpu().WriteMsr(c.firstEventSelect + i, 0x4300C0 + i);
    }
    const std::size_t before = kernel.Cpu().MsrWrites().size();
    auto record = Measurement(0, 1000, 0);
    const IoResult result = Control(c.code, record, 20, 32);
    EXPECT_EQ(result.status, dp::kStatusDeviceBusy) << std::hex << c.code;
    EXPECT_EQ(result.information, 0u);
    EXPECT_TRUE(WritesSince(before).empty());
    EXPECT_EQ(kernel.StallCount(), 0u);
    EXPECT_EQ(kernel.Irql(), sim::kPassiveLevel);
    EXPECT_EQ(kernel.Cpu().GeneralProtectionFaults(), 0);
  }
}

// From version 2 a counter counts only while its bit in IA32_PERF_GLOBAL_CTRL is set too. When
// the operating system has cleared it, the bit is set for the interval and cleared again, and
// nothing else of the register changes.
TEST_F(DriverIntervalTest, IntelCyclesEnableTheirCounterGloballyOnlyForTheInterval) {
  kernel.Cpu().SetCoreHertz(2000000000);
  kernel.Cpu().WriteMsr(0x38F, 0x70000000Eu);  // fixed counters and PMC1..3 on, PMC0 off
  const std::size_t before = kernel.Cpu().MsrWrites().size();
  auto record = Measurement(0, 1000, 0);
  ASSERT_EQ(Control(dp::IOCTL_MEASURE_INTEL_CYCLES, record, 20, 32).status, dp::kStatusSuccess);
  EXPECT_EQ(Count(record), 2000000u);
  const auto writes = WritesSince(before);
  ASSERT_EQ(writes.size(), 4u);
  EXPECT_EQ(writes[0].msr, 0x186u);
  EXPECT_EQ(writes[1].msr, 0x38Fu);
  EXPECT_EQ(writes[1].value, 0x70000000Fu);
  EXPECT_EQ(writes[2].msr, 0x186u);
  EXPECT_EQ(writes[2].value, 0u);
  EXPECT_EQ(writes[3].msr, 0x38Fu);
  EXPECT_EQ(kernel.Cpu().ReadMsr(0x38F), 0x70000000Eu);
  EXPECT_EQ(kernel.Cpu().GeneralProtectionFaults(), 0);
}

TEST_F(DriverIntervalTest, AmdCyclesUseTheFirstFreeOfFourCounters) {
  kernel.Cpu().SetVendor(sim::SimCpuVendor::kAmd);
  kernel.Cpu().SetCoreHertz(3000000000);
  kernel.Cpu().WriteMsr(0xC0010000, 0x4300C0);
  kernel.Cpu().WriteMsr(0xC0010001, 0x4300C1);
  kernel.Cpu().WriteMsr(0xC0010003, 0x4300C2);
  const std::size_t before = kernel.Cpu().MsrWrites().size();
  auto record = Measurement(0, 100, 0);
  ASSERT_EQ(Control(dp::IOCTL_MEASURE_AMD_CYCLES, record, 20, 32).status, dp::kStatusSuccess);
  EXPECT_EQ(Count(record), 300000u);
  const auto writes = WritesSince(before);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].msr, 0xC0010002u);
  EXPECT_EQ(writes[0].value, 0x430076u);
  EXPECT_EQ(writes[1].msr, 0xC0010002u);
  EXPECT_EQ(writes[1].value, 0u);
}

// Without counters (a guest its hypervisor gives none, or the other maker's processor) every
// counter measurement is refused before an instruction touches a counter.
TEST_F(DriverIntervalTest, CounterMeasurementsWithoutCountersAreRefusedWithoutFaults) {
  struct Case {
    sim::SimCpuModel model;
    std::uint32_t code;
    std::uint32_t msr;
  };
  const sim::SimCpuModel intelGuest = sim::SimCpuModel::IntelGuestWithoutCounters();
  sim::SimCpuModel cappedGuest = intelGuest;  // CPUID stops at leaf 6
  cappedGuest.maxLeaf = 6;
  const sim::SimCpuModel amdGuest = sim::SimCpuModel::AmdGuestWithoutCounters();
  const Case cases[] = {
      {intelGuest, dp::IOCTL_MEASURE_INTEL_CYCLES, 0},
      {intelGuest, dp::IOCTL_MEASURE_MSR, 0xC1},
      {cappedGuest, dp::IOCTL_MEASURE_INTEL_CYCLES, 0},
      {cappedGuest, dp::IOCTL_MEASURE_MSR, 0x38F},
      {amdGuest, dp::IOCTL_MEASURE_AMD_CYCLES, 0},
      {amdGuest, dp::IOCTL_MEASURE_MSR, 0xC0010004},
      {sim::SimCpuModel::Intel(), dp::IOCTL_MEASURE_AMD_CYCLES, 0},
      {sim::SimCpuModel::Amd(), dp::IOCTL_MEASURE_INTEL_CYCLES, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << "code 0x" << c.code << " MSR 0x" << c.msr);
    kernel.Cpu().SetModel(c.model);
    auto record = Measurement(c.msr, 1000, 0);
    const IoResult result = Control(c.code, record, 20, 32);
    EXPECT_EQ(result.status, 0xC0000022u);
    EXPECT_EQ(result.information, 0u);
  }
  EXPECT_EQ(kernel.Cpu().GeneralProtectionFaults(), 0);
  EXPECT_TRUE(kernel.Cpu().MsrWrites().empty());
  EXPECT_EQ(kernel.StallCount(), 0u);
  EXPECT_EQ(kernel.Irql(), sim::kPassiveLevel);
}

TEST_F(DriverIntervalTest, MeasurementNeedsTheTimerFieldsInAndThirtyTwoBytesOut) {
  auto record = Measurement(0x10, 10, 0);
  EXPECT_EQ(Control(dp::IOCTL_MEASURE_MSR, record, 19, 32).status, dp::kStatusInvalidParameter);
  EXPECT_EQ(Control(dp::IOCTL_MEASURE_INTEL_CYCLES, record, 20, 31).status,
            dp::kStatusBufferTooSmall);
  EXPECT_EQ(kernel.StallCount(), 0u);
}

}  // namespace
}  // namespace velmora::drivertest
