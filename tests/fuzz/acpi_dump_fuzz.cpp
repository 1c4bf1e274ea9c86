// Feeds arbitrary text to the acpidump loader as a board's ACPI firmware: the text is parsed and
// placed into the physical memory of the default board (whose own ACPI tables are wiped once,
// when the machine is built), then the program's hardware side starts on that board and the
// SMBIOS reader and the ACPI locator run as the platform checks use them.
//
// The board is built once per process (FirmwareMachine). The loader places the dump into a
// scratch memory first; the ranges it wrote are then copied onto the board through the machine,
// which undoes them after the run. The parser, the placer, the driver's firmware discovery and
// the readers run unchanged (see firmware_bytes_fuzz.cpp and FirmwareMachine.h).
//
// The input's size picks a few variations, so that every corpus entry keeps reproducing the
// same run: bit 0 adds the maker's QVZX table to the dump's tables (the board file's
// AddQvzxToDump), bit 1 runs on Windows 98 (page maps by the virtual device driver), bit 2
// turns the debug log on.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/board/AcpiDump.h"
#include "sim/board/AcpiTables.h"
#include "sim/board/FirmwareBytes.h"
#include "sim/board/SimBoard.h"
#include "sim/board/SimPhysicalMemory.h"
#include "tests/fuzz/FirmwareMachine.h"

namespace {

using velmora::sim::Bytes;

// Dumps larger than this are parsed but not placed: a hex line at a high offset makes a table of
// megabytes out of a few bytes of text, and placing it (the loader looks every root-table entry
// up and reports each one it cannot place) or reading it takes a tenth of a second or more per
// run instead of exercising the parser and the readers. (An RSDT that declares more than it
// holds is placed too: the loader reads its entries only as far as it placed them; the dumps in
// tests/fuzz/slow/, which took over a second before, take a few milliseconds.)
constexpr std::size_t kMaxPlacedBytes = 64u << 10;

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
  for (const velmora::sim::DumpedTable& table : dump.tables) {
    total += table.bytes.size();
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const velmora::sim::AcpiDumpText dump = velmora::sim::ParseAcpiDump(text);
  if (DumpBytes(dump) > kMaxPlacedBytes) return 0;

  velmora::fuzz::FirmwareMachine& machine = velmora::fuzz::FirmwareMachine::Instance(WipeAcpi);
  static const std::vector<Bytes> qvzx = {
      velmora::sim::BuildQvzx(machine.Board().Description().acpi.qvzxEntries)};
  velmora::sim::PhysicalLayout layout = machine.Board().Layout();
  velmora::sim::SimPhysicalMemory scratch;
  const velmora::sim::AcpiDumpPlacement placed = velmora::sim::PlaceAcpiDump(
      dump, scratch, layout, (size & 1) != 0 ? qvzx : std::vector<Bytes>{});
  for (const velmora::sim::PlacedTable& table : placed.tables) {
    // A table placed in the PCI Express configuration window would land in configuration
    // registers (byte by byte, a few milliseconds for a large one), not in memory the readers
    // could find it in: left out.
    if (machine.TouchesDeviceWindow(table.address, table.length)) continue;
    const Bytes bytes = scratch.ReadBytes(table.address, table.length);
    machine.Write(table.address, bytes.data(), bytes.size());
  }

  velmora::fuzz::FirmwareRunOptions options;
  options.windows98 = (size & 2) != 0;
  options.debugLog = (size & 4) != 0;
  (void)machine.RunReaders(options);
  machine.Restore();
  return 0;
}
