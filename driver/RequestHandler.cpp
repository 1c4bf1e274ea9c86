#include "driver/RequestHandler.h"

#include <stddef.h>

#include "driver/BufferAccess.h"
#include "hw/DriverProtocol.h"

namespace velmora::driver {

namespace protocol = velmora::driver_protocol;

namespace {

constexpr bool NtSuccess(uint32_t status) {
  return static_cast<int32_t>(status) >= 0;
}

constexpr IoResult Failure(uint32_t status) {
  return IoResult{status, 0};
}
constexpr IoResult Success(uint32_t information) {
  return IoResult{protocol::kStatusSuccess, information};
}

constexpr uint32_t kMapRecord = sizeof(protocol::MapMemoryRequest);
constexpr uint32_t kUnmapRecord = 4;
constexpr uint32_t kPciRecord = sizeof(protocol::PciConfigRequest);

}  // namespace

// Requests with input or output buffers shorter than their record are refused before anything
// is read or written: the system buffer is only max(input, output) bytes long.
const RequestHandler::Service RequestHandler::kServices[] = {
    {0xA00, kMapRecord, kMapRecord, protocol::kStatusInvalidParameter,
     &RequestHandler::MapPhysicalMemory, PortWidth::kDword},
    {0xA01, kUnmapRecord, 0, protocol::kStatusInsufficientResources,
     &RequestHandler::UnmapPhysicalMemory, PortWidth::kDword},
    {0xA0A, kPciRecord, kPciRecord, protocol::kStatusInvalidParameter,
     &RequestHandler::PciConfigRead, PortWidth::kByte},
    {0xA0C, kPciRecord, kPciRecord, protocol::kStatusInvalidParameter,
     &RequestHandler::PciConfigRead, PortWidth::kWord},
    {0xA0E, kPciRecord, kPciRecord, protocol::kStatusInvalidParameter,
     &RequestHandler::PciConfigRead, PortWidth::kDword},
};

IoResult RequestHandler::Dispatch(const IoRequest& request) {
  kernel_.AcquireLock();
  IoResult result = ServeUnlocked(request);
  if (!NtSuccess(result.status)) result.information = 0;
  kernel_.CompleteRequest(request, result);
  kernel_.ReleaseLock();
  return result;
}

IoResult RequestHandler::ServeUnlocked(const IoRequest& request) {
  switch (request.kind) {
    case IoRequest::Kind::kCreate:
    case IoRequest::Kind::kClose:
      return Success(0);
    case IoRequest::Kind::kDeviceControl:
      return DeviceControl(request);
    case IoRequest::Kind::kOther:
      break;
  }
  return Failure(protocol::kStatusInvalidParameter);
}

IoResult RequestHandler::DeviceControl(const IoRequest& request) {
  for (const Service& service : kServices) {
    if (protocol::ControlCode(service.function) != request.controlCode) continue;
    if (request.inputLength < service.minimumInput) return Failure(service.shortInputStatus);
    if (request.outputLength < service.minimumOutput) {
      return Failure(protocol::kStatusInvalidParameter);
    }
    return (this->*service.serve)(request, service.width);
  }
  return Failure(protocol::kStatusInvalidParameter);
}

// The view starts at the physical address rounded down to the allocation granularity; the
// caller gets the address of the requested byte itself inside that view.
IoResult RequestHandler::MapPhysicalMemory(const IoRequest& request, PortWidth) {
  uint8_t* record = request.systemBuffer;
  const uint64_t physical =
      LoadU32(record + offsetof(protocol::MapMemoryRequest, physicalLow)) |
      (static_cast<uint64_t>(LoadU32(record + offsetof(protocol::MapMemoryRequest, physicalHigh)))
       << 32);
  const uint32_t length = LoadU32(record + offsetof(protocol::MapMemoryRequest, length));
  // A view size of 0 would ask for the whole rest of physical memory.
  if (length == 0) return Failure(protocol::kStatusInvalidParameter);

  MappedView view;
  if (!NtSuccess(kernel_.MapPhysicalIntoProcess(physical, length, &view))) {
    return Failure(protocol::kStatusInvalidParameter);
  }
  const uint64_t address = view.base + (physical - view.roundedOffset);
  // The answer field has 32 bits; a view it cannot name is of no use to the caller.
  if (view.roundedOffset > physical || address > 0xFFFFFFFFu) {
    kernel_.UnmapFromProcess(view.base);
    return Failure(protocol::kStatusInvalidParameter);
  }
  StoreU32(record + offsetof(protocol::MapMemoryRequest, processAddress),
           static_cast<uint32_t>(address));
  return Success(kMapRecord);
}

IoResult RequestHandler::UnmapPhysicalMemory(const IoRequest& request, PortWidth) {
  const uint32_t status = kernel_.UnmapFromProcess(LoadU32(request.systemBuffer));
  return IoResult{status, 0};
}

// Configuration mechanism #1: the address dword to 0xCF8, then the data port with the width.
void RequestHandler::SelectPciRegister(const uint8_t* record) {
  const uint32_t address =
      protocol::PciConfigAddress(record[offsetof(protocol::PciConfigRequest, bus)],
                                 record[offsetof(protocol::PciConfigRequest, device)],
                                 record[offsetof(protocol::PciConfigRequest, function)],
                                 LoadU16(record + offsetof(protocol::PciConfigRequest, offset)));
  kernel_.PortOut(protocol::kPciConfigAddressPort, PortWidth::kDword, address);
}

IoResult RequestHandler::PciConfigRead(const IoRequest& request, PortWidth width) {
  uint8_t* record = request.systemBuffer;
  SelectPciRegister(record);
  const uint16_t registerOffset = LoadU16(record + offsetof(protocol::PciConfigRequest, offset));
  const uint32_t value = kernel_.PortIn(protocol::PciConfigDataPort(registerOffset), width);
  StoreLow(record + offsetof(protocol::PciConfigRequest, value), value,
           static_cast<uint32_t>(width));
  return Success(kPciRecord);
}

}  // namespace velmora::driver
