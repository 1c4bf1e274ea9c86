// Builders for the ACPI structures a board's firmware publishes, in their real binary layout
// with lengths and checksums filled in. Every table starts with the 36-byte description header
// (signature, length, revision, checksum at byte 9, OEM id, OEM table id, OEM revision, creator id
// and revision); the root pointer "RSD PTR " has its own 20-byte (revision 0) or 36-byte
// (revision 2) layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/board/FirmwareBytes.h"

namespace velmora::sim {

inline constexpr std::size_t kAcpiHeaderSize = 36;

struct AcpiHeaderFields {
  std::string signature;
  std::uint8_t revision = 1;
  std::string oemId = "ZELKOR";
  std::string oemTableId = "ZV-H61M";
  std::uint32_t oemRevision = 1;
  std::string creatorId = "ZLKR";
  std::uint32_t creatorRevision = 0x20100528;
};

// A header with length 36 and no checksum yet; append the body, then FinishAcpiTable.
Bytes StartAcpiTable(const AcpiHeaderFields& header);
// Writes the length field (offset 4) and the checksum (offset 9) over the whole table.
void FinishAcpiTable(Bytes& table);

struct RsdpFields {
  std::uint8_t revision = 0;  // 0: 20 bytes; 2: 36 bytes with length, XSDT, extended checksum
  std::string oemId = "ZELKOR";
  std::uint32_t rsdtAddress = 0;
  std::uint64_t xsdtAddress = 0;
};
Bytes BuildRsdp(const RsdpFields& fields);
// After the RSDT address (16) or the XSDT address (24) has been changed in place.
void RefreshRsdpChecksums(Bytes& rsdp);

Bytes BuildRsdt(const std::vector<std::uint32_t>& tables, AcpiHeaderFields header = {});
Bytes BuildXsdt(const std::vector<std::uint64_t>& tables, AcpiHeaderFields header = {});

struct FadtFields {
  std::uint8_t revision = 1;  // 1: 116 bytes; 3 or 4: 244 bytes with the 64-bit X_ fields
  std::uint32_t facsAddress = 0;
  std::uint32_t dsdtAddress = 0;
  std::uint16_t sciInterrupt = 9;
  std::uint32_t smiCommandPort = 0xB2;
  std::uint32_t pm1aEventBlock = 0x800;
  std::uint32_t pm1aControlBlock = 0x804;
  std::uint32_t pmTimerBlock = 0x808;
  std::uint32_t gpe0Block = 0x820;
  std::uint32_t flags = 0x1A5;  // WBINVD, PROC_C1, SLP_BUTTON, RTC_S4, TMR_VAL_EXT (0x100)
};
Bytes BuildFadt(const FadtFields& fields, AcpiHeaderFields header = {});

// The firmware ACPI control structure: 64 bytes, no checksum, 64-byte aligned in memory.
Bytes BuildFacs();

// A DSDT or SSDT whose body is a small AML definition block. An empty body gets a default one.
Bytes BuildDsdt(Bytes body = {}, AcpiHeaderFields header = {});
Bytes BuildSsdt(int index, AcpiHeaderFields header = {});

struct MadtIoApic {
  std::uint8_t id = 0;
  std::uint32_t address = 0xFEC00000;
  std::uint32_t gsiBase = 0;
};
struct MadtFields {
  std::uint32_t localApicAddress = 0xFEE00000;
  std::uint32_t flags = 1;  // PCAT_COMPAT: dual 8259s present
  std::vector<std::uint8_t> processorApicIds = {0, 1};
  std::vector<MadtIoApic> ioApics = {MadtIoApic{}};
  bool timerOverride = true;  // ISA IRQ 0 -> GSI 2
};
Bytes BuildMadt(const MadtFields& fields, AcpiHeaderFields header = {});

struct EcdtFields {
  std::uint8_t addressSpace = 1;  // 1: system I/O
  std::uint64_t commandPort = 0x66;
  std::uint64_t dataPort = 0x62;
  std::uint32_t uid = 0;
  std::uint8_t gpeBit = 0x17;
  std::string path = "\\_SB.PCI0.LPCB.EC0";
};
Bytes BuildEcdt(const EcdtFields& fields, AcpiHeaderFields header = {});

// One entry of the maker's "QVZX" function table: type, length (counting the type and length
// bytes), data. length 0 means "data size + 2"; any other value is written as given, so broken
// tables can be built too (the data is then written as it is, whatever the length says).
struct QvzxEntry {
  std::uint8_t type = 0;
  Bytes data;
  std::uint8_t length = 0;
};
inline constexpr std::uint8_t kQvzxControlType = 3;
inline QvzxEntry QvzxControlEntry(std::uint8_t controlByte) {
  return QvzxEntry{kQvzxControlType, {controlByte}, 3};
}
Bytes BuildQvzx(const std::vector<QvzxEntry>& entries, AcpiHeaderFields header = {});
// Offset of the last control entry's data byte (type 3, length 3) within the table; 0 when none.
std::size_t QvzxControlByteOffset(const Bytes& table);

}  // namespace velmora::sim
