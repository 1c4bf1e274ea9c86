// What the request handler's parts share: NT status helpers and record field access.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "driver/BufferAccess.h"
#include "driver/KernelServices.h"
#include "hw/DriverProtocol.h"

namespace velmora::driver {

namespace protocol = velmora::driver_protocol;

constexpr bool NtSuccess(uint32_t status) {
  return static_cast<int32_t>(status) >= 0;
}

// STATUS_ACCESS_DENIED: a request the driver knows and will not carry out.
inline constexpr uint32_t kStatusAccessDenied = protocol::kStatusAccessDenied;

constexpr IoResult Failure(uint32_t status) {
  return IoResult{status, 0};
}
constexpr IoResult Success(uint32_t information) {
  return IoResult{protocol::kStatusSuccess, information};
}

inline uint32_t Field32(const uint8_t* record, size_t offset) {
  return LoadU32(record + offset);
}

inline void StoreU64Split(uint8_t* low, uint8_t* high, uint64_t value) {
  StoreU32(low, static_cast<uint32_t>(value));
  StoreU32(high, static_cast<uint32_t>(value >> 32));
}

// Which core-clock counters an interval measurement programs.
inline constexpr uint32_t kIntelCounters = 1;
inline constexpr uint32_t kAmdCounters = 2;

}  // namespace velmora::driver
