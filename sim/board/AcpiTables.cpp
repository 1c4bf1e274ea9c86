#include "sim/board/AcpiTables.h"

#include <algorithm>

namespace velmora::sim {
namespace {

AcpiHeaderFields WithSignature(AcpiHeaderFields header, const char* signature) {
  header.signature = signature;
  return header;
}

// A generic address structure: address space, register width, offset, access size, address.
void PutGas(Bytes& bytes, std::size_t offset, std::uint8_t space, std::uint8_t bitWidth,
            std::uint8_t accessSize, std::uint64_t address) {
  Put8(bytes, offset, space);
  Put8(bytes, offset + 1, bitWidth);
  Put8(bytes, offset + 2, 0);
  Put8(bytes, offset + 3, accessSize);
  Put64(bytes, offset + 4, address);
}

void Append(Bytes& bytes, std::initializer_list<std::uint8_t> more) {
  bytes.insert(bytes.end(), more);
}

// Scope (\_SB) { Device (PCI0) { Name (_HID, EisaId ("PNP0A03")) } } plus a marker name.
Bytes DefaultDsdtBody() {
  Bytes body = {0x10, 0x1E, 0x5C, 0x5F, 0x53, 0x42, 0x5F,   // ScopeOp, PkgLength, \_SB_
                0x5B, 0x82, 0x0F, 0x50, 0x43, 0x49, 0x30,   // DeviceOp, PkgLength, PCI0
                0x08, 0x5F, 0x48, 0x49, 0x44,               // NameOp _HID
                0x0C, 0x41, 0xD0, 0x0A, 0x03,               // DWordConst EisaId ("PNP0A03")
                0x08, 0x5A, 0x56, 0x52, 0x56, 0x0A, 0x01};  // Name (ZVRV, One)
  return body;
}

}  // namespace

Bytes StartAcpiTable(const AcpiHeaderFields& header) {
  Bytes table(kAcpiHeaderSize, 0);
  PutText(table, 0, header.signature, 4);
  Put32(table, 4, static_cast<std::uint32_t>(kAcpiHeaderSize));
  Put8(table, 8, header.revision);
  PutText(table, 10, header.oemId, 6);
  PutText(table, 16, header.oemTableId, 8);
  Put32(table, 24, header.oemRevision);
  PutText(table, 28, header.creatorId, 4);
  Put32(table, 32, header.creatorRevision);
  return table;
}

void FinishAcpiTable(Bytes& table) {
  if (table.size() < kAcpiHeaderSize) table.resize(kAcpiHeaderSize, 0);
  Put32(table, 4, static_cast<std::uint32_t>(table.size()));
  SetChecksum(table, 0, table.size(), 9);
}

Bytes BuildRsdp(const RsdpFields& fields) {
  Bytes rsdp(fields.revision == 0 ? 20 : 36, 0);
  PutText(rsdp, 0, "RSD PTR ", 8);
  PutText(rsdp, 9, fields.oemId, 6);
  Put8(rsdp, 15, fields.revision);
  Put32(rsdp, 16, fields.rsdtAddress);
  if (fields.revision != 0) {
    Put32(rsdp, 20, 36);
    Put64(rsdp, 24, fields.xsdtAddress);
  }
  RefreshRsdpChecksums(rsdp);
  return rsdp;
}

void RefreshRsdpChecksums(Bytes& rsdp) {
  SetChecksum(rsdp, 0, 20, 8);  // the ACPI 1.0 part first: the extended sum covers it
  if (rsdp.size() >= 36) SetChecksum(rsdp, 0, 36, 32);
}

Bytes BuildRsdt(const std::vector<std::uint32_t>& tables, AcpiHeaderFields header) {
  Bytes rsdt = StartAcpiTable(WithSignature(std::move(header), "RSDT"));
  for (std::uint32_t address : tables) Put32(rsdt, rsdt.size(), address);
  FinishAcpiTable(rsdt);
  return rsdt;
}

Bytes BuildXsdt(const std::vector<std::uint64_t>& tables, AcpiHeaderFields header) {
  Bytes xsdt = StartAcpiTable(WithSignature(std::move(header), "XSDT"));
  for (std::uint64_t address : tables) Put64(xsdt, xsdt.size(), address);
  FinishAcpiTable(xsdt);
  return xsdt;
}

Bytes BuildFadt(const FadtFields& f, AcpiHeaderFields header) {
  header.revision = f.revision;
  Bytes fadt = StartAcpiTable(WithSignature(std::move(header), "FACP"));
  fadt.resize(f.revision >= 3 ? 244 : 116, 0);
  Put32(fadt, 36, f.facsAddress);
  Put32(fadt, 40, f.dsdtAddress);
  Put8(fadt, 45, 1);  // preferred profile: desktop
  Put16(fadt, 46, f.sciInterrupt);
  Put32(fadt, 48, f.smiCommandPort);
  Put8(fadt, 52, 0xA0);  // ACPI_ENABLE
  Put8(fadt, 53, 0xA1);  // ACPI_DISABLE
  Put32(fadt, 56, f.pm1aEventBlock);
  Put32(fadt, 64, f.pm1aControlBlock);
  Put32(fadt, 76, f.pmTimerBlock);
  Put32(fadt, 80, f.gpe0Block);
  Put8(fadt, 88, 4);         // PM1 event block length
  Put8(fadt, 89, 2);         // PM1 control block length
  Put8(fadt, 91, 4);         // PM timer length
  Put8(fadt, 92, 8);         // GPE0 block length
  Put16(fadt, 96, 0x65);     // C2 latency: C2 unsupported
  Put16(fadt, 98, 0x3E9);    // C3 latency: C3 unsupported
  Put8(fadt, 108, 0x32);     // RTC century register
  Put16(fadt, 109, 0x0003);  // legacy devices, 8042
  Put32(fadt, 112, f.flags);
  if (f.revision >= 3) {
    Put64(fadt, 132, f.facsAddress);
    Put64(fadt, 140, f.dsdtAddress);
    PutGas(fadt, 148, 1, 32, 0, f.pm1aEventBlock);
    PutGas(fadt, 172, 1, 16, 0, f.pm1aControlBlock);
    PutGas(fadt, 208, 1, 32, 0, f.pmTimerBlock);
    PutGas(fadt, 220, 1, 64, 0, f.gpe0Block);
  }
  FinishAcpiTable(fadt);
  return fadt;
}

Bytes BuildFacs() {
  Bytes facs(64, 0);
  PutText(facs, 0, "FACS", 4);
  Put32(facs, 4, 64);
  Put32(facs, 8, 0x5A56524Bu);  // hardware signature
  Put8(facs, 32, 1);            // version
  return facs;
}

Bytes BuildDsdt(Bytes body, AcpiHeaderFields header) {
  header.revision = 1;
  Bytes dsdt = StartAcpiTable(WithSignature(std::move(header), "DSDT"));
  if (body.empty()) body = DefaultDsdtBody();
  dsdt.insert(dsdt.end(), body.begin(), body.end());
  FinishAcpiTable(dsdt);
  return dsdt;
}

Bytes BuildSsdt(int index, AcpiHeaderFields header) {
  header.oemTableId = "CpuPm" + std::to_string(index);
  Bytes ssdt = StartAcpiTable(WithSignature(std::move(header), "SSDT"));
  // Scope (\_PR) { Name (SS0n, n) }
  Append(ssdt,
         {0x10, 0x0D, 0x5C, 0x5F, 0x50, 0x52, 0x5F, 0x08, 0x53, 0x53, 0x30,
          static_cast<std::uint8_t>('0' + index % 10), 0x0A, static_cast<std::uint8_t>(index)});
  FinishAcpiTable(ssdt);
  return ssdt;
}

Bytes BuildMadt(const MadtFields& f, AcpiHeaderFields header) {
  Bytes madt = StartAcpiTable(WithSignature(std::move(header), "APIC"));
  Put32(madt, 36, f.localApicAddress);
  Put32(madt, 40, f.flags);
  std::uint8_t processorId = 0;
  for (std::uint8_t apicId : f.processorApicIds) {
    Append(madt, {0, 8, processorId++, apicId, 1, 0, 0, 0});  // processor local APIC, enabled
  }
  for (const MadtIoApic& io : f.ioApics) {
    const std::size_t at = madt.size();
    Append(madt, {1, 12, io.id, 0});
    Put32(madt, at + 4, io.address);
    Put32(madt, at + 8, io.gsiBase);
  }
  if (f.timerOverride) {
    const std::size_t at = madt.size();
    Append(madt, {2, 10, 0, 0});  // interrupt source override: ISA bus, IRQ 0
    Put32(madt, at + 4, 2);       // GSI 2
    Put16(madt, at + 8, 0);       // conforming polarity and trigger
  }
  FinishAcpiTable(madt);
  return madt;
}

Bytes BuildEcdt(const EcdtFields& f, AcpiHeaderFields header) {
  Bytes ecdt = StartAcpiTable(WithSignature(std::move(header), "ECDT"));
  PutGas(ecdt, 36, f.addressSpace, 8, 1, f.commandPort);
  PutGas(ecdt, 48, f.addressSpace, 8, 1, f.dataPort);
  Put32(ecdt, 60, f.uid);
  Put8(ecdt, 64, f.gpeBit);
  for (char c : f.path) ecdt.push_back(static_cast<std::uint8_t>(c));
  ecdt.push_back(0);
  FinishAcpiTable(ecdt);
  return ecdt;
}

Bytes BuildQvzx(const std::vector<QvzxEntry>& entries, AcpiHeaderFields header) {
  Bytes qvzx = StartAcpiTable(WithSignature(std::move(header), "QVZX"));
  for (const QvzxEntry& entry : entries) {
    qvzx.push_back(entry.type);
    qvzx.push_back(entry.length != 0 ? entry.length
                                     : static_cast<std::uint8_t>(entry.data.size() + 2));
    qvzx.insert(qvzx.end(), entry.data.begin(), entry.data.end());
  }
  FinishAcpiTable(qvzx);
  return qvzx;
}

std::size_t QvzxControlByteOffset(const Bytes& table) {
  std::size_t found = 0;
  std::size_t at = kAcpiHeaderSize;
  const std::size_t end = std::min<std::size_t>(table.size(), Get32(table, 4));
  while (at + 2 <= end) {
    const std::uint8_t type = table[at];
    const std::uint8_t length = table[at + 1];
    if (length == 0) break;
    if (type == kQvzxControlType && length == 3 && at + 3 <= end) found = at + 2;
    at += length;
  }
  return found;
}

}  // namespace velmora::sim
