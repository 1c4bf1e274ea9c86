// Real firmware tables from the text that `acpidump` prints: every table as a line
// "SIG @ 0xADDRESS" followed by hex lines "  0000: 52 53 44 20 ..." (16 bytes a line, an ASCII
// column may follow after two blanks). The older acpidump of pmtools writes the root pointer as
// "RSD PTR @ 0x..." and lower-case hex; that is read as RSDP. Hex lines that follow a line that is
// neither header nor hex data are dropped (and reported) up to the next header: their offsets
// would otherwise land on the table above. Dumps taken from /sys/firmware/acpi/tables lack the root
// pointer and the root tables and give every address as 0; the loader completes them:
// - tables with a non-zero address are written there;
// - a DSDT and a FACS at address 0 go where the first FACP of the dump points (its 32-bit
//   fields, else its 64-bit X_ fields);
// - other tables at address 0 go, in dump order, to free 16-byte aligned addresses from
//   kAcpiDumpFreeArea upwards (below 4 GiB, past anything already there);
// - a missing RSDT is made, listing every table but RSDP, RSDT, XSDT, FACS and DSDT: in the
//   XSDT's order when the dump has one (entries that fit in 32 bits), then the rest in dump
//   order; it goes where the dump's RSDP points, else to a free address;
// - a missing RSDP is made (revision 0) at a free 16-byte boundary in 0xE0000-0xFFFFF.
// An RSDP that points to an RSDT present in the dump is kept as it is. Whatever a 32-bit reader
// following RSDP -> RSDT -> FADT cannot reach (tables above 4 GiB, tables listed only in the
// XSDT, tables listed nowhere) is reported, as are bad checksums and rejected input.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/board/BuiltFirmware.h"
#include "sim/board/FirmwareBytes.h"
#include "sim/board/PhysicalLayout.h"
#include "sim/board/SimPhysicalMemory.h"

namespace velmora::sim {

inline constexpr std::size_t kAcpiDumpMaxTable = 16u << 20;  // one table
inline constexpr std::size_t kAcpiDumpMaxTotal = 64u << 20;  // all tables of a dump
inline constexpr std::size_t kAcpiDumpMaxText = 256u << 20;  // the dump file itself
inline constexpr std::uint64_t kAcpiDumpFreeArea = 0x7FF00000;

struct DumpedTable {
  std::string signature;  // as the header line gives it
  std::uint64_t address = 0;
  Bytes bytes;
};

struct AcpiDumpText {
  std::vector<DumpedTable> tables;
  std::vector<std::string> warnings;
};

// Never throws; malformed lines are skipped and reported.
AcpiDumpText ParseAcpiDump(std::string_view text);

struct AcpiDumpPlacement {
  std::uint64_t rsdpAddress = 0;
  std::uint64_t rsdtAddress = 0;
  bool rsdpMade = false;
  bool rsdtMade = false;
  std::vector<PlacedTable> tables;  // every table written, the made ones included
  std::vector<std::string> warnings;

  std::optional<PlacedTable> Find(const std::string& signature) const;
};

// extraTables (for instance the maker's function table on a board built from another board's
// dump) are added as tables without an address; when the dump's own RSDT is kept, a copy that
// also lists them is written to a free address and the RSDP is pointed at it.
AcpiDumpPlacement PlaceAcpiDump(const AcpiDumpText& dump, SimPhysicalMemory& memory,
                                PhysicalLayout& layout, const std::vector<Bytes>& extraTables = {});

// Reads the file (up to kAcpiDumpMaxText bytes) and places it; an unreadable file is reported.
AcpiDumpPlacement LoadAcpiDumpFile(const std::string& path, SimPhysicalMemory& memory,
                                   PhysicalLayout& layout,
                                   const std::vector<Bytes>& extraTables = {});

}  // namespace velmora::sim
