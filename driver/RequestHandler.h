// The driver's dispatch routine, apart from the NT glue: create and close complete at once,
// device-control requests are looked up in one table of served requests. Every request holds
// the driver's lock from its start to its completion, so a configuration-address write and its
// data-port access are never interleaved with another request's.
#pragma once

#include <stdint.h>

#include "driver/KernelServices.h"

namespace velmora::driver {

class RequestHandler {
 public:
  explicit RequestHandler(KernelServices& kernel) : kernel_(kernel) {}
  RequestHandler(const RequestHandler&) = delete;
  RequestHandler& operator=(const RequestHandler&) = delete;

  // Serves the request, completes it through the kernel (still under the lock) and returns
  // what it completed with. A failed request never returns data.
  IoResult Dispatch(const IoRequest& request);

 private:
  using Serve = IoResult (RequestHandler::*)(const IoRequest& request, PortWidth width);

  // One served device-control request: its function number, the shortest input and output
  // buffers its record needs, the status for a too-short input, and how it is served.
  struct Service {
    uint32_t function;
    uint32_t minimumInput;
    uint32_t minimumOutput;
    uint32_t shortInputStatus;
    Serve serve;
    PortWidth width;
  };
  static const Service kServices[];

  IoResult ServeUnlocked(const IoRequest& request);
  IoResult DeviceControl(const IoRequest& request);

  IoResult MapPhysicalMemory(const IoRequest& request, PortWidth unused);
  IoResult UnmapPhysicalMemory(const IoRequest& request, PortWidth unused);
  IoResult PciConfigRead(const IoRequest& request, PortWidth width);

  void SelectPciRegister(const uint8_t* record);

  KernelServices& kernel_;
};

}  // namespace velmora::driver
