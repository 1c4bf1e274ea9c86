// Little-endian fields of a request record in the system buffer, read and written byte by
// byte: the buffer has no particular alignment and the driver has no runtime library.
#pragma once

#include <stdint.h>

namespace velmora::driver {

inline uint16_t LoadU16(const uint8_t* at) {
  return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

inline uint32_t LoadU32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
         (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

inline void StoreU32(uint8_t* at, uint32_t value) {
  for (uint32_t i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace velmora::driver
