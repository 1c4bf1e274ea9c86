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

// Stores the low `bytes` bytes (1, 2 or 4) of the value; the bytes above stay as they were.
inline void StoreLow(uint8_t* at, uint32_t value, uint32_t bytes) {
  for (uint32_t i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Loads the low `bytes` bytes (1, 2 or 4) of a field; nothing past them is read.
inline uint32_t LoadLow(const uint8_t* at, uint32_t bytes) {
  uint32_t value = 0;
  for (uint32_t i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(at[i]) << (8 * i);
  return value;
}

inline void StoreU32(uint8_t* at, uint32_t value) {
  StoreLow(at, value, 4);
}

}  // namespace velmora::driver
