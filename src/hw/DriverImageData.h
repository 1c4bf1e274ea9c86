// The first base of the driver client: which embedded driver image fits the running Windows.
#pragma once

#include <cstdint>

#include "config/OsVersion.h"

namespace velmora {

class TDriverImageData {
 public:
  explicit TDriverImageData(TOsType osType);

  const std::uint8_t* ImageData = nullptr;
  std::uint32_t ImageSize = 0;
};

}  // namespace velmora
