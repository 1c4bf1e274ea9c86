// Lays a built firmware image into physical memory: the ACPI tables of a board description
// (root pointer, RSDT, optional XSDT, FADT with FACS and DSDT, MADT, ECDT, MCFG, the maker's
// "QVZX" function table, SSDTs) and an SMBIOS 2.x entry point with its structure table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/board/AcpiTables.h"
#include "sim/board/PhysicalLayout.h"
#include "sim/board/SimPhysicalMemory.h"
#include "sim/board/SmbiosTables.h"

namespace velmora::sim {

struct BuiltAcpiDescription {
  std::uint8_t rsdpRevision = 0;  // 2 adds an XSDT listing the same tables
  std::uint32_t rsdpAddress = 0xF6A40;
  // The RSDT and the tables follow one another from here, each on a 16-byte boundary (the FACS
  // on a 64-byte one); the DSDT comes last but for the SSDTs, which follow it directly, so a
  // search starting at (DSDT address + DSDT length) & ~0xF meets them.
  std::uint32_t areaBase = 0xCFF80000;
  AcpiHeaderFields oem;  // OEM id and table id of every table (signature is ignored)
  FadtFields fadt;       // FACS and DSDT addresses are filled in
  bool madt = true;
  MadtFields madtFields;
  std::optional<EcdtFields> ecdt = EcdtFields{};
  bool qvzx = true;
  std::vector<QvzxEntry> qvzxEntries = {QvzxControlEntry(0)};
  int ssdtCount = 1;
  bool ssdtsInRsdt = true;  // firmware normally lists them; the search then finds them again
  std::optional<std::uint64_t> mcfgBase;  // MCFG for an ECAM window at this base, buses 0-255
};

struct PlacedTable {
  std::string signature;
  std::uint64_t address = 0;
  std::uint32_t length = 0;
};

struct AcpiPlacement {
  std::uint64_t rsdpAddress = 0;
  std::uint64_t rsdtAddress = 0;
  std::vector<PlacedTable> tables;  // in the order they were written
  // The physical address of the QVZX control byte (data byte of its last control entry); 0 when
  // the table has no control entry.
  std::uint64_t controlByteAddress = 0;

  // The first placed table with this signature; nullopt when there is none.
  std::optional<PlacedTable> Find(const std::string& signature) const;
};

// Writes the tables and reserves their ranges; tables that would overlap something reserved are
// moved up to the next free 16-byte boundary.
AcpiPlacement PlaceBuiltAcpi(const BuiltAcpiDescription& description, SimPhysicalMemory& memory,
                             PhysicalLayout& layout);

Bytes BuildMcfg(std::uint64_t ecamBase, const AcpiHeaderFields& header);

struct BuiltSmbiosDescription {
  SmbiosIdentity identity;
  std::uint32_t entryAddress = 0xF0480;  // must lie in 0xF0000-0xFFFFF on a 16-byte boundary
  std::uint32_t tableAddress = 0xCFF60000;
};

struct SmbiosPlacement {
  std::uint64_t entryAddress = 0;
  std::uint64_t tableAddress = 0;
  std::uint32_t tableLength = 0;
};

SmbiosPlacement PlaceBuiltSmbios(const BuiltSmbiosDescription& description,
                                 SimPhysicalMemory& memory, PhysicalLayout& layout);

}  // namespace velmora::sim
