// The calling process's own memory at addresses the Windows 9x virtual device driver handed out:
// a page of physical memory mapped into the shared arena (the NT driver maps nothing into a
// process). On Windows this is a plain memory copy; the port exists so the simulated machine can
// back such views with simulated physical memory.
#pragma once

#include <cstdint>

namespace velmora {

using ProcessAddress = std::uint32_t;  // a pointer in the 32-bit process; 0 is null

class IProcessMemory {
 public:
  virtual ~IProcessMemory() = default;
  virtual void Read(ProcessAddress address, void* destination, std::uint32_t size) = 0;
  virtual void Write(ProcessAddress address, const void* source, std::uint32_t size) = 0;
};

}  // namespace velmora
