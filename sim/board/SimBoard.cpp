#include "sim/board/SimBoard.h"

#include <cstring>

#include "ports/WinTypes.h"
#include "sim/board/AcpiDump.h"
#include "sim/board/SmbiosDump.h"

namespace velmora::sim {
namespace {

std::uint32_t Pack(const std::string& text, std::size_t from) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::size_t at = from + i;
    const auto c = static_cast<std::uint8_t>(at < text.size() ? text[at] : 0);
    value |= static_cast<std::uint32_t>(c) << (8 * i);
  }
  return value;
}

std::uint32_t AllOnes(unsigned width) {
  return width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
}

}  // namespace

SimBoard::SimBoard(const BoardDescription& description) : description_(description) {
  BuildPci();
  BuildAcpi();  // first: dump tables have fixed addresses, the SMBIOS table can go anywhere
  BuildSmbios();
  FindControlByte();
  BuildMemoryMap();
  if (!description_.legacyCopies) RemoveLegacyCopies();
}

// The entry points' bytes are cleared where a legacy BIOS would have copied them; the tables
// themselves stay where they are, and the firmware table provider still knows them.
void SimBoard::RemoveLegacyCopies() {
  constexpr std::uint64_t kBiosArea = 0xE0000;
  constexpr std::uint64_t kBiosAreaEnd = 0x100000;
  constexpr std::size_t kLongestEntryPoint = 36;
  const std::vector<std::uint8_t> zeros(kLongestEntryPoint, 0);
  if (rsdpAddress_ >= kBiosArea && rsdpAddress_ < kBiosAreaEnd) {
    memory_.Load(rsdpAddress_, zeros);
  }
  if (smbiosEntryAddress_ >= kBiosArea && smbiosEntryAddress_ < kBiosAreaEnd) {
    memory_.Load(smbiosEntryAddress_, std::vector<std::uint8_t>(31, 0));
  }
}

std::optional<std::vector<std::uint8_t>> SimBoard::FirmwareTable(std::uint32_t provider,
                                                                 std::uint32_t tableId) {
  if (provider == win::kFirmwareProviderAcpi) {
    std::string signature;
    for (int i = 0; i < 4; ++i) signature += static_cast<char>(tableId >> (8 * i));
    for (const PlacedTable& table : acpiTables_) {
      // Windows took the RSDT the root pointer names; a dump's own stays in memory beside the
      // copy that replaced it.
      if (table.signature != signature || signature == "RSDP" ||
          (signature == "RSDT" && table.address != rsdtAddress_)) {
        continue;
      }
      return memory_.ReadBytes(table.address, table.length);
    }
    return std::nullopt;
  }
  if (provider == win::kFirmwareProviderRawSmbios && tableId == 0 && smbiosTable_.length != 0) {
    std::vector<std::uint8_t> raw = {0, smbiosTable_.major, smbiosTable_.minor, 0};
    for (int i = 0; i < 4; ++i) raw.push_back(static_cast<std::uint8_t>(smbiosTable_.length >> (8 * i)));
    const std::vector<std::uint8_t> table = memory_.ReadBytes(smbiosTable_.address, smbiosTable_.length);
    raw.insert(raw.end(), table.begin(), table.end());
    return raw;
  }
  if (provider == win::kFirmwareProviderRaw && description_.legacyCopies &&
      (tableId == 0xC0000 || tableId == 0xE0000)) {
    return memory_.ReadBytes(tableId, 0x10000);
  }
  return std::nullopt;
}

void SimBoard::BuildMemoryMap() {
  std::vector<PhysicalRange> devices;
  if (description_.ecamBase) {
    devices.push_back({*description_.ecamBase, SimPciBus::kEcamSize, "ECAM window"});
  }
  memoryMap_ = FirmwareMemoryMap::ForLayout(layout_, devices, description_.firmwareMapUnit);
}

void SimBoard::AddFirmwareRange(std::uint64_t address, std::uint64_t size) {
  layout_.Reserve(address, size, "firmware added later");
  BuildMemoryMap();
}

void SimBoard::BuildPci() {
  for (const PciFunctionDescription& function : description_.pciFunctions) {
    if (!pci_.AddFunction(function))
      warnings_.push_back("a PCI function has device > 31 or function > 7; left out");
  }
  if (!description_.ecamBase) return;
  const std::uint64_t base = *description_.ecamBase;
  if (memory_.MapWindow(base, SimPciBus::kEcamSize, pci_.MakeEcamWindow())) {
    layout_.Reserve(base, SimPciBus::kEcamSize, "ECAM window");
  } else {
    warnings_.push_back("the ECAM window cannot be mapped at its base");
  }
}

void SimBoard::BuildSmbios() {
  if (description_.dmidecodePath.empty()) {
    const SmbiosPlacement placed = PlaceBuiltSmbios(description_.smbios, memory_, layout_);
    smbiosEntryAddress_ = placed.entryAddress;
    NoteSmbiosTable("_SM_", placed.tableAddress, placed.tableLength);
    return;
  }
  SmbiosDumpPlacement placed = LoadDmidecodeDumpFile(description_.dmidecodePath, memory_, layout_,
                                                     description_.smbios.tableAddress);
  smbiosEntryAddress_ = placed.entryAddress;
  if (placed.loaded) NoteSmbiosTable(placed.anchor, placed.tableAddress, placed.tableLength);
  for (std::string& warning : placed.warnings) warnings_.push_back("SMBIOS: " + warning);
}

