// The fixture of the driver's request tests: the portable request handler on the simulated
// kernel, over a minimal board with room for more devices (PM timer, ATA channels, AHCI).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
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
    request.fileObject = fileObject != nullptr ? fileObject : &defaultFile;
    request.fileContext = &fileContexts[request.fileObject];
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
    request.fileContext = &fileContexts[fileObject];
    return handler.Dispatch(request);
  }

  // Configuration space of function 0:31.f (mechanism #1 address), and an AHCI controller there:
  // function 2 of the multi-function device 0:31 (class 01h/06h/01h), its ABAR in BAR5.
  void Config(std::uint32_t function, std::uint32_t reg, std::uint32_t value) {
    board.config[0x80000000u | (31u << 11) | (function << 8) | reg] = value;
  }
  void AddAhciFunction(std::uint32_t abar) {
    Config(0, 0x00, 0x1C5C8086);
    Config(0, 0x0C, 0x00800000);
    Config(2, 0x00, 0x1C028086);
    Config(2, 0x08, 0x01060105);
    Config(2, 0x24, abar);
  }

  // The file object requests go through unless a test names one, and each one's FsContext2.
  const int defaultFile = 0;
  std::map<const void*, void*> fileContexts;

  kerneltest::FakeBoard board;
  sim::SimDeviceBus bus{board};
  sim::SimAddressSpace process{bus};
  sim::SimKernel kernel{bus, process};
  driver::RequestHandler handler{kernel};
};

}  // namespace velmora::drivertest
