// The program's hardware start-up on the built-in board and on boards made of real machines'
// firmware dumps, with a driver that reads only the firmware it finds itself and never maps RAM:
// the board name, the ACPI tables and the maker's function table are still found, and every
// table the firmware lists (in the RSDT or only in the XSDT) can be read. On Windows 7 through
// its firmware table provider, also on UEFI firmware without legacy copies in the BIOS area; on
// 32-bit XP, which has no provider, through the entry points there.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

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

enum class Firmware { kBios, kUefi, kBiosOnXp };

class FirmwareSampleStartup
    : public ::testing::TestWithParam<std::tuple<SampleBoard, Firmware>> {};

TEST_P(FirmwareSampleStartup, FindsItsFirmwareWithoutAMappingOfRam) {
  const auto& [sample, firmware] = GetParam();
  sim::BoardDescription description = sim::DefaultBoardDescription();
  if (*sample.acpi != '\0') {
    description.acpidumpPath = kSamples + "/acpi/" + sample.acpi + "/acpidump.txt";
    description.addQvzxToDump = true;
  }
  if (*sample.smbios != '\0') {
    description.dmidecodePath = kSamples + "/smbios/" + sample.smbios + "/dmidecode-dump.bin";
  }
  description.legacyCopies = firmware != Firmware::kUefi;
  sim::SimBoard board(description);
  sim::SimStartup startup(
      board, firmware == Firmware::kBiosOnXp ? sim::WindowsXpX86() : sim::Windows7X86(), "");
  startup.Configure();
  TReadWrite& readWrite = startup.ConnectDriver();
  ASSERT_NE(readWrite.DeviceHandle(), kInvalidHandleValue);
  TCpu cpu(readWrite);
  const TZlkSpec platform(readWrite, startup.Config(), cpu, startup.codePage);
  EXPECT_EQ(platform.BoardName, sample.boardName);
  EXPECT_TRUE(platform.HasControlEntry);
  EXPECT_EQ(readWrite.MemoryReadByte(platform.ControlEntryAddress + kControlByteOffset),
            *board.ControlByte());
  EXPECT_GE(TAcpiBase(readWrite, startup.Config()).Tables.size(), 4u);
  EXPECT_EQ(readWrite.PcieBase, 0xE0000000u);
  std::uint32_t rsdt = 0;  // the root table in use (a dump's own is replaced to list QVZX)
  board.ReadPhysical(board.RsdpAddress() + 16, &rsdt, 4);
  for (const sim::PlacedTable& table : board.AcpiTables()) {
    if (table.signature == "RSDT" && table.address != rsdt) continue;
    // Without a root pointer the driver reads the tables the root tables list, not those.
    if (firmware == Firmware::kUefi && (table.signature == "RSDP" || table.signature == "XSDT")) {
      continue;
    }
    std::uint32_t length = table.length;
    if (table.signature != "RSDP") board.ReadPhysical(table.address + 4, &length, 4);
    std::vector<std::uint8_t> bytes(length);
    EXPECT_TRUE(readWrite.MemoryReadBlock(static_cast<std::uint32_t>(table.address), bytes.data(),
                                          length))
        << table.signature;
  }
  EXPECT_GT(startup.world.kernel.Mappings().size(), 0u);
  EXPECT_EQ(startup.world.kernel.RamMappings(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, FirmwareSampleStartup,
    ::testing::Combine(
        ::testing::Values(SampleBoard{"", "", "ZV-H61M"},
                          SampleBoard{"thinkpad-tp68-with-rsdp", "", "ZV-H61M"},
                          SampleBoard{"gigabyte-ga-ma785gm-us2h", "dell-r730", "072T6D"},
                          SampleBoard{"asus-p5q-em", "intel-s2600wtt", "S2600WTT"},
                          SampleBoard{"", "beelink-eq12-smbios3-only", "EQ"}),
        ::testing::Values(Firmware::kBios, Firmware::kUefi, Firmware::kBiosOnXp)));

}  // namespace
}  // namespace velmora
