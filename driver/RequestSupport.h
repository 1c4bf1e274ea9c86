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

constexpr IoResult Failure(uint32_t status) {
  return IoResult{status, 0};
}
constexpr IoResult Success(uint32_t information) {
  return IoResult{protocol::kStatusSuccess, information};
}

}  // namespace velmora::driver
