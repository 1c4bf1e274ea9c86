// Model-specific registers, time-stamp and performance counters, control registers: record
// offsets, byte counts, the allowed register numbers on processors with and without counters,
// and that control registers are read at the processor's width and never written.
#include <gtest/gtest.h>

#include <string>

#include "driver_test_support.h"

namespace velmora::drivertest {
namespace {

using DriverProcessorTest = DriverTest;
using sim::SimCpuModel;

constexpr std::uint32_t kAccessDenied = 0xC0000022;

// The processors of the tables below, each named by a letter.
SimCpuModel ModelNamed(char name) {
  SimCpuModel model = SimCpuModel::Intel();
  switch (name) {
    case 'H':  // Haswell: version 3, four general counters, three fixed
      break;
    case 'D':  // Core Duo: version 1, two 40-bit general counters, no fixed counters
      model.signature = 0x000006E8;
      model.maxLeaf = 0x0A;
      model.perfmonVersion = 1;
      model.generalCounters = 2;
      model.generalWidth = 40;
      model.fixedCounters = model.fixedWidth = 0;
      break;
    case 'V':  // a guest without counters: leaf 0Ah all zero
      model = SimCpuModel::IntelGuestWithoutCounters();
      break;
    case 'L':  // a guest without counters whose CPUID stops at leaf 6 (leaf 0Ah reads leaf 6)
      model = SimCpuModel::IntelGuestWithoutCounters();
      model.maxLeaf = 6;
      break;
    case 'P':  // Phenom II, family 10h: the four legacy counters
      model = SimCpuModel::Amd();
      break;
    case 'A':  // a family 17h guest without counters
      model = SimCpuModel::AmdGuestWithoutCounters();
      break;
    case 'E':  // a family 17h guest whose hypervisor gives it the six core counters
      model = SimCpuModel::AmdGuestWithoutCounters();
      model.perfCtrExtCore = true;
      break;
  }
  return model;
}
const std::string kAllModels = "HDVLPAE";

TEST_F(DriverProcessorTest, MsrReadTakesTheNumberAtEightAndSplitsTheValueAroundIt) {
  kernel.Cpu().WriteMsr(0x309, 0x0000000112345678);  // IA32_FIXED_CTR0
  auto record = Record(16);
  Put32(record.data() + 8, 0x309);
  const IoResult result = Control(dp::IOCTL_READ_MSR, record, 12, 16);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 16u);
  EXPECT_EQ(U32(record.data() + 0), 0x12345678u);
  EXPECT_EQ(U32(record.data() + 12), 0x00000001u);
  EXPECT_EQ(U32(record.data() + 4), 0xAAAAAAAAu);
  EXPECT_EQ(U32(record.data() + 8), 0x309u);
}

TEST_F(DriverProcessorTest, MsrWriteJoinsLowAtZeroAndHighAtTwelve) {
  auto record = Record(16);
  Put32(record.data() + 0, 0x9ABCDEF0);
  Put32(record.data() + 8, 0x309);
  Put32(record.data() + 12, 0x00000002);
  const IoResult result = Control(dp::IOCTL_WRITE_MSR, record, 16, 0);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 0u);
  ASSERT_EQ(kernel.Cpu().MsrWrites().size(), 1u);
  EXPECT_EQ(kernel.Cpu().MsrWrites()[0].msr, 0x309u);
  EXPECT_EQ(kernel.Cpu().MsrWrites()[0].value, 0x000000029ABCDEF0u);
  EXPECT_EQ(kernel.Cpu().ReadMsr(0x309), 0x000000029ABCDEF0u);
}

