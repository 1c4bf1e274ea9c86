// The driver's dispatch routine, apart from the NT glue: create, cleanup and close, and
// device-control requests looked up in one table of served requests. Every request holds the
// driver's lock from its start to its completion.
//
// What is served: reads of PCI configuration space (through the HAL), copies of the physical
// memory the firmware describes (found by the driver itself at each create: FirmwareDiscovery),
// the list of those ranges, and a read-modify-write of a QVZX control byte. Nothing else: every
// other code, the driver's retired requests among them, gets STATUS_INVALID_DEVICE_REQUEST.
//
// Every served request checks its input and output lengths against its record before the
// buffer is touched; a failed request never returns data, and a served one returns only the
// caller's own input and the bytes the driver wrote (never what the system buffer held before).
#pragma once

#include <stdint.h>

#include "driver/FirmwareDiscovery.h"
#include "driver/FirmwareRanges.h"
#include "driver/KernelServices.h"
#include "driver/PhysicalMemory.h"

namespace velmora::driver {

class RequestHandler {
 public:
  explicit RequestHandler(KernelServices& kernel)
      : kernel_(kernel), memory_(kernel), discovery_(kernel, memory_) {}
  RequestHandler(const RequestHandler&) = delete;
  RequestHandler& operator=(const RequestHandler&) = delete;

  // Serves the request, completes it through the kernel (still under the lock) and returns
  // what it completed with.
  IoResult Dispatch(const IoRequest& request);

  // What the last create found (for the tests).
  const FirmwareRanges& Firmware() const { return firmware_; }

 private:
  using Serve = IoResult (RequestHandler::*)(const IoRequest& request, uint32_t variant);

  // One served device-control request: its code, the input and output lengths its record
  // needs, how it is served and the server's variant (an access width).
  struct Service {
    uint32_t code;
    uint32_t minimumInput;
    uint32_t minimumOutput;
    Serve serve;
    uint32_t variant;
  };
  static const Service kServices[];

  IoResult ServeUnlocked(const IoRequest& request);
  IoResult Create(const IoRequest& request);
  IoResult Cleanup(const IoRequest& request);
  IoResult DeviceControl(const IoRequest& request);
  static bool CleanedUp(const IoRequest& request);
  // Zeroes the system buffer from the end of the input up to `answered` bytes.
  static void ClearPastInput(const IoRequest& request, uint32_t answered);

  IoResult PciConfigRead(const IoRequest& request, uint32_t width);
  IoResult ReadPhysical(const IoRequest& request, uint32_t unused);
  IoResult ReadableRanges(const IoRequest& request, uint32_t unused);
  IoResult UpdateControlByte(const IoRequest& request, uint32_t unused);

  KernelServices& kernel_;
  PhysicalMemory memory_;
  FirmwareRanges firmware_;
  FirmwareDiscovery discovery_;
};

}  // namespace velmora::driver
