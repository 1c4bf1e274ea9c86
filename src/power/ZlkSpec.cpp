#include "power/ZlkSpec.h"

#include "hw/AcpiBase.h"
#include "hw/SmbiosBase.h"

namespace velmora {
namespace {

constexpr std::uint16_t kRegVendorDevice = 0x00;
constexpr std::uint16_t kRegHeaderType = 0x0E;
constexpr std::uint16_t kRegSubsystemVendor = 0x2C;
constexpr std::uint8_t kMultiFunctionBit = 0x80;
constexpr std::uint32_t kNoDevice = 0xFFFFFFFF;

bool IsMakerVendor(std::uint16_t vendor) {
  return vendor == kMakerSubsystemVendor || vendor == kMakerSubsystemVendorAlt;
}

}  // namespace

TZlkSpec::TZlkSpec(TReadWrite& readWrite, TInitFile& config, TCpu& cpu, IAnsiCodePage& codePage)
    : readWrite_(readWrite) {
  IsMakerBoard = ScanForMakerBoard();
  BoardName = TSmbiosBase(readWrite_, codePage).BoardName();
  // On Intel processors the ACPI locator must not search memory after the DSDT for more SSDTs.
  if (cpu.IsIntel()) config.Config.ACPIDecodeSSDTEx = 0;
  ReadFunctionTable(config);
}

bool TZlkSpec::ScanForMakerBoard() {
  for (unsigned bus = 0; bus <= 255; ++bus) {
    for (std::uint8_t device = 0; device < 32; ++device) {
      if (DeviceHasMakerFunction(static_cast<std::uint8_t>(bus), device)) return true;
    }
  }
  return false;
}

bool TZlkSpec::DeviceHasMakerFunction(std::uint8_t bus, std::uint8_t device) {
  if (readWrite_.PciReadDword(bus, device, kRegVendorDevice, 0) == kNoDevice) return false;
  const bool multiFunction =
      (readWrite_.PciReadByte(bus, device, kRegHeaderType, 0) & kMultiFunctionBit) != 0;
  const std::uint8_t functions = multiFunction ? 8 : 1;
  // Absent functions of a multi-function device answer 0xFFFF and never match.
  for (std::uint8_t function = 0; function < functions; ++function) {
    if (IsMakerVendor(readWrite_.PciReadWord(bus, device, kRegSubsystemVendor, function))) {
      return true;
    }
  }
  return false;
}

void TZlkSpec::ReadFunctionTable(TInitFile& config) {
  HasControlEntry = false;
  TAcpiBase acpi(readWrite_, config);
  if (!acpi.FindTable(kFunctionTableSignature)) return;
  const AcpiTableEntry* entry = acpi.CurrentEntry();
  // A length below the header or beyond any real table is a broken table: nothing to copy.
  if (entry == nullptr || entry->Length < kFunctionTableHeaderLength ||
      entry->Length > kMaxAcpiTableLength) {
    return;
  }
  TableCopy.assign(entry->Length, 0);
  if (!readWrite_.MemoryReadBlock(entry->Address, TableCopy.data(), entry->Length)) {
    TableCopy.clear();
    return;
  }
  if (const std::optional<std::uint32_t> offset = FindControlEntry(TableCopy)) {
    ControlEntryAddress = entry->Address + *offset;
    HasControlEntry = true;
  }
}

// A byte that could not be read is never written back: the all-ones stand-in would set the
// firmware's request bit and both pending bits. Nor does it count as a set bit.
bool TZlkSpec::ReadControlByte(std::uint8_t& value) {
  return HasControlEntry && readWrite_.TryMemoryReadByte(ControlByteAddress(), value);
}

// One read-modify-write, done by the driver under its lock: nothing between the read and the
// write can be lost.
bool TZlkSpec::SetBits(std::uint8_t mask) {
  std::uint8_t before = 0;
  return HasControlEntry && readWrite_.MemoryUpdateByte(ControlByteAddress(), mask, 0, before);
}

bool TZlkSpec::ClearBits(std::uint8_t mask) {
  std::uint8_t before = 0;
  return HasControlEntry && readWrite_.MemoryUpdateByte(ControlByteAddress(), 0, mask, before);
}

bool TZlkSpec::TestBit(std::uint8_t mask) {
  std::uint8_t value = 0;
  return ReadControlByte(value) && (value & mask) != 0;
}

}  // namespace velmora