// Reads (and interval measurements) are served for the time-stamp counter and for the
// performance-monitoring registers the processor reports, nothing else; whatever the processor,
// no request raises #GP.
TEST_F(DriverProcessorTest, OnlyTheCountersThisProcessorReportsCanBeRead) {
  struct Row {
    std::uint32_t msr;
    const char* allowedOn;  // the letters of ModelNamed
  };
  const Row rows[] = {
      {0x10, "HDVLPAE"},                                     // TSC
      {0xC1, "HD"},       {0xC2, "HD"},                      // IA32_PMC0, 1
      {0xC4, "H"},        {0xC5, ""},                        // IA32_PMC3, 4
      {0x186, "HD"},      {0x189, "H"},       {0x18A, ""},   // IA32_PERFEVTSEL0, 3, 4
      {0x309, "H"},       {0x30B, "H"},       {0x30C, ""},   // IA32_FIXED_CTR0, 2, 3
      {0x38D, "H"},       {0x38E, "H"},       {0x38F, "H"},  // 38Dh..38Fh
      {0x390, ""},                                           // IA32_PERF_GLOBAL_OVF_CTRL
      {0xC0010000, "PE"}, {0xC0010003, "PE"},                // PerfEvtSel0, 3
      {0xC0010004, "PE"}, {0xC0010007, "PE"},                // PerfCtr0, 3
      {0xC0010008, ""},   {0xC0010200, ""},   {0x1A2, ""},      {0x199, ""},
      {0x1B, ""},         {0xC0000080, ""},   {0xC001001F, ""},
  };
  for (const char name : kAllModels) {
    kernel.Cpu().SetModel(ModelNamed(name));
    for (const Row& row : rows) {
      SCOPED_TRACE(testing::Message() << name << " MSR 0x" << std::hex << row.msr);
      const bool allowed = std::string(row.allowedOn).find(name) != std::string::npos;
      auto record = Record(16, 0);
      Put32(record.data() + 8, row.msr);
      const IoResult result = Control(dp::IOCTL_READ_MSR, record, 12, 16);
      EXPECT_EQ(result.status, allowed ? dp::kStatusSuccess : kAccessDenied);
      EXPECT_EQ(result.information, allowed ? 16u : 0u);
      if (name == 'H' || name == 'V') {
        auto interval = Record(32, 0);
        Put32(interval.data(), row.msr);
        EXPECT_EQ(Control(dp::IOCTL_MEASURE_MSR, interval, 20, 32).status,
                  allowed ? dp::kStatusSuccess : kAccessDenied);
      }
    }
  }
  EXPECT_EQ(kernel.Cpu().GeneralProtectionFaults(), 0);
  EXPECT_EQ(kernel.LockMisuses(), 0);
}

// Writes reach event selects, counters and Intel's fixed-counter control only, with values the
// register takes: no reserved bit, no overflow interrupt, no pin control, no AnyThread.
TEST_F(DriverProcessorTest, OnlyCounterAndEventSelectValuesTheProcessorTakesAreWritten) {
  struct Row {
    char model;
    std::uint32_t msr;
    std::uint64_t value;
    bool allowed;
  };
  const Row rows[] = {
      {'H', 0x186, 0x43003C, true},
      {'H', 0x189, 0xFF8700C0, true},
      {'H', 0x186, 0x53003C, false},     // APIC interrupt on overflow
      {'H', 0x186, 0x4B003C, false},     // pin control
      {'H', 0x186, 0x63003C, false},     // AnyThread
      {'H', 0x186, 0x10043003C, false},  // reserved upper half
      {'H', 0xC1, 0xFFFFFFFFFFFF, true},
      {'H', 0xC1, 0x1000000000000, false},
      {'H', 0x30B, 0xFFFFFFFFFFFF, true},
      {'H', 0x30B, 0x1000000000000, false},
      {'H', 0x38D, 0x333, true},
      {'H', 0x38D, 0x00B, false},  // PMI
      {'H', 0x38D, 0x004, false},
      {'H', 0x38D, 0x3000, false},  // no fourth
      {'H', 0x38F, 0x70000000F, false},
      {'H', 0x38E, 0, false},
      {'H', 0x10, 0, false},
      {'H', 0x1A2, 0x5A00, false},
      {'H', 0x199, 0x1A00, false},
      {'H', 0x18A, 0, false},
      {'H', 0xC5, 0, false},
      {'H', 0xC0010000, 0, false},
      {'D', 0x187, 0x43003C, true},
      {'D', 0xC2, 0xFFFFFFFFFF, true},
      {'D', 0xC2, 0x10000000000, false},
      {'D', 0x188, 0, false},
      {'D', 0x38D, 0, false},
      {'D', 0x309, 0, false},
      {'V', 0x186, 0, false},
      {'V', 0xC1, 0, false},
      {'P', 0xC0010003, 0x430076, true},
      {'P', 0xC0010007, 0xFFFFFFFFFFFF, true},
      {'P', 0xC0010003, 0x530076, false},
      {'P', 0xC0010003, 0x100430076, false},
      {'P', 0xC0010007, 0x1000000000000, false},
      {'P', 0x186, 0, false},
      {'P', 0xC001001F, 0, false},
      {'A', 0xC0010000, 0x430076, false},
      {'A', 0xC0010004, 0, false},
      {'E', 0xC0010001, 0x430076, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message()
                 << row.model << " MSR 0x" << std::hex << row.msr << " = 0x" << row.value);
    kernel.Cpu().SetModel(ModelNamed(row.model));
    const std::size_t before = kernel.Cpu().MsrWrites().size();
    auto record = Record(16, 0);
    Put32(record.data() + 0, static_cast<std::uint32_t>(row.value));
    Put32(record.data() + 8, row.msr);
    Put32(record.data() + 12, static_cast<std::uint32_t>(row.value >> 32));
    const IoResult result = Control(dp::IOCTL_WRITE_MSR, record, 16, 0);
    EXPECT_EQ(result.status, row.allowed ? dp::kStatusSuccess : kAccessDenied);
    EXPECT_EQ(kernel.Cpu().MsrWrites().size(), before + (row.allowed ? 1 : 0));
  }
  EXPECT_EQ(kernel.Cpu().GeneralProtectionFaults(), 0);
}

