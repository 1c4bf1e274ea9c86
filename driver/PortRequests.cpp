// I/O ports and PCI configuration space through configuration mechanism #1: the address dword
// to 0xCF8, then the data port 0xCFC + (register & 3) with the request's width.
#include "driver/RequestHandler.h"
#include "driver/RequestSupport.h"

namespace velmora::driver {

namespace {

PortWidth WidthOf(uint32_t bytes) {
  return static_cast<PortWidth>(bytes);
}

constexpr uint32_t kPortRecord = sizeof(protocol::PortIoRequest);
constexpr uint32_t kPciRecord = sizeof(protocol::PciConfigRequest);

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

uint16_t RequestHandler::SelectPciRegister(const uint8_t* record) {
  using Request = protocol::PciConfigRequest;
  const uint16_t offset = LoadU16(record + offsetof(Request, offset));
  kernel_.PortOut(
      protocol::kPciConfigAddressPort, PortWidth::kDword,
      protocol::PciConfigAddress(record[offsetof(Request, bus)], record[offsetof(Request, device)],
                                 record[offsetof(Request, function)], offset));
  return offset;
}

IoResult RequestHandler::PciConfigRead(const IoRequest& request, uint32_t width) {
  uint8_t* record = request.systemBuffer;
  const uint16_t offset = SelectPciRegister(record);
  const uint32_t value = kernel_.PortIn(protocol::PciConfigDataPort(offset), WidthOf(width));
  StoreLow(record + offsetof(protocol::PciConfigRequest, value), value, width);
  return Success(kPciRecord);
}

IoResult RequestHandler::PciConfigWrite(const IoRequest& request, uint32_t width) {
  const uint8_t* record = request.systemBuffer;
  const uint16_t offset = SelectPciRegister(record);
  kernel_.PortOut(protocol::PciConfigDataPort(offset), WidthOf(width),
                  LoadLow(record + offsetof(protocol::PciConfigRequest, value), width));
  return Success(0);
}

// Two double-word operations back to back under the one lock, first entry first. The read
// results are in the entries themselves, so the whole record goes back to the caller.
IoResult RequestHandler::PciConfigPair(const IoRequest& request, uint32_t) {
  for (uint32_t entry = 0; entry < 2; ++entry) {
    uint8_t* at = request.systemBuffer + entry * sizeof(protocol::PciPairEntry);
    const uint8_t operation = at[offsetof(protocol::PciPairEntry, operation)];
    if (operation != protocol::kPciPairRead && operation != protocol::kPciPairWrite) continue;
    const uint16_t offset = SelectPciRegister(at);
    uint8_t* value = at + offsetof(protocol::PciPairEntry, value);
    if (operation == protocol::kPciPairRead) {
      StoreU32(value, kernel_.PortIn(protocol::PciConfigDataPort(offset), PortWidth::kDword));
    } else {
      kernel_.PortOut(protocol::PciConfigDataPort(offset), PortWidth::kDword, LoadU32(value));
    }
  }
  return Success(protocol::kPciPairRecord);
}

}  // namespace velmora::driver
