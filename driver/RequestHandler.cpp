#include "driver/RequestHandler.h"

#include "driver/RequestSupport.h"

namespace velmora::driver {

namespace {

constexpr uint32_t kPciRecord = sizeof(protocol::PciConfigRequest);

// Both records that name physical memory begin with its address, low half first.
static_assert(offsetof(protocol::ReadPhysicalRequest, physicalLow) == 0 &&
              offsetof(protocol::ReadPhysicalRequest, physicalHigh) == 4);
static_assert(offsetof(protocol::ControlByteRequest, physicalLow) == 0 &&
              offsetof(protocol::ControlByteRequest, physicalHigh) == 4);
uint64_t LoadPhysicalAddress(const uint8_t* record) {
  return LoadU32(record) | (static_cast<uint64_t>(LoadU32(record + 4)) << 32);
}
constexpr uint32_t kReadRecord = sizeof(protocol::ReadPhysicalRequest);
constexpr uint32_t kControlRecord = sizeof(protocol::ControlByteRequest);
constexpr uint32_t kRangesHeader = sizeof(protocol::ReadableRangesHeader);

// What a cleaned-up file object's context holds: the handle is gone, the file object may still
// get requests from whoever references it, and none of them is served.
void* const kCleanedUpFile = reinterpret_cast<void*>(static_cast<uintptr_t>(1));

}  // namespace

// Input lengths cover the fields the request reads, output lengths the bytes it answers at
// least; a request with a shorter buffer is refused before anything is read or written (the
// system buffer is only max(input, output) bytes long).
const RequestHandler::Service RequestHandler::kServices[] = {
    {protocol::IOCTL_PCI_CONFIG_READ_BYTE, kPciRecord, kPciRecord, &RequestHandler::PciConfigRead,
     1},
    {protocol::IOCTL_PCI_CONFIG_READ_WORD, kPciRecord, kPciRecord, &RequestHandler::PciConfigRead,
     2},
    {protocol::IOCTL_PCI_CONFIG_READ_DWORD, kPciRecord, kPciRecord,
     &RequestHandler::PciConfigRead, 4},
    {protocol::IOCTL_READ_PHYSICAL_MEMORY, kReadRecord, 0, &RequestHandler::ReadPhysical, 0},
    {protocol::IOCTL_READABLE_RANGES, 0, kRangesHeader, &RequestHandler::ReadableRanges, 0},
    {protocol::IOCTL_UPDATE_CONTROL_BYTE, kControlRecord, kControlRecord,
     &RequestHandler::UpdateControlByte, 0},
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
      return Create(request);
    case IoRequest::Kind::kClose:
      return Success(0);
    case IoRequest::Kind::kCleanup:
      return Cleanup(request);
    case IoRequest::Kind::kDeviceControl:
      return DeviceControl(request);
    case IoRequest::Kind::kOther:
      break;
  }
  return Failure(protocol::kStatusInvalidDeviceRequest);
}

// The device admits one handle at a time; each one gets the firmware as it is when it opens.
IoResult RequestHandler::Create(const IoRequest& request) {
  if (request.fileContext != nullptr) *request.fileContext = nullptr;
  discovery_.Discover(firmware_);
  return Success(0);
}

// The last handle of a file object is going away; whoever still references the file object
// gets no more answers through it.
IoResult RequestHandler::Cleanup(const IoRequest& request) {
  if (request.fileContext != nullptr) *request.fileContext = kCleanedUpFile;
  return Success(0);
}

bool RequestHandler::CleanedUp(const IoRequest& request) {
  return request.fileContext != nullptr && *request.fileContext == kCleanedUpFile;
}

IoResult RequestHandler::DeviceControl(const IoRequest& request) {
  if (CleanedUp(request)) return Failure(protocol::kStatusFileClosed);
  for (const Service& service : kServices) {
    if (service.code != request.controlCode) continue;
    if (request.inputLength < service.minimumInput) {
      return Failure(protocol::kStatusInvalidParameter);
    }
    if (request.outputLength < service.minimumOutput) {
      return Failure(protocol::kStatusBufferTooSmall);
    }
    ClearPastInput(request, service.minimumOutput);
    return (this->*service.serve)(request, service.variant);
  }
  return Failure(protocol::kStatusInvalidDeviceRequest);
}

