#include <gtest/gtest.h>

#include <functional>

#include "PlatformTestSupport.h"
#include "hw/HexText.h"
#include "sim/board/AcpiTables.h"

namespace velmora {
namespace {

using platformtest::PlatformRig;
namespace dp = driver_protocol;

class ControlByteTest : public ::testing::Test {
 protected:
  ControlByteTest() : rig(sim::DefaultBoardDescription()) { rig.Build(); }

  TZlkSpec& Spec() { return *rig.spec; }
  std::uint8_t Byte() { return *rig.board.ControlByte(); }
  void SetByte(std::uint8_t value) { rig.board.SetControlByte(value); }

  PlatformRig rig;
};

TEST_F(ControlByteTest, EnableBitOnTopOfTheFirmwareBits) {
  SetByte(0x13);
  EXPECT_TRUE(Spec().SetEnabled());
  EXPECT_EQ(Byte(), 0x1B);
  EXPECT_TRUE(Spec().IsBootRequest());
  EXPECT_TRUE(Spec().ClearEnabled());
  EXPECT_EQ(Byte(), 0x13);
}

struct Operation {
  const char* name;
  std::function<bool(TZlkSpec&)> run;
  std::uint8_t mask;
  bool sets;
};

TEST_F(ControlByteTest, EachOperationChangesOnlyItsBitOfAFreshRead) {
  const std::vector<Operation> operations = {
      {"SetSleepPending", &TZlkSpec::SetSleepPending, 0x01, true},
      {"ClearSleepPending", &TZlkSpec::ClearSleepPending, 0x01, false},
      {"SetHibernatePending", &TZlkSpec::SetHibernatePending, 0x02, true},
      {"ClearHibernatePending", &TZlkSpec::ClearHibernatePending, 0x02, false},
      {"SetFastMode", &TZlkSpec::SetFastMode, 0x04, true},
      {"SetEnabled", &TZlkSpec::SetEnabled, 0x08, true},
      {"ClearEnabled", &TZlkSpec::ClearEnabled, 0x08, false},
      {"ClearBootRequest", &TZlkSpec::ClearBootRequest, 0x10, false},
  };
  // The firmware leaves a different byte before every operation; bits 5 to 7 are its own.
  for (const std::uint8_t firmware : {0x00, 0xFF, 0xA5, 0x5A, 0xE0, 0x1F}) {
    for (const Operation& op : operations) {
      SetByte(firmware);
      EXPECT_TRUE(op.run(Spec())) << op.name;
      const std::uint8_t expected = op.sets ? firmware | op.mask : firmware & ~op.mask;
      EXPECT_EQ(Byte(), expected) << op.name << " on " << int{firmware};
    }
  }
}

TEST_F(ControlByteTest, FirmwareChangesBetweenOperationsSurvive) {
  SetByte(0x00);
  Spec().SetEnabled();
  rig.board.RaiseBootRequest();  // 0x18
  Spec().SetFastMode();
  EXPECT_EQ(Byte(), 0x1C);
  EXPECT_TRUE(Spec().IsBootRequest());
  Spec().ClearBootRequest();
  EXPECT_EQ(Byte(), 0x0C);
  SetByte(0xE0 | Byte());  // the firmware's own high bits appear
  Spec().SetSleepPending();
  EXPECT_EQ(Byte(), 0xED);
  SetByte(0x00);  // the firmware cleared everything at power-on
  EXPECT_FALSE(Spec().IsBootRequest());
  Spec().ClearSleepPending();
  EXPECT_EQ(Byte(), 0x00);
}

// A change is one read-modify-write by the driver, logged as the read and the write; a test is
// one read.
TEST_F(ControlByteTest, OneRequestOfTheControlByteEach) {
  const std::uint32_t byteAddress = Spec().ControlEntryAddress + 2;
  const DriverRequestCounts before = rig.readWrite.Requests();
  Spec().SetHibernatePending();
  const DriverRequestCounts changed = rig.readWrite.Requests() - before;
  EXPECT_EQ(changed.controlByte, 1u);
  EXPECT_EQ(changed.Total(), 1u);
  EXPECT_EQ(rig.rig.LogLines("RW: MemoryReadByte ").back(),
            "RW: MemoryReadByte " + Hex(byteAddress, 8) + "=0x00");
  EXPECT_EQ(rig.rig.LogLines("RW: MemoryWriteByte ").back(),
            "RW: MemoryWriteByte " + Hex(byteAddress, 8) + "=0x02");
  rig.rig.io.reads.clear();
  Spec().IsBootRequest();
  ASSERT_EQ(rig.rig.io.reads.size(), 1u);
  EXPECT_EQ(rig.rig.io.reads[0].physical, byteAddress);
  EXPECT_EQ(rig.rig.io.reads[0].length, 1u);
}

TEST(ControlByteWithoutEntry, NoOperationTouchesPhysicalMemory) {
  sim::BoardDescription description = sim::DefaultBoardDescription();
  description.acpi.qvzxEntries = {sim::QvzxEntry{1, {0x10}}, sim::QvzxEntry{3, {0x10, 0x10}}};
  PlatformRig rig(description);
  TZlkSpec& spec = rig.Build();
  ASSERT_FALSE(spec.HasControlEntry);
  const std::uint32_t before = rig.readWrite.Requests().Total();
  EXPECT_FALSE(spec.SetEnabled());
  EXPECT_FALSE(spec.ClearEnabled());
  EXPECT_FALSE(spec.SetSleepPending());
  EXPECT_FALSE(spec.ClearSleepPending());
  EXPECT_FALSE(spec.SetHibernatePending());
  EXPECT_FALSE(spec.ClearHibernatePending());
  EXPECT_FALSE(spec.SetFastMode());
  EXPECT_FALSE(spec.ClearBootRequest());
  EXPECT_FALSE(spec.IsBootRequest());
  EXPECT_EQ(rig.readWrite.Requests().Total(), before);
}

// A refused change writes nothing and is reported; a refused read is not seen as a set bit.
TEST(ControlByteFailure, ARefusedRequestChangesNothingAndReadsAsNoBitSet) {
  PlatformRig rig(sim::DefaultBoardDescription());
  TZlkSpec& spec = rig.Build();
  rig.board.SetControlByte(0x18);
  rig.rig.io.refused = {dp::IOCTL_UPDATE_CONTROL_BYTE, dp::IOCTL_READ_PHYSICAL_MEMORY};
  EXPECT_FALSE(spec.SetFastMode());
  EXPECT_FALSE(spec.ClearEnabled());
  EXPECT_FALSE(spec.IsBootRequest());
  EXPECT_EQ(*rig.board.ControlByte(), 0x18);
  rig.rig.io.refused.clear();
  EXPECT_TRUE(spec.SetFastMode());  // readable again: works as before
  EXPECT_EQ(*rig.board.ControlByte(), 0x1C);
}

}  // namespace
}  // namespace velmora