// RDPMC: Intel's general counters by index and fixed counters as 4000_0000h + index, AMD's
// four (six with the core extension); any other index raises #GP and is refused.
TEST_F(DriverProcessorTest, PmcIndexesAreThoseOfTheProcessorsCounters) {
  struct Row {
    std::uint32_t counter;
    const char* allowedOn;
  };
  const Row rows[] = {
      {0, "HDPE"},      {1, "HDPE"},      {2, "HPE"},       {3, "HPE"},        {4, "E"},
      {5, "E"},         {6, ""},          {8, ""},          {0x40000000, "H"}, {0x40000002, "H"},
      {0x40000003, ""}, {0x80000000, ""}, {0xC0000000, ""}, {0x00010000, ""},
  };
  for (const char name : kAllModels) {
    kernel.Cpu().SetModel(ModelNamed(name));
    for (const Row& row : rows) {
      SCOPED_TRACE(testing::Message() << name << " counter 0x" << std::hex << row.counter);
      const bool allowed = std::string(row.allowedOn).find(name) != std::string::npos;
      auto record = Record(16, 0);
      Put32(record.data(), row.counter);
      EXPECT_EQ(Control(dp::IOCTL_READ_PMC, record, 4, 16).status,
                allowed ? dp::kStatusSuccess : kAccessDenied);
    }
  }
  EXPECT_EQ(kernel.Cpu().GeneralProtectionFaults(), 0);
}

TEST_F(DriverProcessorTest, TscIsRefusedOnAProcessorWithoutOne) {
  SimCpuModel model = SimCpuModel::Intel();
  model.timeStampCounter = false;
  kernel.Cpu().SetModel(model);
  auto record = Record(32, 0);
  const IoResult result = Control(dp::IOCTL_READ_TSC, record, 0, 8);
  EXPECT_EQ(result.status, kAccessDenied);
  EXPECT_EQ(result.information, 0u);
  Put32(record.data() + 8, 0x10);
  EXPECT_EQ(Control(dp::IOCTL_READ_MSR, record, 12, 16).status, kAccessDenied);
  Put32(record.data(), 0x10);
  EXPECT_EQ(Control(dp::IOCTL_MEASURE_MSR, record, 20, 32).status, kAccessDenied);
  EXPECT_EQ(kernel.Cpu().GeneralProtectionFaults(), 0);
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
  kernel.Cpu().WriteMsr(0x30A, 0x0000123400005678);  // IA32_FIXED_CTR1
  auto record = Record(16);
  Put32(record.data(), 0x40000001);
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
