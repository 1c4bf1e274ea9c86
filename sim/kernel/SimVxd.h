// The Windows 9x virtual device driver as the simulator runs it: the map request reserves one
// system page, commits it to the physical page that holds the requested address and answers
// the linear address of that byte; the unmap request frees the page again; the processor
// identification request runs CPUID on the simulated board. Every other code does nothing and
// reports success with no data, as the real VxD does.
#pragma once

#include <cstdint>

#include "driver/KernelServices.h"
#include "sim/board/SimMachine.h"
#include "sim/kernel/SimAddressSpace.h"

namespace velmora::sim {

class SimVxd {
 public:
  SimVxd(SimMachine& machine, SimAddressSpace& space) : machine_(machine), space_(space) {}

  driver::IoResult Dispatch(const driver::IoRequest& request);

 private:
  driver::IoResult Map(std::uint8_t* record);
  driver::IoResult Unmap(const std::uint8_t* record);
  driver::IoResult CpuId(std::uint8_t* record);

  SimMachine& machine_;
  SimAddressSpace& space_;
};

}  // namespace velmora::sim
