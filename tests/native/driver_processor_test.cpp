// Model-specific registers, time-stamp and performance counters, control registers: record
// offsets, byte counts, the allowed register numbers, and that control registers are read at
// the processor's width and never written.
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
  EXPECT_EQ(U32(record.data() + 4), 0u);  // past the input: cleared, not left as it was
}

// The value at +8 and the register's own upper half at +12: nothing above a 32-bit register,
// nothing above the flags of CR0 and CR4 in 64-bit mode (CR0's paging bit 31 is not a sign),
// the high bits of the page-map table's address in a 64-bit CR3.
TEST_F(DriverProcessorTest, ControlRegisterReadsAnswerTheRegisterAsTheProcessorHoldsIt) {
  struct Case {
    bool longMode;
    std::uint32_t number;
    std::uint64_t held;
    std::uint32_t low;
    std::uint32_t upper;
  };
  for (const Case& c : {
           Case{false, 0, 0x80050033, 0x80050033, 0},
           Case{false, 3, 0xBFFDF000, 0xBFFDF000, 0},
           Case{false, 4, 0x000006F9, 0x000006F9, 0},
           Case{false, 2, 0x8D6F4000, 0x8D6F4000, 0},
           Case{true, 0, 0x0000000080050033, 0x80050033, 0},
           Case{true, 4, 0x0000000000370678, 0x00370678, 0},
           Case{true, 3, 0x0000000123456000, 0x23456000, 1},
           Case{true, 2, 0xFFFFF80012345678, 0x12345678, 0xFFFFF800},
           Case{true, 8, 0x000000000000000F, 0x0000000F, 0},
       }) {
    SCOPED_TRACE(testing::Message() << "CR" << c.number << (c.longMode ? " x64" : " x86"));
    kernel.Cpu().SetLongMode(c.longMode);
    kernel.Cpu().SetCr(c.number, c.held);
    auto record = Record(16);
    Put32(record.data(), c.number);
    const IoResult result = Control(dp::IOCTL_READ_CONTROL_REGISTER, record, 4, 16);
    EXPECT_EQ(result.status, dp::kStatusSuccess);
    EXPECT_EQ(result.information, 16u);
    EXPECT_EQ(U32(record.data() + 8), c.low);
    EXPECT_EQ(U32(record.data() + 12), c.upper);
  }
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
      EXPECT_EQ(U32(record.data() + 8), 0u);  // cleared past the input, no value written
    }
  }
}

TEST_F(DriverProcessorTest, CrEightOfAThirtyTwoBitProcessorIsUnsuccessful) {
  auto record = Record(16);
  Put32(record.data(), 8);
  EXPECT_EQ(Control(dp::IOCTL_READ_CONTROL_REGISTER, record, 4, 16).status,
            dp::kStatusUnsuccessful);
}

// No control register is ever written, in either mode, whatever number, value or lengths the
// request carries: refused with STATUS_ACCESS_DENIED, no data, every register as it was.
TEST_F(DriverProcessorTest, EveryControlRegisterWriteIsRefusedAndChangesNothing) {
  constexpr std::uint32_t kAccessDenied = 0xC0000022;
  struct Case {
    std::uint32_t number;
    std::uint32_t value;
  };
  const Case cases[] = {
      {0, 0x80050033},  // CR0 exactly as it is
      {0, 0x00050033},  // paging off
      {0, 0x80040033},  // write protection off
      {3, 0x00185000},  // CR3 exactly as it is
      {3, 0x00000000},  // another address space
      {4, 0x000406F9},  // CR4 exactly as it is
      {4, 0x00000000},  // PAE, SMEP off
      {8, 0x0000000F},  // every interrupt masked
      {2, 0x12345678},  {1, 0}, {5, 0}, {15, 0}, {0xFFFFFFFF, 0},
  };
  for (bool longMode : {false, true}) {
    kernel.Cpu().SetLongMode(longMode);
    std::uint64_t before[16] = {};
    bool present[16] = {};
    for (std::uint32_t n = 0; n < 16; ++n) present[n] = kernel.Cpu().ReadCr(n, &before[n]);
    for (const Case& c : cases) {
      for (std::uint32_t in : {12u, 16u, 0u}) {
        SCOPED_TRACE(testing::Message() << "CR" << c.number << " value 0x" << std::hex << c.value
                                        << " in " << std::dec << in << (longMode ? " x64" : ""));
        auto record = Record(16);
        Put32(record.data(), c.number);
        Put32(record.data() + 8, c.value);
        const auto sent = record;
        const IoResult result = Control(dp::IOCTL_WRITE_CONTROL_REGISTER, record, in, 0);
        EXPECT_EQ(result.status, kAccessDenied);
        EXPECT_EQ(result.information, 0u);
        EXPECT_EQ(record, sent);
      }
    }
    for (std::uint32_t n = 0; n < 16; ++n) {
      std::uint64_t after = 0;
      ASSERT_EQ(kernel.Cpu().ReadCr(n, &after), present[n]) << n;
      if (present[n]) EXPECT_EQ(after, before[n]) << "CR" << n;
    }
  }
}

}  // namespace
}  // namespace velmora::drivertest