// The version the entry point states, for the raw SMBIOS header the provider hands out.
void SimBoard::NoteSmbiosTable(const std::string& anchor, std::uint64_t address,
                               std::uint32_t length) {
  smbiosTable_.address = address;
  smbiosTable_.length = length;
  if (anchor == "_SM_") {
    smbiosTable_.major = memory_.Read8(smbiosEntryAddress_ + 6);
    smbiosTable_.minor = memory_.Read8(smbiosEntryAddress_ + 7);
  } else if (anchor == "_SM3_") {
    smbiosTable_.major = memory_.Read8(smbiosEntryAddress_ + 7);
    smbiosTable_.minor = memory_.Read8(smbiosEntryAddress_ + 8);
  } else {
    const std::uint8_t bcd = memory_.Read8(smbiosEntryAddress_ + 0x0E);
    smbiosTable_.major = static_cast<std::uint8_t>(bcd >> 4);
    smbiosTable_.minor = static_cast<std::uint8_t>(bcd & 0x0F);
  }
}

void SimBoard::BuildAcpi() {
  if (description_.acpidumpPath.empty()) {
    const AcpiPlacement placed = PlaceBuiltAcpi(description_.acpi, memory_, layout_);
    rsdpAddress_ = placed.rsdpAddress;
    rsdtAddress_ = placed.rsdtAddress;
    acpiTables_ = placed.tables;
    return;
  }
  std::vector<Bytes> extras;
  if (description_.addQvzxToDump) {
    AcpiHeaderFields header = description_.acpi.oem;
    extras.push_back(BuildQvzx(description_.acpi.qvzxEntries, header));
  }
  AcpiDumpPlacement placed = LoadAcpiDumpFile(description_.acpidumpPath, memory_, layout_, extras);
  rsdpAddress_ = placed.rsdpAddress;
  rsdtAddress_ = placed.rsdtAddress;
  acpiTables_ = placed.tables;
  for (std::string& warning : placed.warnings) warnings_.push_back("ACPI: " + warning);
}

void SimBoard::FindControlByte() {
  for (const PlacedTable& table : acpiTables_) {
    if (table.signature != "QVZX") continue;
    const std::size_t offset =
        QvzxControlByteOffset(memory_.ReadBytes(table.address, table.length));
    controlByteAddress_ = offset != 0 ? table.address + offset : 0;
    return;
  }
}

void SimBoard::ReadPhysical(std::uint64_t address, void* destination, std::size_t size) {
  memory_.Read(address, destination, size);
}

void SimBoard::WritePhysical(std::uint64_t address, const void* source, std::size_t size) {
  memory_.Write(address, source, size);
}

std::uint32_t SimBoard::PortIn(std::uint16_t port, unsigned width) {
  std::uint32_t value = 0;
  if (pci_.PortIn(port, width, value)) return value;
  return AllOnes(width);
}

void SimBoard::PortOut(std::uint16_t port, unsigned width, std::uint32_t value) {
  if (pci_.PortOut(port, width, value)) return;
  portWrites_[port] = value & AllOnes(width);
}

std::optional<std::uint32_t> SimBoard::LastPortWrite(std::uint16_t port) const {
  const auto found = portWrites_.find(port);
  if (found == portWrites_.end()) return std::nullopt;
  return found->second;
}

CpuIdRegisters SimBoard::CpuId(std::uint32_t leaf) {
  const ProcessorDescription& cpu = description_.processor;
  CpuIdRegisters r;
  if (leaf == 0) {
    r.eax = 0x0D;
    r.ebx = Pack(cpu.vendor, 0);
    r.edx = Pack(cpu.vendor, 4);
    r.ecx = Pack(cpu.vendor, 8);
  } else if (leaf == 1) {
    r.eax = cpu.signature;
    r.ebx = (cpu.logicalProcessors & 0xFF) << 16;
    r.ecx = 0x1D9AE3BF;
    r.edx = 0xBFEBFBFF;
  } else if (leaf == 0x80000000) {
    r.eax = cpu.brand.empty() ? 0x80000001 : 0x80000008;
  } else if (leaf >= 0x80000002 && leaf <= 0x80000004 && !cpu.brand.empty()) {
    const std::size_t from = (leaf - 0x80000002) * 16;
    r.eax = Pack(cpu.brand, from);
    r.ebx = Pack(cpu.brand, from + 4);
    r.ecx = Pack(cpu.brand, from + 8);
    r.edx = Pack(cpu.brand, from + 12);
  }
  return r;
}

std::optional<std::uint64_t> SimBoard::ControlByteAddress() const {
  if (controlByteAddress_ == 0) return std::nullopt;
  return controlByteAddress_;
}

std::optional<std::uint8_t> SimBoard::ControlByte() const {
  if (controlByteAddress_ == 0) return std::nullopt;
  return memory_.Read8(controlByteAddress_);
}

void SimBoard::SetControlByte(std::uint8_t value) {
  if (controlByteAddress_ != 0) memory_.Write8(controlByteAddress_, value);
}

void SimBoard::RaiseBootRequest() {
  if (const auto value = ControlByte()) SetControlByte(static_cast<std::uint8_t>(*value | 0x10));
}

}  // namespace velmora::sim
