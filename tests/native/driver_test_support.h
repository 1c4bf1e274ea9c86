// The fixture of the driver's request tests: the portable request handler on the simulated
// kernel, over a simulated board (the maker's default board unless a test describes another),
// opened once as the program opens it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "driver/RequestHandler.h"
#include "hw/DriverProtocol.h"
#include "sim/board/SimBoard.h"
#include "sim/kernel/SimKernel.h"

namespace velmora::drivertest {

namespace dp = driver_protocol;
using driver::IoRequest;
using driver::IoResult;

class DriverRig {
 public:
  explicit DriverRig(const sim::BoardDescription& description = sim::DefaultBoardDescription())
      : board(description) {}

  IoResult Send(IoRequest::Kind kind) {
    IoRequest request;
    request.kind = kind;
    request.fileObject = &file;
    request.fileContext = &fileContext;
    return handler.Dispatch(request);
  }
  IoResult Open() { return Send(IoRequest::Kind::kCreate); }
  IoResult Control(std::uint32_t code, std::vector<std::uint8_t>& buffer, std::uint32_t in,
                   std::uint32_t out) {
    IoRequest request;
    request.kind = IoRequest::Kind::kDeviceControl;
    request.fileObject = &file;
    request.fileContext = &fileContext;
    request.controlCode = code;
    request.systemBuffer = buffer.data();
    request.inputLength = in;
    request.outputLength = out;
    EXPECT_GE(buffer.size(), std::max(in, out));
    return handler.Dispatch(request);
  }
  // A read of [address, address + length); the bytes in `bytes` when it was served.
  IoResult Read(std::uint64_t address, std::uint32_t length,
                std::vector<std::uint8_t>* bytes = nullptr) {
    std::vector<std::uint8_t> buffer(std::max<std::uint32_t>(length, 12), 0xAA);
    const dp::ReadPhysicalRequest record{static_cast<std::uint32_t>(address),
                                         static_cast<std::uint32_t>(address >> 32), length};
    std::memcpy(buffer.data(), &record, sizeof record);
    const IoResult result = Control(dp::IOCTL_READ_PHYSICAL_MEMORY, buffer, 12, length);
    if (bytes != nullptr) bytes->assign(buffer.begin(), buffer.begin() + result.information);
    return result;
  }
  IoResult UpdateControlByte(std::uint64_t address, std::uint8_t set, std::uint8_t clear,
                             dp::ControlByteRequest* answer = nullptr) {
    dp::ControlByteRequest record{static_cast<std::uint32_t>(address),
                                  static_cast<std::uint32_t>(address >> 32), set, clear, 0, 0};
    std::vector<std::uint8_t> buffer(sizeof record);
    std::memcpy(buffer.data(), &record, sizeof record);
    const IoResult result = Control(dp::IOCTL_UPDATE_CONTROL_BYTE, buffer, 12, 12);
    if (answer != nullptr) std::memcpy(answer, buffer.data(), sizeof record);
    return result;
  }

  sim::SimBoard board;
  sim::SimKernel kernel{board};
  driver::RequestHandler handler{kernel};
  int file = 0;
  void* fileContext = nullptr;
};

}  // namespace velmora::drivertest
