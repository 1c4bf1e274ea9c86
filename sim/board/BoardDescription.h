// Everything that makes one simulated board: its firmware (built from a few values, or loaded
// from real dumps), its PCI functions, where the ECAM window lies and which processor it carries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/board/BuiltFirmware.h"
#include "sim/board/SimPciBus.h"

namespace velmora::sim {

struct ProcessorDescription {
  std::string vendor = "GenuineIntel";   // 12 characters: CPUID leaf 0 EBX, EDX, ECX
  std::string brand;                     // up to 48 characters: leaves 0x80000002-0x80000004
  std::uint32_t signature = 0x000206A7;  // leaf 1 EAX: family, model, stepping
  std::uint32_t logicalProcessors = 2;
};

struct BoardDescription {
  std::string name = "ZV-H61M";
  // SMBIOS: built from identity unless dmidecodePath names a `dmidecode --dump-bin` file.
  BuiltSmbiosDescription smbios;
  std::string dmidecodePath;
  // ACPI: built from acpi unless acpidumpPath names an `acpidump` text file. With a dump, the
  // QVZX table is added to the dump's tables when addQvzxToDump is set.
  BuiltAcpiDescription acpi;
  std::string acpidumpPath;
  bool addQvzxToDump = false;
  std::vector<PciFunctionDescription> pciFunctions;
  std::optional<std::uint64_t> ecamBase;
  ProcessorDescription processor;
  // false: UEFI firmware without legacy support, which leaves no root pointer in 0xE0000-0xFFFFF
  // and no SMBIOS anchor in 0xF0000-0xFFFFF; the system's firmware table provider still hands
  // the tables out.
  bool legacyCopies = true;
  // The unit the firmware's memory map reserves its tables in: 64 KiB (BIOS), or pages (UEFI),
  // where the RAM after the tables starts in the same 64 KiB block.
  std::uint64_t firmwareMapUnit = 0x10000;
};

// The maker's reference board: a Zelkor board with a Fast-capable (not Regular-only) name,
// RSDP revision 0 in the 0xF0000 segment, RSDT, FADT (PM1a 0x800, PM timer 0x808, SCI 9), FACS,
// DSDT with one SSDT after it, MADT (I/O APIC 0xFEC00000, GSI 0), ECDT (0x66/0x62), the QVZX
// table with one control entry (control byte 0), ECAM at 0xE0000000, a host bridge at 0:0.0, a
// graphics device carrying the maker's subsystem vendor 0x7A5E, an LPC bridge at 0:31.0, and an
// Intel processor.
BoardDescription DefaultBoardDescription();

}  // namespace velmora::sim
