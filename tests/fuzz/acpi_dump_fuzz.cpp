// Feeds arbitrary text to the acpidump loader as a board's ACPI firmware: the text is parsed and
// placed into the physical memory of the default board (whose own ACPI tables are wiped once,
// when the machine is built), then the SMBIOS reader and the ACPI locator run on that board as
// the platform checks use them.
//
// The board and the started program (configuration and driver client, on Windows 7 and on
// Windows 98) are built once per process (FirmwareMachine). The loader places the dump into a
// scratch memory first; the ranges it wrote are then copied onto the board through the machine,
// which undoes them after the run. The parser, the placer and the readers run unchanged; the
// readers see every byte through the program's driver client, whose map and unmap requests the
// harness answers by the driver's rules (see firmware_bytes_fuzz.cpp and FirmwareMachine.cpp).
//
// The input's size picks a few variations, so that every corpus entry keeps reproducing the
// same run: bit 0 adds the maker's QVZX table to the dump's tables (the board file's
// AddQvzxToDump), bit 1 runs on Windows 98 (page mappings by the virtual device driver), bit 2
// turns the debug log on.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
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
// run instead of exercising the parser and the readers. The same holds for an RSDT that declares
// more, or is too short to hold its length field (the bytes after it in memory then complete
// the field, 0xFF where nothing is): after placing, the loader reads the root table back from
// memory as long as it declares (up to 16 MiB) and looks up every entry, a second or more per
// run under the sanitizers (tests/fuzz/slow/); and for an RSDT whose length field another table
// is placed over (RsdtLengthOverwritten).
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

bool Overlap(std::uint64_t a, std::uint64_t aSize, std::uint64_t b, std::uint64_t bSize) {
  return aSize != 0 && bSize != 0 && a < b + bSize && b < a + aSize;
}

// Whether the loader would write another table over the length field of an RSDT: a table at a
// fixed address, or the FACS or DSDT it puts where the (first) FADT points. The root table read
// back would then declare whatever those bytes say, up to 16 MiB (see kMaxPlacedBytes).
bool RsdtLengthOverwritten(const velmora::sim::AcpiDumpText& dump) {
  using velmora::sim::DumpedTable;
  const DumpedTable* fadt = nullptr;
  for (const DumpedTable& table : dump.tables) {
    if (table.signature == "FACP") {
      fadt = &table;
      break;
    }
  }
  const auto fadtPointer = [&](std::size_t offset32, std::size_t offset64) -> std::uint64_t {
    if (fadt == nullptr) return 0;
    const std::uint64_t narrow = velmora::sim::Get32(fadt->bytes, offset32);
    if (narrow != 0 || fadt->bytes.size() < offset64 + 8) return narrow;
    return velmora::sim::Get64(fadt->bytes, offset64);
  };
  const auto firstOf = [&](const char* signature) -> const DumpedTable* {
    for (const DumpedTable& table : dump.tables) {
      if (table.signature == signature) return &table;
    }
    return nullptr;
  };
  for (const DumpedTable& rsdt : dump.tables) {
    if (rsdt.signature != "RSDT" || rsdt.address == 0) continue;
    for (const DumpedTable& other : dump.tables) {
      if (&other != &rsdt && other.address != 0 &&
          Overlap(other.address, other.bytes.size(), rsdt.address + 4, 4)) {
        return true;
      }
    }
    for (const auto& [signature, pointer] :
         {std::pair{"FACS", fadtPointer(36, 132)}, std::pair{"DSDT", fadtPointer(40, 140)}}) {
      const DumpedTable* table = firstOf(signature);
      if (table != nullptr && table->address == 0 &&
          Overlap(pointer, table->bytes.size(), rsdt.address + 4, 4)) {
        return true;
      }
    }
  }
  return false;
}

std::size_t DumpBytes(const velmora::sim::AcpiDumpText& dump) {
  std::size_t total = 0;
  for (const velmora::sim::DumpedTable& table : dump.tables) {
    total += table.bytes.size();
    if (table.signature == "RSDT") {
      total += table.bytes.size() < 8 ? kMaxPlacedBytes + 1 : velmora::sim::Get32(table.bytes, 4);
    }
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const velmora::sim::AcpiDumpText dump = velmora::sim::ParseAcpiDump(text);
  if (DumpBytes(dump) > kMaxPlacedBytes || RsdtLengthOverwritten(dump)) return 0;

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
