// The fixture of the driver's request tests: the portable request handler on the simulated
// kernel, over a minimal board with room for more devices (PM timer, ATA channels, AHCI).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "KernelTestSupport.h"
#include "driver/RequestHandler.h"
#include "hw/DriverProtocol.h"
#include "sim/kernel/SimAddressSpace.h"
#include "sim/kernel/SimDeviceBus.h"
#include "sim/kernel/SimKernel.h"

namespace velmora::drivertest {

namespace dp = driver_protocol;
using driver::IoRequest;
using driver::IoResult;

inline std::uint32_t U32(const std::uint8_t* at) {
  std::uint32_t value;
  std::memcpy(&value, at, 4);
  return value;
}
inline std::uint16_t U16(const std::uint8_t* at) {
  std::uint16_t value;
  std::memcpy(&value, at, 2);
  return value;
}
inline void Put32(std::uint8_t* at, std::uint32_t value) {
  std::memcpy(at, &value, 4);
}
inline void Put16(std::uint8_t* at, std::uint16_t value) {
  std::memcpy(at, &value, 2);
}

// A request record filled with a marker byte, so that every byte the driver writes shows.
inline std::vector<std::uint8_t> Record(std::size_t size, std::uint8_t marker = 0xAA) {
  return std::vector<std::uint8_t>(size, marker);
}

class DriverTest : public ::testing::Test {
 protected:
  IoResult Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t in, std::uint32_t out,
                   const void* fileObject = nullptr) {
    IoRequest request;
    request.kind = IoRequest::Kind::kDeviceControl;
    request.fileObject = fileObject;
    request.controlCode = code;
    request.systemBuffer = buffer;
    request.inputLength = in;
    request.outputLength = out;
    return handler.Dispatch(request);
  }
  IoResult Control(std::uint32_t code, std::vector<std::uint8_t>& buffer, std::uint32_t in,
                   std::uint32_t out) {
    EXPECT_GE(buffer.size(), std::max(in, out));
    return Control(code, buffer.data(), in, out);
  }
  IoResult Send(IoRequest::Kind kind, const void* fileObject) {
    IoRequest request;
    request.kind = kind;
    request.fileObject = fileObject;
    return handler.Dispatch(request);
  }

  kerneltest::FakeBoard board;
  sim::SimDeviceBus bus{board};
  sim::SimAddressSpace process{bus};
  sim::SimKernel kernel{bus, process};
  driver::RequestHandler handler{kernel};
};

}  // namespace velmora::drivertest
