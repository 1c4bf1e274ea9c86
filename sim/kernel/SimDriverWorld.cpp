#include "sim/kernel/SimDriverWorld.h"

namespace velmora::sim {

SimDriverWorld::SimDriverWorld(SimMachine& machine, SimWindowsRelease release)
    : system(std::move(release)),
      process(machine),
      kernel(machine),
      services(files, devices, kernel),
      io(files, devices),
      memory(process),
      vxd(machine, process) {
  system.AttachFirmware(&machine);
  if (system.Release().platformId == win::kVerPlatformWin32Windows) {
    io.EnableDynamicVxdLoading(
        [this](const driver::IoRequest& request) { return vxd.Dispatch(request); });
  }
}

}  // namespace velmora::sim
