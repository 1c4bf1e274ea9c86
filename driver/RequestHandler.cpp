#include "driver/RequestHandler.h"

#include "driver/RequestSupport.h"

namespace velmora::driver {

namespace {

constexpr uint32_t kMapRecord = sizeof(protocol::MapMemoryRequest);
constexpr uint32_t kUnmapRecord = 4;
constexpr uint32_t kPciRecord = sizeof(protocol::PciConfigRequest);
constexpr uint32_t kPortRecord = sizeof(protocol::PortIoRequest);
constexpr uint32_t kMsrRecord = sizeof(protocol::MsrRequest);
constexpr uint32_t kIntervalRecord = sizeof(protocol::IntervalRequest);
constexpr uint32_t kBadInput = protocol::kStatusInvalidParameter;

constexpr uint32_t kByte = 1;
constexpr uint32_t kWord = 2;
constexpr uint32_t kDword = 4;

}  // namespace

// Input lengths cover the fields the request reads, output lengths the bytes it answers; a
// request with a shorter buffer is refused before anything is read or written (the system
// buffer is only max(input, output) bytes long).
const RequestHandler::Service RequestHandler::kServices[] = {
    {0xA00, kMapRecord, kMapRecord, kBadInput, &RequestHandler::MapPhysicalMemory, 0},
    {0xA01, kUnmapRecord, 0, protocol::kStatusInsufficientResources,
     &RequestHandler::UnmapPhysicalMemory, 0},
    {0xA02, 2, kPortRecord, kBadInput, &RequestHandler::PortRead, kByte},
    {0xA03, 5, 0, kBadInput, &RequestHandler::PortWrite, kByte},
    {0xA04, 2, kPortRecord, kBadInput, &RequestHandler::PortRead, kWord},
    {0xA05, 6, 0, kBadInput, &RequestHandler::PortWrite, kWord},
    {0xA06, 2, kPortRecord, kBadInput, &RequestHandler::PortRead, kDword},
    {0xA07, 8, 0, kBadInput, &RequestHandler::PortWrite, kDword},
    {0xA0A, kPciRecord, kPciRecord, kBadInput, &RequestHandler::PciConfigRead, kByte},
    {0xA0B, 9, 0, kBadInput, &RequestHandler::PciConfigWrite, kByte},
    {0xA0C, kPciRecord, kPciRecord, kBadInput, &RequestHandler::PciConfigRead, kWord},
    {0xA0D, 10, 0, kBadInput, &RequestHandler::PciConfigWrite, kWord},
    {0xA0E, kPciRecord, kPciRecord, kBadInput, &RequestHandler::PciConfigRead, kDword},
    {0xA0F, kPciRecord, 0, kBadInput, &RequestHandler::PciConfigWrite, kDword},
    {0xA10, 12, kMsrRecord, kBadInput, &RequestHandler::ReadMsr, 0},
    {0xA11, kMsrRecord, 0, kBadInput, &RequestHandler::WriteMsr, 0},
    {0xA14, protocol::kAtaIdentifyInput, sizeof(protocol::AtaIdentifyRequest), kBadInput,
     &RequestHandler::AtaIdentifyLegacy, 0},
    {0xA15, protocol::kIntervalRequestInput, kIntervalRecord, kBadInput,
     &RequestHandler::MeasureMsr, 0},
    {0xA16, protocol::kAhciIdentifyInput, sizeof(protocol::AhciIdentifyRequest), kBadInput,
     &RequestHandler::AtaIdentifyAhci, 0},
    {0xA17, 0, sizeof(protocol::TscRequest), kBadInput, &RequestHandler::ReadTsc, 0},
    {0xA18, 4, sizeof(protocol::PmcRequest), kBadInput, &RequestHandler::ReadPmc, 0},
    {0xA19, 4, sizeof(protocol::ControlRegisterRequest), kBadInput,
     &RequestHandler::ReadControlRegister, 0},
    {0xA1A, 0, 0, kBadInput, &RequestHandler::RefuseControlRegisterWrite, 0},  // always refused
    {0xA1B, protocol::kPciPairRecord, protocol::kPciPairRecord, kBadInput,
     &RequestHandler::PciConfigPair, 0},
    {0xA1C, protocol::kIntervalRequestInput, kIntervalRecord, kBadInput,
     &RequestHandler::MeasureCoreCycles, kIntelCounters},
    {0xA1D, protocol::kIntervalRequestInput, kIntervalRecord, kBadInput,
     &RequestHandler::MeasureCoreCycles, kAmdCounters},
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
    case IoRequest::Kind::kCleanup:
      return Cleanup(request);
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
      return Failure(protocol::kStatusBufferTooSmall);
    }
    ClearPastInput(request, service.minimumOutput);
    IoResult result = (this->*service.serve)(request, service.variant);
    if (result.information > service.minimumOutput) result.information = service.minimumOutput;
    return result;
  }
  return Failure(protocol::kStatusInvalidParameter);
}

