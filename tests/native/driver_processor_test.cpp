// Model-specific registers, time-stamp and performance counters, control registers: record
// offsets, byte counts, the allowed register numbers.
#include <gtest/gtest.h>

#include "driver_test_support.h"

namespace velmora::drivertest {
namespace {

using DriverProcessorTest = DriverTest;

TEST_F(DriverProcessorTest, MsrReadTakesTheNumberAtEightAndSplitsTheValueAroundIt) {
  kernel.Cpu().WriteMsr(0x1A2, 0x0000000112345678);
  auto record = Record(16);
  Put32(record.data() + 8, 0x1A2);
  const IoResult result = Control(dp::IOCTL_READ_MSR, record, 12, 16);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 16u);
  EXPECT_EQ(U32(record.data() + 0), 0x12345678u);
  EXPECT_EQ(U32(record.data() + 12), 0x00000001u);
  EXPECT_EQ(U32(record.data() + 4), 0xAAAAAAAAu);
  EXPECT_EQ(U32(record.data() + 8), 0x1A2u);
}

TEST_F(DriverProcessorTest, MsrWriteJoinsLowAtZeroAndHighAtTwelve) {
  auto record = Record(16);
  Put32(record.data() + 0, 0x9ABCDEF0);
  Put32(record.data() + 8, 0x199);
  Put32(record.data() + 12, 0x00000002);
  const IoResult result = Control(dp::IOCTL_WRITE_MSR, record, 16, 0);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 0u);
  ASSERT_EQ(kernel.Cpu().MsrWrites().size(), 1u);
  EXPECT_EQ(kernel.Cpu().MsrWrites()[0].msr, 0x199u);
  EXPECT_EQ(kernel.Cpu().MsrWrites()[0].value, 0x000000029ABCDEF0u);
}

TEST_F(DriverProcessorTest, MsrWriteWithoutTheHighHalfIsRefused) {
  auto record = Record(16);
  EXPECT_EQ(Control(dp::IOCTL_WRITE_MSR, record, 12, 0).status, dp::kStatusInvalidParameter);
  EXPECT_TRUE(kernel.Cpu().MsrWrites().empty());
}

TEST_F(DriverProcessorTest, TscAnswersLowThenHighInEightBytes) {
  kernel.Cpu().SetTscHertz(1000000000);         // one count per nanosecond
  kernel.Clock().Advance(0x0000000580000001u);  // past 2^32
  auto record = Record(16);
  const IoResult result = Control(dp::IOCTL_READ_TSC, record, 0, 8);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 8u);
  EXPECT_EQ(U32(record.data() + 0), 0x80000001u);
  EXPECT_EQ(U32(record.data() + 4), 0x00000005u);
  EXPECT_EQ(Control(dp::IOCTL_READ_TSC, record, 0, 7).status, dp::kStatusBufferTooSmall);
}

TEST_F(DriverProcessorTest, PmcReadsTheCounterNamedAtZeroIntoEightAndTwelve) {
  kernel.Cpu().WriteMsr(0xC2, 0x0000123400005678);  // IA32_PMC1
  auto record = Record(16);
  Put32(record.data(), 1);
  const IoResult result = Control(dp::IOCTL_READ_PMC, record, 4, 16);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 16u);
  EXPECT_EQ(U32(record.data() + 8), 0x00005678u);
  EXPECT_EQ(U32(record.data() + 12), 0x00001234u);
  EXPECT_EQ(U32(record.data() + 4), 0xAAAAAAAAu);
}

