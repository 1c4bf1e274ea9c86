#include "sim/board/BoardDescription.h"

namespace velmora::sim {
namespace {

PciFunctionDescription Function(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                                std::uint16_t vendor, std::uint16_t id, std::uint32_t classCode,
                                std::uint8_t headerType) {
  PciFunctionDescription d;
  d.location = PciLocation{bus, device, function};
  d.vendorId = vendor;
  d.deviceId = id;
  d.classCode = classCode;
  d.headerType = headerType;
  return d;
}

}  // namespace

BoardDescription DefaultBoardDescription() {
  BoardDescription board;
  board.name = "ZV-H61M";
  board.smbios.identity = SmbiosIdentity{};  // baseboard and system product "ZV-H61M"
  board.acpi.rsdpRevision = 0;
  board.acpi.rsdpAddress = 0xF6A40;
  board.acpi.fadt.pm1aEventBlock = 0x800;
  board.acpi.fadt.pmTimerBlock = 0x808;
  board.acpi.fadt.sciInterrupt = 9;
  board.acpi.madtFields.ioApics = {MadtIoApic{2, 0xFEC00000, 0}};
  board.acpi.ecdt = EcdtFields{};  // command/status 0x66, data 0x62
  board.acpi.qvzxEntries = {QvzxEntry{1, {0x01, 0x00}}, QvzxControlEntry(0x00)};
  board.acpi.ssdtCount = 1;
  board.ecamBase = 0xE0000000;
  board.acpi.mcfgBase = board.ecamBase;

  PciFunctionDescription host = Function(0, 0, 0, 0x8086, 0x0100, 0x060000, 0x00);
  host.subsystemVendorId = 0x8086;
  host.subsystemId = 0x2010;
  host.extendedSpace = true;
  PciFunctionDescription graphics = Function(0, 2, 0, 0x8086, 0x0102, 0x030000, 0x00);
  graphics.subsystemVendorId = 0x7A5E;
  graphics.subsystemId = 0xD000;
  graphics.extendedSpace = true;
  PciFunctionDescription lpc = Function(0, 31, 0, 0x8086, 0x1C5C, 0x060100, 0x80);
  lpc.subsystemVendorId = 0x7A5E;
  lpc.subsystemId = 0x5001;
  PciFunctionDescription smbus = Function(0, 31, 3, 0x8086, 0x1C22, 0x0C0500, 0x00);
  smbus.subsystemVendorId = 0x7A5E;
  smbus.subsystemId = 0x5001;
  board.pciFunctions = {host, graphics, lpc, smbus};

  board.processor.vendor = "GenuineIntel";
  board.processor.brand = "Intel(R) Core(TM) i3-2100 CPU @ 3.10GHz";
  return board;
}

}  // namespace velmora::sim