// With METHOD_BUFFERED the I/O manager allocates one system buffer of max(input, output) bytes
// from pool, copies only the caller's input into it and, at completion, copies the answered
// byte count back to the caller's output buffer. The bytes past the input are whatever the pool
// held before: another process's data, kernel addresses. A request whose input is shorter than
// the record it answers (a port read sends 2 bytes and gets 8 back) would hand them out in the
// fields it does not write (reserved words, the high bytes above a narrow value, padding), so
// the record is cleared from the end of the input to the end of the answer before the request
// is served, and no request answers more than its record. The caller then gets back its own
// bytes and what the driver wrote, nothing else.
void RequestHandler::ClearPastInput(const IoRequest& request, uint32_t answered) {
  for (uint32_t at = request.inputLength; at < answered; ++at) request.systemBuffer[at] = 0;
}

// The last handle of a file object is going away, in its process: the views it left mapped
// (a client that crashed between map and unmap) are unmapped here, where that process's
// address space is still the current one.
IoResult RequestHandler::Cleanup(const IoRequest& request) {
  KernelAddress base = 0;
  while (views_.TakeAny(request.fileObject, &base)) kernel_.UnmapFromProcess(base);
  return Success(0);
}

// The view starts at the physical address rounded down to the allocation granularity; the
// caller gets the address of the requested byte itself inside that view.
IoResult RequestHandler::MapPhysicalMemory(const IoRequest& request, uint32_t) {
  uint8_t* record = request.systemBuffer;
  const uint64_t physical =
      Field32(record, offsetof(protocol::MapMemoryRequest, physicalLow)) |
      (static_cast<uint64_t>(Field32(record, offsetof(protocol::MapMemoryRequest, physicalHigh)))
       << 32);
  const uint32_t length = Field32(record, offsetof(protocol::MapMemoryRequest, length));
  // A view size of 0 would ask for the whole rest of physical memory; a range that wraps
  // names no memory; anything longer than the cap is more than any client reads at once.
  if (length == 0 || length > protocol::kMaxMapLength) return Failure(kBadInput);
  if (physical + length - 1 < physical) return Failure(kBadInput);

  MappedView view;
  if (!NtSuccess(kernel_.MapPhysicalIntoProcess(physical, length, &view))) {
    return Failure(kBadInput);
  }
  const uint64_t address = view.base + (physical - view.roundedOffset);
  // The answer field has 32 bits; a view it cannot name is of no use to the caller. A view
  // that cannot be recorded could never be unmapped by its handle.
  if (view.roundedOffset > physical || address > 0xFFFFFFFFu) {
    kernel_.UnmapFromProcess(view.base);
    return Failure(kBadInput);
  }
  if (!views_.Add(request.fileObject, view.base, address + length)) {
    kernel_.UnmapFromProcess(view.base);
    return Failure(protocol::kStatusInsufficientResources);
  }
  StoreU32(record + offsetof(protocol::MapMemoryRequest, processAddress),
           static_cast<uint32_t>(address));
  return Success(kMapRecord);
}

// Only a view this handle mapped can be unmapped through it.
IoResult RequestHandler::UnmapPhysicalMemory(const IoRequest& request, uint32_t) {
  KernelAddress base = 0;
  if (!views_.TakeContaining(request.fileObject, LoadU32(request.systemBuffer), &base)) {
    return Failure(protocol::kStatusNotMappedView);
  }
  return IoResult{kernel_.UnmapFromProcess(base), 0};
}

}  // namespace velmora::driver
