// The driver's request handler on the simulated kernel, as DriverRequestRig.h describes: any
// sequence of creates, device-control requests (the served codes, the retired ones, their
// neighbours with any declared access, any 32-bit code), cleanups, closes and requests of other
// major functions, on up to four file objects, with any input and output lengths and contents,
// on a board the input chooses. At the end of the input every open file object is cleaned up
// and closed.
//
// Input: byte 0 the board (bits 0-1: the default board, its memory map reserved in pages, no
// legacy copies, no legacy copies and no firmware table provider), then operations until the
// input ends (missing bytes read as 0):
//   op byte    bits 0-1 the file object; bits 2-4: 0-3 device control, 4 create, 5 cleanup,
//              6 close, 7 a request of another major function
//   device control, after the op byte:
//     selector function 0xA00 + bits 0-5, the access it declares bits 6-7 (FILE_DEVICE_UNKNOWN,
//              METHOD_BUFFERED)
//     flags    bit 0: the code is the next 4 bytes instead (any code); bit 1: the input's bytes
//              0-7 (the address of a read or of the control byte) aim at the firmware: the next
//              byte picks the board's control byte (0) or one of its firmware ranges (1 on, in
//              FirmwareOracle's order), the next 2 bytes are a signed offset from its start; bit 2
//              (with bit 1): bytes 8-11 (the length of a read) become that range's length plus the
//              next signed byte
//     lengths  input and output, 16 bits each: below 0x8000 taken modulo 0x241 (the records and
//              a little more), below 0xC000 the low 14 bits (up to 16 KiB), else 0xFF00 plus the
//              low 9 bits (around the 64 KiB a read copies at most)
//     input    as many bytes as the input length
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "hw/DriverProtocol.h"
#include "sim/kernel/SimAddressSpace.h"
#include "tests/fuzz/DriverRequestRig.h"
#include "tests/fuzz/FuzzReport.h"

namespace {

namespace dp = velmora::driver_protocol;
using velmora::driver::IoRequest;
using velmora::fuzz::DriverRequestRig;

constexpr std::size_t kMaxOperations = 256;
constexpr std::uint32_t kRecordLengths = 0x241;

class Stream {
 public:
  Stream(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ >= size_; }
  std::uint8_t U8() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint16_t U16() { return static_cast<std::uint16_t>(U8() | (U8() << 8)); }
  std::uint32_t U32() { return U16() | (static_cast<std::uint32_t>(U16()) << 16); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

std::uint32_t Length(std::uint16_t value) {
  if (value < 0x8000) return value % kRecordLengths;
  if (value < 0xC000) return value & 0x3FFF;
  return 0xFF00 + (value & 0x1FF);
}

// Where an aimed request points: a firmware range of the board, or its control byte.
struct Aim {
  std::uint64_t address = 0;
  std::uint64_t length = 0;
};

Aim Target(const DriverRequestRig& rig, std::uint8_t pick) {
  const auto& ranges = rig.Firmware();
  const std::size_t index = pick % (ranges.size() + 1);
  if (index == 0) return {rig.ControlByte(), 1};
  return {ranges[index - 1].first, ranges[index - 1].last - ranges[index - 1].first + 1};
}

void Store(std::vector<std::uint8_t>& input, std::size_t at, const void* value, std::size_t size) {
  if (input.size() >= at + size) std::memcpy(input.data() + at, value, size);
}

void DeviceControl(DriverRequestRig& rig, Stream& in, int file) {
  const std::uint8_t selector = in.U8();
  const std::uint8_t flags = in.U8();
  std::uint32_t code = dp::ControlCode(0xA00 + (selector & 0x3F), selector >> 6);
  if ((flags & 1) != 0) code = in.U32();
  Aim aim;
  std::int16_t offset = 0;
  std::int8_t lengthDelta = 0;
  if ((flags & 2) != 0) {
    aim = Target(rig, in.U8());
    offset = static_cast<std::int16_t>(in.U16());
    if ((flags & 4) != 0) lengthDelta = static_cast<std::int8_t>(in.U8());
  }
  const std::uint32_t inputLength = Length(in.U16());
  const std::uint32_t outputLength = Length(in.U16());
  std::vector<std::uint8_t> input(inputLength);
  for (std::uint8_t& byte : input) byte = in.U8();
  if ((flags & 2) != 0) {
    const std::uint64_t address = aim.address + static_cast<std::uint64_t>(std::int64_t{offset});
    Store(input, 0, &address, 8);
    const auto length = static_cast<std::uint32_t>(
        aim.length + static_cast<std::uint64_t>(std::int64_t{lengthDelta}));
    if ((flags & 4) != 0) Store(input, 8, &length, 4);
  }
  rig.DeviceControl(file, code, input, outputLength);
}

void Operation(DriverRequestRig& rig, Stream& in) {
  static constexpr IoRequest::Kind kKinds[] = {IoRequest::Kind::kCreate, IoRequest::Kind::kCleanup,
                                               IoRequest::Kind::kClose, IoRequest::Kind::kOther};
  const std::uint8_t op = in.U8();
  const int file = op & 3;
  const int kind = (op >> 2) & 7;
  if (kind < 4) {
    DeviceControl(rig, in, file);
  } else {
    rig.Lifecycle(file, kKinds[kind - 4]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Stream in(data, size);
  DriverRequestRig rig(in.U8() % velmora::fuzz::kBoardLayouts);
  try {
    for (std::size_t n = 0; n < kMaxOperations && !in.Done(); ++n) Operation(rig, in);
    rig.Finish();
  } catch (const velmora::sim::SimAccessViolation& violation) {
    velmora::fuzz::Fault("driver request fuzz", violation.what());
  }
  return 0;
}
