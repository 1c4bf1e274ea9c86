// The driver's dispatch routine, apart from the NT glue: create, cleanup and close, and
// device-control requests looked up in one table of served requests. Every request holds the
// driver's lock from its start to its completion, so a configuration-address write and its
// data-port access are never interleaved with another request's.
//
// Every served request checks its input and output lengths against its record before the
// buffer is touched; a failed request never returns data, and a served one returns only the
// caller's own input and the bytes the driver wrote (never what the system buffer held before).
//
// Views of physical memory never reach RAM that Windows manages (above the first MiB), and are
// kept per open handle and process: an unmap must name a view of the same handle in the same
// process, the handle's cleanup unmaps whatever it left behind in the process that holds it,
// and a handle that has been cleaned up is served no more.
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

  // The most RAM ranges a map request is checked against; a memory manager listing more is
  // not understood, and maps above the first MiB are refused then.
  static constexpr uint32_t kRamRangeCapacity = 64;

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
  static bool CleanedUp(const IoRequest& request);

  // Physical memory.
  IoResult MapPhysicalMemory(const IoRequest& request, uint32_t unused);
  IoResult UnmapPhysicalMemory(const IoRequest& request, uint32_t unused);
  // Whether any byte of [first, last] above the first MiB is RAM the memory manager manages
  // (true also when its list of RAM cannot be had or understood).
  bool ReachesManagedRam(uint64_t first, uint64_t last);

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
  uint32_t ReadPciDword(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset);
  // Whether the address is BAR5 (ABAR) of a PCI function of class AHCI.
  bool IsAhciBar(uint32_t address);

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
  MemoryRange ram_[kRamRangeCapacity] = {};
};

}  // namespace velmora::driver
