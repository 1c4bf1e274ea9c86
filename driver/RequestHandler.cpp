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
      if (request.fileContext != nullptr) *request.fileContext = nullptr;
      return Success(0);
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
  if (CleanedUp(request)) return Failure(protocol::kStatusFileClosed);
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

}  // namespace velmora::driver
