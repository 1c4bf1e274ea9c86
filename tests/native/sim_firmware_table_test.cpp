// GetSystemFirmwareTable of the simulated Windows, as Windows behaves: exported by Windows 7 and
// XP x64; a null or short buffer receives nothing and learns the size (ERROR_INSUFFICIENT_BUFFER);
// an unknown provider or table, and 'FIRM' on firmware without legacy copies, give 0.
#include <gtest/gtest.h>

#include "hw/FirmwareTableProvider.h"
#include "sim/SimSystemInfo.h"
#include "sim/board/SimBoard.h"

namespace velmora {
namespace {

TEST(SimFirmwareTable, AnswersWithTheSizeTheCopyOrNothing) {
  constexpr int kNull = -1000;  // a null buffer of size 0
  const struct {
    bool legacyCopies;
    std::uint32_t provider, id;
    int bufferBeyondTable;  // the buffer's size less the table's
    bool held;
  } cases[] = {{true, win::kFirmwareProviderRawSmbios, 0, kNull, true},
               {true, win::kFirmwareProviderRawSmbios, 0, -1, true},
               {true, win::kFirmwareProviderAcpi, AcpiTableId("RSDT"), 16, true},
               {true, win::kFirmwareProviderRaw, 0xE0000, 0, true},
               {false, win::kFirmwareProviderRaw, 0xE0000, 16, false},
               {true, win::kFirmwareProviderAcpi, AcpiTableId("NONE"), 16, false},
               {true, 0x5A5A5A5A, 0, kNull, false}};
  for (const auto& c : cases) {
    sim::BoardDescription description = sim::DefaultBoardDescription();
    description.legacyCopies = c.legacyCopies;
    sim::SimBoard board(description);
    sim::SimSystemInfo system(sim::Windows7X86());
    system.AttachFirmware(&board);
    const std::vector<std::uint8_t> table =
        board.FirmwareTable(c.provider, c.id).value_or(std::vector<std::uint8_t>{});
    ASSERT_EQ(table.empty(), !c.held) << c.id;
    const std::size_t size = c.bufferBeyondTable == kNull ? 0 : table.size() + c.bufferBeyondTable;
    std::vector<std::uint8_t> buffer(size, 0xA5), expected(size, 0xA5);
    const std::uint32_t returned = system.GetSystemFirmwareTable(
        system.GetProcAddress(system.GetModuleHandleA("kernel32.dll"), "GetSystemFirmwareTable"),
        c.provider, c.id, c.bufferBeyondTable == kNull ? nullptr : buffer.data(),
        static_cast<std::uint32_t>(size));
    EXPECT_EQ(returned, table.size()) << c.id;
    if (size >= table.size()) std::copy(table.begin(), table.end(), expected.begin());
    EXPECT_EQ(buffer, expected) << c.id;
    if (size < table.size()) EXPECT_EQ(system.GetLastError(), win::kErrorInsufficientBuffer);
  }
  const std::pair<sim::SimWindowsRelease, bool> releases[] = {
      {sim::Windows7X64(), true}, {sim::WindowsXpX64(), true}, {sim::WindowsXpX86(), false},
      {sim::Windows98(), false}};
  for (const auto& [release, exported] : releases) {
    sim::SimSystemInfo system(release);
    EXPECT_EQ(TFirmwareTableProvider(system).Exists(), exported) << release.minor;
  }
}

}  // namespace
}  // namespace velmora
