// The driver's dispatch routine, apart from the NT glue: create, cleanup and close, and
// device-control requests looked up in one table of served requests. Every request holds the
// driver's lock from its start to its completion, so a configuration-address write and its
// data-port access are never interleaved with another request's.
//
// Every served request checks its input and output lengths against its record before the
// buffer is touched; a failed request never returns data, and a served one returns only the
// caller's own input and the bytes the driver wrote (never what the system buffer held before). Views of physical memory are kept
// per open handle: an unmap must name a view of the same handle, and the handle's cleanup
// unmaps whatever it left behind.
#pragma once

#include <stdint.h>

#include "driver/KernelServices.h"
#include "driver/MappedViews.h"

namespace velmora::driver {

class RequestHandler {
 public:
  explicit RequestHandler(KernelServices& kernel) : kernel_(kernel) {}
  RequestHandler(const RequestHandler&) = delete;
  RequestHandler& operator=(const RequestHandler&) = delete;

  // Serves the request, completes it through the kernel (still under the lock) and returns
  // what it completed with.
  IoResult Dispatch(const IoRequest& request);

  // Views still mapped for some handle (for the unload routine's checks and the tests).
  uint32_t LiveViews() const { return views_.Count(); }

 private:
  using Serve = IoResult (RequestHandler::*)(const IoRequest& request, uint32_t variant);

  // One served device-control request: its function number, the input and output lengths its
  // record needs, the status for a too-short input, how it is served and the server's variant
  // (an access width, an operation).
  struct Service {
    uint32_t function;
    uint32_t minimumInput;
    uint32_t minimumOutput;
    uint32_t shortInputStatus;
    Serve serve;
    uint32_t variant;
  };
  static const Service kServices[];

  IoResult ServeUnlocked(const IoRequest& request);
  IoResult DeviceControl(const IoRequest& request);
  // Zeroes the system buffer from the end of the input up to `answered` bytes.
  static void ClearPastInput(const IoRequest& request, uint32_t answered);
  IoResult Cleanup(const IoRequest& request);

  // Physical memory.
  IoResult MapPhysicalMemory(const IoRequest& request, uint32_t unused);
  IoResult UnmapPhysicalMemory(const IoRequest& request, uint32_t unused);

  // Ports and PCI configuration space.
  IoResult PortRead(const IoRequest& request, uint32_t width);
  IoResult PortWrite(const IoRequest& request, uint32_t width);
  IoResult PciConfigRead(const IoRequest& request, uint32_t width);
  IoResult PciConfigWrite(const IoRequest& request, uint32_t width);
  IoResult PciConfigPair(const IoRequest& request, uint32_t unused);
  // Writes the configuration address of a record's bus, device, function and register to 0xCF8
  // and answers the register; false (nothing written) when the register lies in the extended
  // space and this processor does not pass it through the legacy ports.
  bool SelectPciRegister(const uint8_t* record, uint16_t* offset);
  bool ExtendedConfigThroughPorts();

  // Processor registers.
  IoResult ReadMsr(const IoRequest& request, uint32_t unused);
  IoResult WriteMsr(const IoRequest& request, uint32_t unused);
  IoResult ReadTsc(const IoRequest& request, uint32_t unused);
  IoResult ReadPmc(const IoRequest& request, uint32_t unused);
  IoResult ReadControlRegister(const IoRequest& request, uint32_t unused);
  IoResult RefuseControlRegisterWrite(const IoRequest& request, uint32_t unused);

  // Interval measurements.
  IoResult MeasureMsr(const IoRequest& request, uint32_t unused);
  IoResult MeasureCoreCycles(const IoRequest& request, uint32_t vendor);
  uint32_t ReadTimer(const uint8_t* record);

  // Disk identification.
  IoResult AtaIdentifyLegacy(const IoRequest& request, uint32_t unused);
  IoResult AtaIdentifyAhci(const IoRequest& request, uint32_t unused);

  KernelServices& kernel_;
  MappedViews views_;
};

}  // namespace velmora::driver
