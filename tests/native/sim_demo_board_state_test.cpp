// The demo program's board file state: the [Demo] keys, the control byte written back into the
// text without disturbing the rest, and the machine that reports writes to the control byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "config/MemIniFile.h"
#include "sim/board/DemoBoardState.h"
#include "sim/board/SimBoard.h"
#include "sim/board/SimBoardFile.h"
#include "sim/board/WatchedMachine.h"

namespace velmora::sim {
namespace {

std::string DemoValue(const std::string& text, const char* key) {
  return TMemIniFile(text).ReadString("Demo", key, "<none>");
}

TEST(DemoBoardSettings, KeysAreReadAndBadValuesReported) {
  const DemoSettings s = ReadDemoSettings(
      "[Board]\r\nName = x\r\n[demo]\r\ncontrolbyte = 0x18\r\nSimulatedPower = 1\r\n");
  ASSERT_TRUE(s.controlByte.has_value());
  EXPECT_EQ(*s.controlByte, 0x18);
  EXPECT_TRUE(s.simulatedPower);
  EXPECT_TRUE(s.simulatedTaskScheduler);  // unless a file says 0
  EXPECT_TRUE(s.errors.empty());

  const DemoSettings bad =
      ReadDemoSettings("[Demo]\nControlByte = 0x100\nSimulatedTaskScheduler = yes\n");
  EXPECT_FALSE(bad.controlByte.has_value());
  EXPECT_TRUE(bad.simulatedTaskScheduler);
  EXPECT_FALSE(ReadDemoSettings("[Demo]\nSimulatedTaskScheduler = 0\n").simulatedTaskScheduler);
  ASSERT_EQ(bad.errors.size(), 2u);
  EXPECT_NE(bad.errors[0].find("ControlByte = 0x100"), std::string::npos) << bad.errors[0];

  // What the simulated PowrProf plays brings it in.
  const DemoSettings played = ReadDemoSettings(
      "[Demo]\nModernStandby = 1\nReducedHibernationFile = 1\nSuspendError = 1314\n"
      "DriverRefused = 0x4FB\n");
  EXPECT_TRUE(played.modernStandby && played.reducedHibernationFile && played.simulatedPower);
  EXPECT_EQ(played.suspendError, 1314u);
  EXPECT_EQ(played.driverRefused, 1275u);

  const DemoSettings none = ReadDemoSettings("");
  EXPECT_FALSE(none.simulatedPower);
  EXPECT_FALSE(none.controlByte.has_value());
  EXPECT_TRUE(none.errors.empty());
}

TEST(DemoBoardSettings, ControlByteIsAddedToATextWithoutTheSection) {
  EXPECT_EQ(WithDemoControlByte("", 0x08), "[Demo]\r\nControlByte = 0x08\r\n");
  // The file's own line break, and a last line without one is completed first.
  EXPECT_EQ(WithDemoControlByte("[Board]\nName = a", 0x1F),
            "[Board]\nName = a\n[Demo]\nControlByte = 0x1F\n");
}

TEST(DemoBoardSettings, ControlByteReplacesTheKeyInTheLastBlockOnly) {
  const std::string text =
      "; board\r\n[Demo]\r\nControlByte = 0x01\r\n[Qvzx]\r\nControlByte = 0x05\r\n"
      "[ demo ]\r\n  CONTROLBYTE=16 ; request\r\nSimulatedPower = 1\r\n";
  const std::string written = WithDemoControlByte(text, 0x08);
  EXPECT_EQ(written,
            "; board\r\n[Demo]\r\nControlByte = 0x01\r\n[Qvzx]\r\nControlByte = 0x05\r\n"
            "[ demo ]\r\nControlByte = 0x08\r\nSimulatedPower = 1\r\n");
  EXPECT_EQ(DemoValue(written, "ControlByte"), "0x08");
  EXPECT_EQ(TMemIniFile(written).ReadString("Qvzx", "ControlByte", ""), "0x05");
}

TEST(DemoBoardSettings, ControlByteIsInsertedAfterTheHeaderOfTheLastBlock) {
  const std::string written =
      WithDemoControlByte("[Demo]\nSimulatedPower = 1\n[Pci]\nEcam = none\n[Demo]", 0x0C);
  EXPECT_EQ(written,
            "[Demo]\nSimulatedPower = 1\n[Pci]\nEcam = none\n[Demo]\nControlByte = 0x0C\n");
  // Read back as the board and the demo read it: the last block counts.
  EXPECT_EQ(ReadDemoSettings(written).controlByte, std::optional<std::uint8_t>(0x0C));
  // The key is written as the caller spells it; a commented-out line is not the key.
  EXPECT_EQ(WithIniValue("[A]\nk = 1\n; k = 2\n", "a", "K", "3"), "[A]\nK = 3\n; k = 2\n");
}

TEST(DemoBoardSettings, RewritingLeavesTheBoardDescriptionAlone) {
  const std::string text = "[Smbios]\nBaseboardProduct = ZV-Q77\n[Qvzx]\nEntries = 1:01 00, 3:00\n";
  const std::string written = WithDemoControlByte(WithDemoControlByte(text, 0x10), 0x08);
  const BoardFileResult before = ParseBoardFile(text, "");
  const BoardFileResult after = ParseBoardFile(written, "");
  EXPECT_TRUE(after.errors.empty());
  EXPECT_EQ(after.description.smbios.identity.baseboardProduct, "ZV-Q77");
  EXPECT_EQ(after.description.acpi.qvzxEntries.size(), before.description.acpi.qvzxEntries.size());
  EXPECT_EQ(written.find(text), 0u) << written;
  EXPECT_EQ(ReadDemoSettings(written).controlByte, std::optional<std::uint8_t>(0x08));
}

class WatchedBoard : public ::testing::Test {
 protected:
  SimBoard board;
  int reports = 0;
  WatchedMachine machine{board, board.ControlByteAddress(), [this] { ++reports; }};
};

TEST_F(WatchedBoard, WritesTouchingTheControlByteAreReportedAfterTheyLanded) {
  ASSERT_TRUE(board.ControlByteAddress().has_value());
  const std::uint64_t control = *board.ControlByteAddress();
  std::uint8_t seen = 0;
  WatchedMachine reading(board, control, [&] { seen = *board.ControlByte(); });
  const std::uint8_t value = 0x18;
  reading.WritePhysical(control, &value, 1);
  EXPECT_EQ(seen, 0x18);

  const std::uint8_t wide[4] = {1, 2, 3, 4};
  machine.WritePhysical(control - 3, wide, 4);  // last byte is the control byte
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(*board.ControlByte(), 4);
  machine.WritePhysical(control + 1, wide, 4);  // just after it
  machine.WritePhysical(control - 4, wide, 4);  // just before it
  machine.WritePhysical(control, wide, 0);
  EXPECT_EQ(reports, 1);
}

TEST_F(WatchedBoard, ReadsPortsAndCpuIdPassThrough) {
  std::uint8_t viaMachine[16];
  std::uint8_t viaBoard[16];
  machine.ReadPhysical(board.RsdpAddress(), viaMachine, sizeof viaMachine);
  board.ReadPhysical(board.RsdpAddress(), viaBoard, sizeof viaBoard);
  EXPECT_EQ(std::vector<std::uint8_t>(viaMachine, viaMachine + 16),
            std::vector<std::uint8_t>(viaBoard, viaBoard + 16));
  EXPECT_EQ(machine.CpuId(0).ebx, board.CpuId(0).ebx);
  machine.PortOut(0x80, 1, 0x5A);
  EXPECT_EQ(board.LastPortWrite(0x80), std::optional<std::uint32_t>(0x5A));
  EXPECT_EQ(machine.PortIn(0xCF8, 4), board.PortIn(0xCF8, 4));
  EXPECT_EQ(reports, 0);
}

TEST(SimBoardFilePaths, WindowsAbsoluteDumpPathsAreKept) {
  const BoardFileResult r = ParseBoardFile(
      "[Acpi]\nAcpidump = C:\\dumps\\a.txt\n[Smbios]\nDmidecode = \\\\server\\b.bin\n",
      "C:\\Program Files\\Zelkor");
  EXPECT_EQ(r.description.acpidumpPath, "C:\\dumps\\a.txt");
  EXPECT_EQ(r.description.dmidecodePath, "\\\\server\\b.bin");
  const BoardFileResult relative = ParseBoardFile("[Acpi]\nAcpidump = a.txt\n", "C:\\boards");
  EXPECT_EQ(relative.description.acpidumpPath, "C:\\boards/a.txt");
}

}  // namespace
}  // namespace velmora::sim
