#pragma once

#include "ports/ResourcePort.h"

namespace velmora::win32 {

// The resources of the executable that started the process.
class Win32Resources : public IResources {
 public:
  std::optional<std::vector<std::uint8_t>> LoadResourceBytes(std::uint16_t type, std::uint16_t id,
                                                             std::uint16_t language) override;
};

}  // namespace velmora::win32