TEST_F(DriverProcessorTest, ControlRegisterReadsExtendTheSignOfAThirtyTwoBitValue) {
  kernel.Cpu().SetCr(0, 0x80050033);
  kernel.Cpu().SetCr(4, 0x000406F9);
  auto cr0 = Record(16);
  Put32(cr0.data(), 0);
  const IoResult result = Control(dp::IOCTL_READ_CONTROL_REGISTER, cr0, 4, 16);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 16u);
  EXPECT_EQ(U32(cr0.data() + 8), 0x80050033u);
  EXPECT_EQ(U32(cr0.data() + 12), 0xFFFFFFFFu);
  auto cr4 = Record(16);
  Put32(cr4.data(), 4);
  ASSERT_EQ(Control(dp::IOCTL_READ_CONTROL_REGISTER, cr4, 4, 16).status, dp::kStatusSuccess);
  EXPECT_EQ(U32(cr4.data() + 8), 0x000406F9u);
  EXPECT_EQ(U32(cr4.data() + 12), 0u);
}

TEST_F(DriverProcessorTest, ControlRegisterReadOfASixtyFourBitValueAnswersItsUpperHalf) {
  kernel.Cpu().SetLongMode(true);
  kernel.Cpu().SetCr(3, 0x0000000123456000);
  auto record = Record(16);
  Put32(record.data(), 3);
  ASSERT_EQ(Control(dp::IOCTL_READ_CONTROL_REGISTER, record, 4, 16).status, dp::kStatusSuccess);
  EXPECT_EQ(U32(record.data() + 8), 0x23456000u);
  EXPECT_EQ(U32(record.data() + 12), 0x00000001u);
}

TEST_F(DriverProcessorTest, OnlyControlRegistersZeroTwoThreeFourEightCanBeRead) {
  kernel.Cpu().SetLongMode(true);
  for (std::uint32_t number = 0; number < 16; ++number) {
    auto record = Record(16);
    Put32(record.data(), number);
    const IoResult result = Control(dp::IOCTL_READ_CONTROL_REGISTER, record, 4, 16);
    const bool allowed = number == 0 || number == 2 || number == 3 || number == 4 || number == 8;
    EXPECT_EQ(result.status, allowed ? dp::kStatusSuccess : dp::kStatusUnsuccessful) << number;
    if (!allowed) {
      EXPECT_EQ(result.information, 0u);
      EXPECT_EQ(U32(record.data() + 8), 0xAAAAAAAAu);
    }
  }
}

TEST_F(DriverProcessorTest, CrEightOfAThirtyTwoBitProcessorIsUnsuccessful) {
  auto record = Record(16);
  Put32(record.data(), 8);
  EXPECT_EQ(Control(dp::IOCTL_READ_CONTROL_REGISTER, record, 4, 16).status,
            dp::kStatusUnsuccessful);
}

TEST_F(DriverProcessorTest, ControlRegisterWritesTakeTheValueAtEightAndRefuseCrTwo) {
  for (std::uint32_t number : {0u, 3u, 4u}) {
    auto record = Record(16);
    Put32(record.data(), number);
    Put32(record.data() + 8, 0x00001000 + number);
    const IoResult result = Control(dp::IOCTL_WRITE_CONTROL_REGISTER, record, 12, 0);
    EXPECT_EQ(result.status, dp::kStatusSuccess) << number;
    EXPECT_EQ(result.information, 0u);
    std::uint64_t value = 0;
    ASSERT_TRUE(kernel.Cpu().ReadCr(number, &value));
    EXPECT_EQ(value, 0x00001000u + number);
  }
  for (std::uint32_t number : {1u, 2u, 5u, 8u}) {  // CR8: none on a 32-bit processor
    auto record = Record(16);
    Put32(record.data(), number);
    Put32(record.data() + 8, 0x1234);
    EXPECT_EQ(Control(dp::IOCTL_WRITE_CONTROL_REGISTER, record, 12, 0).status,
              dp::kStatusUnsuccessful)
        << number;
  }
  std::uint64_t cr2 = 1;
  ASSERT_TRUE(kernel.Cpu().ReadCr(2, &cr2));
  EXPECT_EQ(cr2, 0u);
}

}  // namespace
}  // namespace velmora::drivertest