// With METHOD_BUFFERED the I/O manager allocates one system buffer of max(input, output) bytes
// from pool, copies only the caller's input into it and, at completion, copies the answered
// byte count back to the caller's output buffer. The bytes past the input are whatever the pool
// held before: another process's data, kernel addresses. A record the driver answers only in
// part would hand them out in the fields it does not write, so the record is cleared from the
// end of the input to the end of the answer before the request is served.
void RequestHandler::ClearPastInput(const IoRequest& request, uint32_t answered) {
  for (uint32_t at = request.inputLength; at < answered; ++at) request.systemBuffer[at] = 0;
}

// Through HalGetBusDataByOffset, which takes the system's own lock on the configuration
// mechanism. Bytes the HAL does not read (no such bus, no function at the slot) answer all
// ones, as the hardware answers for a function that is not there.
IoResult RequestHandler::PciConfigRead(const IoRequest& request, uint32_t width) {
  uint8_t* record = request.systemBuffer;
  const uint32_t device = record[offsetof(protocol::PciConfigRequest, device)];
  const uint32_t function = record[offsetof(protocol::PciConfigRequest, function)];
  const uint32_t offset = LoadU16(record + offsetof(protocol::PciConfigRequest, offset));
  if (device > 31 || function > 7 || offset + width > protocol::kPciConfigSpaceEnd) {
    return Failure(protocol::kStatusInvalidParameter);
  }
  uint8_t value[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  kernel_.ReadPciConfig(record[offsetof(protocol::PciConfigRequest, bus)], device, function,
                        offset, value, width);
  uint8_t* answer = record + offsetof(protocol::PciConfigRequest, value);
  for (uint32_t i = 0; i < width; ++i) answer[i] = value[i];
  return Success(kPciRecord);
}

IoResult RequestHandler::ReadPhysical(const IoRequest& request, uint32_t) {
  uint8_t* record = request.systemBuffer;
  const uint64_t physical = LoadPhysicalAddress(record);
  const uint32_t length = LoadU32(record + offsetof(protocol::ReadPhysicalRequest, length));
  if (length == 0 || length > protocol::kMaxReadLength) {
    return Failure(protocol::kStatusInvalidParameter);
  }
  if (request.outputLength < length) return Failure(protocol::kStatusBufferTooSmall);
  const uint64_t last = physical + (length - 1);
  Caching caching;
  if (last < physical || !firmware_.Covers(physical, last, &caching)) {
    return Failure(protocol::kStatusAccessDenied);
  }
  const uint32_t status = memory_.Read(physical, record, length, caching);
  return NtSuccess(status) ? Success(length) : Failure(status);
}

IoResult RequestHandler::ReadableRanges(const IoRequest& request, uint32_t) {
  uint8_t* answer = request.systemBuffer;
  const uint32_t room =
      (request.outputLength - kRangesHeader) / sizeof(protocol::ReadableRange);
  const uint32_t count = firmware_.Merged(answer + kRangesHeader, room);
  StoreU32(answer, count);
  StoreU32(answer + 4, 0);
  const uint32_t written = count < room ? count : room;
  return Success(kRangesHeader + written * sizeof(protocol::ReadableRange));
}

// Only bits the program changes, only at a control byte the driver found itself.
IoResult RequestHandler::UpdateControlByte(const IoRequest& request, uint32_t) {
  uint8_t* record = request.systemBuffer;
  const uint64_t physical = LoadPhysicalAddress(record);
  const uint8_t setBits = record[offsetof(protocol::ControlByteRequest, setBits)];
  const uint8_t clearBits = record[offsetof(protocol::ControlByteRequest, clearBits)];
  if ((setBits & ~protocol::kControlBitsSettable) != 0 ||
      (clearBits & ~protocol::kControlBitsClearable) != 0 || (setBits & clearBits) != 0) {
    return Failure(protocol::kStatusInvalidParameter);
  }
  if (!firmware_.IsControlByte(physical)) return Failure(protocol::kStatusAccessDenied);
  uint8_t before = 0;
  uint8_t after = 0;
  const uint32_t status = memory_.UpdateByte(physical, setBits, clearBits, &before, &after);
  if (!NtSuccess(status)) return Failure(status);
  record[offsetof(protocol::ControlByteRequest, before)] = before;
  record[offsetof(protocol::ControlByteRequest, after)] = after;
  return Success(kControlRecord);
}

}  // namespace velmora::driver
