// The system's millisecond tick count (GetTickCount): milliseconds since Windows started, in 32
// bits, so it wraps to 0 after about 49.7 days. Intervals are measured as unsigned differences.
#pragma once

#include <cstdint>

namespace velmora {

class ITickCount {
 public:
  virtual ~ITickCount() = default;
  // May be called from any thread.
  virtual std::uint32_t GetTickCount() = 0;
};

}  // namespace velmora
