// Every request code: its exact record lengths (one byte short in or out is refused with no
// data and no hardware touched, the exact lengths are served with the table's byte count),
// and every function that is not served.
#include <gtest/gtest.h>

#include "driver_test_support.h"
#include "sim/kernel/SimPmTimer.h"

namespace velmora::drivertest {
namespace {

struct Served {
  std::uint32_t function;
  std::uint32_t input;   // bytes the record's input needs
  std::uint32_t output;  // bytes answered on success
  std::uint32_t shortInputStatus;
};

constexpr std::uint32_t kBad = dp::kStatusInvalidParameter;

// Map and unmap are covered elsewhere (they need a mapped view); the PCI pair answers its two
// entries; the identify requests need devices and have their own tests; a control-register
// write is refused whatever it carries (driver_processor_test).
const Served kServed[] = {
    {0xA02, 2, 8, kBad},     {0xA03, 5, 0, kBad},   {0xA04, 2, 8, kBad},
    {0xA05, 6, 0, kBad},     {0xA06, 2, 8, kBad},   {0xA07, 8, 0, kBad},
    {0xA0A, 12, 12, kBad},   {0xA0B, 9, 0, kBad},   {0xA0C, 12, 12, kBad},
    {0xA0D, 10, 0, kBad},    {0xA0E, 12, 12, kBad}, {0xA0F, 12, 0, kBad},
    {0xA10, 12, 16, kBad},   {0xA11, 16, 0, kBad},  {0xA15, 20, 0x20, kBad},
    {0xA17, 0, 8, kBad},     {0xA18, 4, 16, kBad},  {0xA19, 4, 16, kBad},
    {0xA1B, 24, 24, kBad},   {0xA1C, 20, 0x20, kBad}, {0xA1D, 20, 0x20, kBad},
};

class DriverLengthsTest : public DriverTest {
 protected:
  void SetUp() override { bus.AttachPorts(0x408, 4, timer); }

  // A buffer that asks for harmless things: port 0x80, PCI bus 0, the TSC (read), IA32_PMC0
  // (written 0), CR0, counter 0, the timer at 0x408 and a 1 us interval; the AMD measurement
  // on an AMD processor.
  std::vector<std::uint8_t> Harmless(std::uint32_t function) {
    auto record = Record(64, 0);
    kernel.Cpu().SetVendor(function == 0xA1D ? sim::SimCpuVendor::kAmd : sim::SimCpuVendor::kIntel);
    if (function >= 0xA02 && function <= 0xA07) Put16(record.data(), 0x80);
    if (function == 0xA10) Put32(record.data() + 8, 0x10);
    if (function == 0xA11) Put32(record.data() + 8, 0xC1);
    if (function == 0xA15 || function == 0xA1C || function == 0xA1D) {
      Put32(record.data(), 0x10);
      Put32(record.data() + 4, 1);
      Put16(record.data() + 16, 0x408);
    }
    return record;
  }
  std::size_t Activity() {
    return board.ports.size() + kernel.Cpu().MsrWrites().size() + kernel.StallCount();
  }

  sim::SimPmTimer timer{kernel.Clock(), false};
};

TEST_F(DriverLengthsTest, ExactLengthsAreServedWithTheTablesByteCount) {
  for (const Served& s : kServed) {
    auto record = Harmless(s.function);
    const IoResult result = Control(dp::ControlCode(s.function), record, s.input, s.output);
    EXPECT_EQ(result.status, dp::kStatusSuccess) << std::hex << s.function;
    EXPECT_EQ(result.information, s.output) << std::hex << s.function;
  }
}

TEST_F(DriverLengthsTest, OneByteShortInputIsRefusedWithNoDataAndNoAccess) {
  for (const Served& s : kServed) {
    if (s.input == 0) continue;
    auto record = Harmless(s.function);
    const auto before = record;
    const std::size_t activity = Activity();
    const IoResult result = Control(dp::ControlCode(s.function), record, s.input - 1, s.output);
    EXPECT_EQ(result.status, s.shortInputStatus) << std::hex << s.function;
    EXPECT_EQ(result.information, 0u);
    EXPECT_EQ(record, before) << std::hex << s.function;
    EXPECT_EQ(Activity(), activity) << std::hex << s.function;
  }
}

TEST_F(DriverLengthsTest, OneByteShortOutputIsBufferTooSmallWithNoDataAndNoAccess) {
  for (const Served& s : kServed) {
    if (s.output == 0) continue;
    auto record = Harmless(s.function);
    const auto before = record;
    const std::size_t activity = Activity();
    const IoResult result = Control(dp::ControlCode(s.function), record, s.input, s.output - 1);
    EXPECT_EQ(result.status, dp::kStatusBufferTooSmall) << std::hex << s.function;
    EXPECT_EQ(result.information, 0u);
    EXPECT_EQ(record, before) << std::hex << s.function;
    EXPECT_EQ(Activity(), activity) << std::hex << s.function;
  }
}

TEST_F(DriverLengthsTest, UnmapInputOfThreeBytesIsInsufficientResources) {
  auto record = Record(4, 0);
  EXPECT_EQ(Control(dp::IOCTL_UNMAP_PHYSICAL_MEMORY, record, 3, 0).status,
            dp::kStatusInsufficientResources);
}

TEST_F(DriverLengthsTest, MapNeedsSixteenBytesBothWays) {
  auto record = Record(16, 0);
  Put32(record.data(), 0xF0000);
  Put32(record.data() + 8, 4);
  EXPECT_EQ(Control(dp::IOCTL_MAP_PHYSICAL_MEMORY, record, 15, 16).status, kBad);
  EXPECT_EQ(Control(dp::IOCTL_MAP_PHYSICAL_MEMORY, record, 16, 15).status,
            dp::kStatusBufferTooSmall);
  EXPECT_EQ(kernel.MapCalls(), 0);
}

TEST_F(DriverLengthsTest, EveryUnservedFunctionIsInvalidParameterWithNoData) {
  const std::uint32_t served[] = {0xA00, 0xA01, 0xA02, 0xA03, 0xA04, 0xA05, 0xA06, 0xA07, 0xA0A,
                                  0xA0B, 0xA0C, 0xA0D, 0xA0E, 0xA0F, 0xA10, 0xA11, 0xA14, 0xA15,
                                  0xA16, 0xA17, 0xA18, 0xA19, 0xA1A, 0xA1B, 0xA1C, 0xA1D};
  for (std::uint32_t function = 0x9F0; function <= 0xA30; ++function) {
    if (std::find(std::begin(served), std::end(served), function) != std::end(served)) continue;
    auto record = Record(0x210);
    const IoResult result = Control(dp::ControlCode(function), record, 0x210, 0x210);
    EXPECT_EQ(result.status, kBad) << std::hex << function;
    EXPECT_EQ(result.information, 0u);
  }
  // Another device type, another transfer method or access on a served function.
  for (std::uint32_t code : {0x00232840u, 0x00222841u, 0x00226840u}) {
    auto record = Record(16);
    EXPECT_EQ(Control(code, record, 16, 16).status, kBad) << std::hex << code;
  }
  EXPECT_EQ(Activity(), 0u);
}

TEST_F(DriverLengthsTest, SpecifiedUnservedFunctionsAreAnsweredAsInvalid) {
  for (std::uint32_t code : {0x222820u, 0x222824u, 0x222848u, 0x22284Cu}) {
    auto record = Record(16);
    EXPECT_EQ(Control(code, record, 16, 16).status, 0xC000000Du) << std::hex << code;
  }
}

}  // namespace
}  // namespace velmora::drivertest
