// Feeds arbitrary text to the acpidump loader as a board's ACPI firmware: the text is parsed and
// placed into the physical memory of the default board (whose own ACPI tables are wiped first),
// then the program starts up on that board and runs the SMBIOS reader and the ACPI locator.
//
// The input's size picks a few variations, so that every corpus entry keeps reproducing the
// same run: bit 0 adds the maker's QVZX table to the dump's tables (the board file's
// AddQvzxToDump), bit 1 runs on Windows 98 (page mappings by the virtual device driver), bit 2
// turns the debug log on.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/board/AcpiDump.h"
#include "sim/board/AcpiTables.h"
#include "sim/board/SimBoard.h"
#include "tests/fuzz/FirmwareFuzzRun.h"

namespace {

using velmora::sim::Bytes;

// Dumps larger than this are parsed but not placed: a few tables of up to 16 MiB each would
// spend each run filling simulated memory instead of exercising the readers.
constexpr std::size_t kMaxPlacedBytes = 1u << 20;

// The board keeps its SMBIOS, PCI functions and processor; its ACPI tables read as absent memory.
void WipeAcpi(velmora::sim::SimBoard& board) {
  const std::vector<std::uint8_t> absent(36, 0xFF);
  board.Memory().Write(board.RsdpAddress(), absent.data(), absent.size());
  for (const velmora::sim::PlacedTable& table : board.AcpiTables()) {
    const Bytes wipe(table.length, 0xFF);
    board.Memory().Write(table.address, wipe.data(), wipe.size());
  }
}

std::size_t DumpBytes(const velmora::sim::AcpiDumpText& dump) {
  std::size_t total = 0;
  for (const velmora::sim::DumpedTable& table : dump.tables) total += table.bytes.size();
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const velmora::sim::AcpiDumpText dump = velmora::sim::ParseAcpiDump(text);
  if (DumpBytes(dump) > kMaxPlacedBytes) return 0;

  velmora::sim::SimBoard board;
  WipeAcpi(board);
  velmora::sim::PhysicalLayout layout = board.Layout();
  std::vector<Bytes> extras;
  if ((size & 1) != 0)
    extras.push_back(velmora::sim::BuildQvzx(board.Description().acpi.qvzxEntries));
  (void)velmora::sim::PlaceAcpiDump(dump, board.Memory(), layout, extras);

  velmora::fuzz::FirmwareRunOptions options;
  options.windows98 = (size & 2) != 0;
  options.debugLog = (size & 4) != 0;
  (void)velmora::fuzz::RunFirmwareReaders(board, options);
  return 0;
}
