// One simulated Windows on one simulated board, as the driver installer and the driver client
// meet it: a file system, the service control manager, the device directory, the kernel under
// the driver, the process's address space and message boxes; the system's firmware table
// provider hands out the machine's tables. A 9x release (platform id 1) loads .vxd files
// dynamically instead of running services.
#pragma once

#include "hw/LoadDriver.h"
#include "sim/SimFileSystem.h"
#include "sim/SimSystemInfo.h"
#include "sim/board/SimMachine.h"
#include "sim/kernel/SimAddressSpace.h"
#include "sim/kernel/SimDevices.h"
#include "sim/kernel/SimKernel.h"
#include "sim/kernel/SimMessageBoxes.h"
#include "sim/kernel/SimProcessMemory.h"
#include "sim/kernel/SimServiceManager.h"
#include "sim/kernel/SimVxd.h"
#include "sim/kernel/SimWindowsIo.h"

namespace velmora::sim {

class SimDriverWorld {
 public:
  SimDriverWorld(SimMachine& machine, SimWindowsRelease release);
  SimDriverWorld(const SimDriverWorld&) = delete;
  SimDriverWorld& operator=(const SimDriverWorld&) = delete;

  // The ports the installer and the driver client are built on.
  DriverHost Host() { return DriverHost{io, services, system, messages}; }

  SimFileSystem files;
  SimSystemInfo system;
  SimAddressSpace process;
  SimKernel kernel;
  SimDeviceDirectory devices;
  SimServiceManager services;
  SimWindowsIo io;
  SimMessageBoxes messages;
  SimProcessMemory memory;
  SimVxd vxd;
};

}  // namespace velmora::sim
