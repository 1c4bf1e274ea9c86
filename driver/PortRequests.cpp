// I/O ports and PCI configuration space through configuration mechanism #1: the address dword
// to 0xCF8, then the data port 0xCFC + (register & 3) with the request's width.
//
// The address dword is 0x80000000 | bus << 16 | device << 11 | function << 8 | register & 0xFC,
// with register bits 8-11 in bits 24-27. The device field has 5 bits and the function field 3:
// a larger number from the caller would carry into the field above it (device 0x21 is device 1
// of the next bus), so both are cut to their width. Bits 24-27 are reserved in the mechanism;
// only AMD processors of family 10h and later decode them, and only while NB_CFG (MSR
// C001_001F) bit 46, EnableCf8ExtCfg, is set. Elsewhere the chipset ignores them and an
// access to register 0x142 reaches register 0x42 of the same function instead, so a register
// at or past 0x100 is refused there; past 0xFFF there is no register at all.
#include "driver/CpuIdentity.h"
#include "driver/RequestHandler.h"
#include "driver/RequestSupport.h"

namespace velmora::driver {

namespace {

PortWidth WidthOf(uint32_t bytes) {
  return static_cast<PortWidth>(bytes);
}

constexpr uint32_t kPortRecord = sizeof(protocol::PortIoRequest);
constexpr uint32_t kPciRecord = sizeof(protocol::PciConfigRequest);

constexpr uint8_t kDeviceMask = 0x1F;
constexpr uint8_t kFunctionMask = 0x07;
constexpr uint16_t kFirstExtendedRegister = 0x100;
constexpr uint16_t kConfigSpaceEnd = 0x1000;

constexpr uint32_t kFirstAmdFamilyWithExtendedCf8 = 0x10;
constexpr uint32_t kAmdNbCfg = 0xC001001F;
constexpr uint64_t kEnableCf8ExtCfg = uint64_t{1} << 46;

uint16_t RegisterOf(const uint8_t* record) {
  return LoadU16(record + offsetof(protocol::PciConfigRequest, offset));
}

}  // namespace

IoResult RequestHandler::PortRead(const IoRequest& request, uint32_t width) {
  uint8_t* record = request.systemBuffer;
  const uint16_t port = LoadU16(record + offsetof(protocol::PortIoRequest, port));
  const uint32_t value = kernel_.PortIn(port, WidthOf(width));
  StoreLow(record + offsetof(protocol::PortIoRequest, value), value, width);
  return Success(kPortRecord);
}

IoResult RequestHandler::PortWrite(const IoRequest& request, uint32_t width) {
  const uint8_t* record = request.systemBuffer;
  const uint16_t port = LoadU16(record + offsetof(protocol::PortIoRequest, port));
  kernel_.PortOut(port, WidthOf(width),
                  LoadLow(record + offsetof(protocol::PortIoRequest, value), width));
  return Success(0);
}

// A configuration request and a pair entry both carry bus, device and function in their first
// three bytes and the register at +4.
static_assert(offsetof(protocol::PciConfigRequest, bus) == offsetof(protocol::PciPairEntry, bus));
static_assert(offsetof(protocol::PciConfigRequest, device) ==
              offsetof(protocol::PciPairEntry, device));
static_assert(offsetof(protocol::PciConfigRequest, function) ==
              offsetof(protocol::PciPairEntry, function));
static_assert(offsetof(protocol::PciConfigRequest, offset) ==
              offsetof(protocol::PciPairEntry, offset));

// NB_CFG exists only on AMD's family 10h and later (on other processors RDMSR of it raises #GP),
// so the processor is identified before the register is read. Asked each time: the register
// belongs to the firmware and the operating system, which may change it.
bool RequestHandler::ExtendedConfigThroughPorts() {
  uint32_t r[4] = {};
  kernel_.CpuId(0, r);
  if (!IsVendor(r, kAmdVendor)) return false;
  kernel_.CpuId(1, r);
  if (FamilyOf(r[0]) < kFirstAmdFamilyWithExtendedCf8) return false;
  return (kernel_.ReadMsr(kAmdNbCfg) & kEnableCf8ExtCfg) != 0;
}

bool RequestHandler::SelectPciRegister(const uint8_t* record, uint16_t* offset) {
  using Request = protocol::PciConfigRequest;
  *offset = RegisterOf(record);
  if (*offset >= kConfigSpaceEnd) return false;
  if (*offset >= kFirstExtendedRegister && !ExtendedConfigThroughPorts()) return false;
  kernel_.PortOut(
      protocol::kPciConfigAddressPort, PortWidth::kDword,
      protocol::PciConfigAddress(record[offsetof(Request, bus)],
                                 record[offsetof(Request, device)] & kDeviceMask,
                                 record[offsetof(Request, function)] & kFunctionMask, *offset));
  return true;
}

uint32_t RequestHandler::ReadPciDword(uint32_t bus, uint32_t device, uint32_t function,
                                      uint32_t offset) {
  kernel_.PortOut(protocol::kPciConfigAddressPort, PortWidth::kDword,
                  protocol::PciConfigAddress(static_cast<uint8_t>(bus),
                                             static_cast<uint8_t>(device & kDeviceMask),
                                             static_cast<uint8_t>(function & kFunctionMask),
                                             static_cast<uint16_t>(offset)));
  return kernel_.PortIn(protocol::PciConfigDataPort(static_cast<uint16_t>(offset)),
                        PortWidth::kDword);
}

// Walks every bus for a function of class 01h/06h/01h (SATA controller, AHCI 1.0 interface)
// whose BAR5, the AHCI base address, is a memory BAR at this address. A device that is absent
// reads vendor 0xFFFF at function 0; functions 1-7 exist only behind a multi-function header.
bool RequestHandler::IsAhciBar(uint32_t address) {
  constexpr uint32_t kAhciClass = 0x010601;
  constexpr uint32_t kBar5 = 0x24;
  constexpr uint32_t kMemoryBarAddress = 0xFFFFFFF0u;
  constexpr uint32_t kIoSpaceBar = 1;
  if (address == 0) return false;
  for (uint32_t bus = 0; bus < 256; ++bus) {
    for (uint32_t device = 0; device < 32; ++device) {
      if ((ReadPciDword(bus, device, 0, 0) & 0xFFFF) == 0xFFFF) continue;
      const bool multiFunction = (ReadPciDword(bus, device, 0, 0x0C) & 0x00800000u) != 0;
      for (uint32_t function = 0; function < (multiFunction ? 8u : 1u); ++function) {
        if ((ReadPciDword(bus, device, function, 0) & 0xFFFF) == 0xFFFF) continue;
        if ((ReadPciDword(bus, device, function, 0x08) >> 8) != kAhciClass) continue;
        const uint32_t bar = ReadPciDword(bus, device, function, kBar5);
        if ((bar & kIoSpaceBar) == 0 && (bar & kMemoryBarAddress) == address) return true;
      }
    }
  }
  return false;
}

IoResult RequestHandler::PciConfigRead(const IoRequest& request, uint32_t width) {
  uint8_t* record = request.systemBuffer;
  uint16_t offset = 0;
  if (!SelectPciRegister(record, &offset)) return Failure(protocol::kStatusInvalidParameter);
  const uint32_t value = kernel_.PortIn(protocol::PciConfigDataPort(offset), WidthOf(width));
  StoreLow(record + offsetof(protocol::PciConfigRequest, value), value, width);
  return Success(kPciRecord);
}

IoResult RequestHandler::PciConfigWrite(const IoRequest& request, uint32_t width) {
  const uint8_t* record = request.systemBuffer;
  uint16_t offset = 0;
  if (!SelectPciRegister(record, &offset)) return Failure(protocol::kStatusInvalidParameter);
  kernel_.PortOut(protocol::PciConfigDataPort(offset), WidthOf(width),
                  LoadLow(record + offsetof(protocol::PciConfigRequest, value), width));
  return Success(0);
}

// Two double-word operations back to back under the one lock, first entry first. The read
// results are in the entries themselves, so the whole record goes back to the caller. An entry
// naming a register that cannot be reached refuses the whole request before either entry is
// carried out: half a pair (a write without the read that belongs to it) is worse than none.
IoResult RequestHandler::PciConfigPair(const IoRequest& request, uint32_t) {
  const auto acts = [](const uint8_t* at) {
    const uint8_t operation = at[offsetof(protocol::PciPairEntry, operation)];
    return operation == protocol::kPciPairRead || operation == protocol::kPciPairWrite;
  };
  bool extended = false;
  for (uint32_t entry = 0; entry < 2; ++entry) {
    const uint8_t* at = request.systemBuffer + entry * sizeof(protocol::PciPairEntry);
    if (!acts(at)) continue;
    if (RegisterOf(at) >= kConfigSpaceEnd) return Failure(protocol::kStatusInvalidParameter);
    if (RegisterOf(at) >= kFirstExtendedRegister) extended = true;
  }
  if (extended && !ExtendedConfigThroughPorts()) return Failure(protocol::kStatusInvalidParameter);
  for (uint32_t entry = 0; entry < 2; ++entry) {
    uint8_t* at = request.systemBuffer + entry * sizeof(protocol::PciPairEntry);
    if (!acts(at)) continue;
    uint16_t offset = 0;
    if (!SelectPciRegister(at, &offset)) return Failure(protocol::kStatusInvalidParameter);
    uint8_t* value = at + offsetof(protocol::PciPairEntry, value);
    if (at[offsetof(protocol::PciPairEntry, operation)] == protocol::kPciPairRead) {
      StoreU32(value, kernel_.PortIn(protocol::PciConfigDataPort(offset), PortWidth::kDword));
    } else {
      kernel_.PortOut(protocol::PciConfigDataPort(offset), PortWidth::kDword, LoadU32(value));
    }
  }
  return Success(protocol::kPciPairRecord);
}

}  // namespace velmora::driver
