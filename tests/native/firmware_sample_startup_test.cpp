// The program's hardware start-up on the built-in board and on boards made of real machines'
// firmware dumps, with the driver refusing every view of RAM: the board name, the ACPI tables
// and the maker's function table are still found, and no view ever reached RAM.
#include <gtest/gtest.h>

#include <string>

#include "hw/AcpiBase.h"
#include "power/Cpu.h"
#include "power/ZlkSpec.h"
#include "sim/SimStartup.h"
#include "sim/board/SimBoard.h"

namespace velmora {
namespace {

const std::string kSamples = VELMORA_SHARED_DIR "/firmware-samples";

struct SampleBoard {
  const char* acpi;    // folder under acpi/, or "" for the built tables
  const char* smbios;  // folder under smbios/, or "" for the built table
  const char* boardName;
};

class FirmwareSampleStartup : public ::testing::TestWithParam<SampleBoard> {};

TEST_P(FirmwareSampleStartup, FindsItsFirmwareWithoutAViewOfRam) {
  sim::BoardDescription description = sim::DefaultBoardDescription();
  if (*GetParam().acpi != '\0') {
    description.acpidumpPath = kSamples + "/acpi/" + GetParam().acpi + "/acpidump.txt";
    description.addQvzxToDump = true;
  }
  if (*GetParam().smbios != '\0') {
    description.dmidecodePath = kSamples + "/smbios/" + GetParam().smbios + "/dmidecode-dump.bin";
  }
  sim::SimBoard board(description);
  sim::SimStartup startup(board, sim::Windows7X86(), "");
  startup.Configure();
  TReadWrite& readWrite = startup.ConnectDriver();
  ASSERT_NE(readWrite.DeviceHandle(), kInvalidHandleValue);
  TCpu cpu(readWrite);
  const TZlkSpec platform(readWrite, startup.Config(), cpu, startup.codePage);
  EXPECT_EQ(platform.BoardName, GetParam().boardName);
  EXPECT_TRUE(platform.HasControlEntry);
  EXPECT_EQ(readWrite.MemoryReadByte(platform.ControlEntryAddress + kControlByteOffset),
            *board.ControlByte());
  EXPECT_GE(TAcpiBase(readWrite, startup.Config()).Tables.size(), 4u);
  EXPECT_EQ(readWrite.PcieBase, 0xE0000000u);
  EXPECT_GT(startup.world.kernel.MapCalls(), 0);
  EXPECT_EQ(startup.world.kernel.RamViewsMapped(), 0);
}

INSTANTIATE_TEST_SUITE_P(Boards, FirmwareSampleStartup,
                         ::testing::Values(SampleBoard{"", "", "ZV-H61M"},
                                           SampleBoard{"thinkpad-tp68-with-rsdp", "", "ZV-H61M"},
                                           SampleBoard{"gigabyte-ga-ma785gm-us2h", "dell-r730",
                                                       "072T6D"},
                                           SampleBoard{"asus-p5q-em", "intel-s2600wtt", "S2600WTT"},
                                           SampleBoard{"", "beelink-eq12-smbios3-only", ""}));

}  // namespace
}  // namespace velmora
