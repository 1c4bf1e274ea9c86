// Views of physical memory that the driver mapped into this process. Before every access the
// pages are asked for (VirtualQuery): a range that is not committed with the needed access is
// never touched, so a stale or wrong address reads as absent memory (all ones) and a write to it
// is dropped, instead of ending the process with an access violation. Accesses of 1, 2 and 4
// bytes are single accesses of that width, as device memory wants them.
#pragma once

#include "ports/ProcessMemoryPort.h"

namespace velmora::win32 {

class Win32ProcessMemory : public IProcessMemory {
 public:
  void Read(ProcessAddress address, void* destination, std::uint32_t size) override;
  void Write(ProcessAddress address, const void* source, std::uint32_t size) override;
};

}  // namespace velmora::win32
