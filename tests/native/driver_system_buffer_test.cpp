// What a caller gets back through DeviceIoControl. With METHOD_BUFFERED the I/O manager copies
// only the caller's input into the system buffer; the rest of it is pool as the last owner left
// it. A request that answers more bytes than it was sent must write or clear every one of them,
// or another process's data and kernel addresses go to the caller.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <set>

#include "driver_test_support.h"
#include "ports/WinTypes.h"
#include "sim/SimFileSystem.h"
#include "sim/kernel/SimAhciController.h"
#include "sim/kernel/SimAtaDevice.h"
#include "sim/kernel/SimDevices.h"
#include "sim/kernel/SimPmTimer.h"
#include "sim/kernel/SimWindowsIo.h"

namespace velmora::drivertest {
namespace {

constexpr std::uint16_t kPrimary = 0x1F0;
constexpr std::uint16_t kTimerPort = 0x408;
constexpr std::uint32_t kAbar = 0xF7D00000;

// Identify words without the stale-pool byte in them, so that only stale pool can show it.
std::array<std::uint16_t, 256> IdentifyWords() {
  std::array<std::uint16_t, 256> words{};
  for (std::size_t i = 0; i < words.size(); ++i) {
    words[i] = static_cast<std::uint16_t>(0x2000 + (i & 0x7F));
  }
  return words;
}

class DriverSystemBufferTest : public DriverTest {
 protected:
  void SetUp() override {
    bus.AttachPorts(kTimerPort, 4, timer);
    bus.AttachPorts(kPrimary, 8, disk);
    disk.SetIdentify(IdentifyWords());
    bus.AttachMemory(kAbar, sim::kAhciAbarSize, ahci);
    AddAhciFunction(kAbar);
    ahci.AttachDevice(0, sim::SimAtaKind::kDisk);
    ahci.SetIdentify(0, IdentifyWords());
    kernel.Cpu().WriteMsr(0x309, 0x0000000112345678);  // IA32_FIXED_CTR0
    devices.Create(dp::kDriverName, true,
                   [this](const IoRequest& request) { return handler.Dispatch(request); });
    device = io.CreateFileA("\\\\.\\ZlkVmDrv", win::kGenericRead | win::kGenericWrite, 0,
                            win::kOpenExisting, 0);
    ASSERT_NE(device, kInvalidHandleValue);
  }

  sim::SimPmTimer timer{kernel.Clock(), false};
  sim::SimAtaDevice disk{kernel.Clock(), sim::SimAtaKind::kDisk, false};
  sim::SimAhciController ahci{bus};
  sim::SimFileSystem files;
  sim::SimDeviceDirectory devices;
  sim::SimWindowsIo io{files, devices};
  Handle device = kInvalidHandleValue;
};

// A device that answers its whole output buffer without writing a byte shows what the system
// buffer held: the caller's input, then stale pool.
TEST_F(DriverSystemBufferTest, SystemBufferPastTheInputIsStalePool) {
  devices.Create("Echo", false, [](const IoRequest& request) {
    return IoResult{dp::kStatusSuccess, request.outputLength};
  });
  const Handle echo = io.CreateFileA("\\\\.\\Echo", win::kGenericRead, 0, win::kOpenExisting, 0);
  const std::uint8_t in[2] = {0x12, 0x34};
  std::array<std::uint8_t, 8> out;
  out.fill(0x11);
  std::uint32_t returned = 0;
  ASSERT_TRUE(io.DeviceIoControl(echo, 0x00222808, in, 2, out.data(), 8, &returned));
  EXPECT_EQ(returned, 8u);
  EXPECT_EQ(out[0], 0x12);
  EXPECT_EQ(out[1], 0x34);
  for (std::size_t i = 2; i < 8; ++i) EXPECT_EQ(out[i], sim::kStalePoolByte) << i;
}

struct Sent {
  std::uint32_t function;
  std::vector<std::uint8_t> input;  // the shortest input the request takes
  std::uint32_t output;             // the caller's output buffer: the whole record
  std::uint32_t answered;           // bytes the request answers
};

std::vector<std::uint8_t> Bytes(std::initializer_list<std::uint8_t> bytes) {
  return bytes;
}
// The measurement input: the TSC, 1 us, the PM timer, a 24-bit timer.
std::vector<std::uint8_t> Measurement() {
  std::vector<std::uint8_t> record(20, 0);
  Put32(record.data(), 0x10);
  Put32(record.data() + 4, 1);
  Put16(record.data() + 16, kTimerPort);
  return record;
}
std::vector<std::uint8_t> PciPairOfReads() {
  std::vector<std::uint8_t> record(24, 0);
  record[3] = dp::kPciPairRead;
  record[15] = dp::kPciPairRead;
  return record;
}

// Every request code the driver serves, each sent its shortest input and a buffer for its whole
// record (the program and any other caller may do just that).
const std::vector<Sent>& EveryServedRequest() {
  static const std::vector<Sent> table = {
      {0xA00, Bytes({0x00, 0x00, 0x0F, 0x00, 0, 0, 0, 0, 0x00, 0x01, 0, 0, 0, 0, 0, 0}), 16, 16},
      {0xA01, Bytes({0x00, 0x00, 0x00, 0x30}), 4, 0},  // no such view: refused
      {0xA02, Bytes({0x80, 0x00}), 8, 8},
      {0xA03, Bytes({0x80, 0x00, 0, 0, 0x12}), 8, 0},
      {0xA04, Bytes({0x80, 0x00}), 8, 8},
      {0xA05, Bytes({0x80, 0x00, 0, 0, 0x12, 0x34}), 8, 0},
      {0xA06, Bytes({0x80, 0x00}), 8, 8},
      {0xA07, Bytes({0x80, 0x00, 0, 0, 0x12, 0x34, 0x56, 0x78}), 8, 0},
      {0xA0A, Bytes({0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0}), 12, 12},
      {0xA0B, Bytes({0, 0, 0, 0, 0x10, 0, 0, 0, 0x12}), 12, 0},
      {0xA0C, Bytes({0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0}), 12, 12},
      {0xA0D, Bytes({0, 0, 0, 0, 0x10, 0, 0, 0, 0x12, 0x34}), 12, 0},
      {0xA0E, Bytes({0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0}), 12, 12},
      {0xA0F, Bytes({0, 0, 0, 0, 0x10, 0, 0, 0, 0x12, 0x34, 0x56, 0x78}), 12, 0},
      {0xA10, Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0x09, 0x03, 0, 0}), 16, 16},
      {0xA11, Bytes({0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0, 0x09, 0x03, 0, 0, 1, 0, 0, 0}), 16, 0},
      {0xA14, Bytes({0xF0, 0x01, 0xA0}), 0x204, 0x204},
      {0xA15, Measurement(), 32, 32},
      {0xA16, Bytes({0x00, 0x00, 0xD0, 0xF7, 0x00}), 0x208, 0x208},
      {0xA17, Bytes({}), 8, 8},
      {0xA18, Bytes({0, 0, 0, 0}), 16, 16},
      {0xA19, Bytes({0, 0, 0, 0}), 16, 16},
      {0xA1A, Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0x33, 0x00, 0x05, 0x80}), 16, 0},  // refused
      {0xA1B, PciPairOfReads(), 24, 24},
      {0xA1C, Measurement(), 32, 32},
      {0xA1D, Measurement(), 32, 32},
  };
  return table;
}

TEST_F(DriverSystemBufferTest, NoRequestAnswersAByteOfStalePool) {
  std::set<std::uint32_t> covered;
  for (const Sent& sent : EveryServedRequest()) {
    SCOPED_TRACE(testing::Message() << "function 0x" << std::hex << sent.function);
    covered.insert(sent.function);
    ASSERT_EQ(std::count(sent.input.begin(), sent.input.end(), sim::kStalePoolByte), 0);
    // Each maker's core-clock measurement on that maker's processor.
    kernel.Cpu().SetVendor(sent.function == 0xA1D ? sim::SimCpuVendor::kAmd
                                                  : sim::SimCpuVendor::kIntel);
    std::vector<std::uint8_t> out(sent.output, 0x11);
    std::uint32_t returned = 0xFFFFFFFF;
    io.DeviceIoControl(device, dp::ControlCode(sent.function),
                       sent.input.empty() ? nullptr : sent.input.data(),
                       static_cast<std::uint32_t>(sent.input.size()), out.data(), sent.output,
                       &returned);
    EXPECT_EQ(returned, sent.answered);
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(returned, sent.output); ++i) {
      EXPECT_NE(out[i], sim::kStalePoolByte) << "byte " << i;
    }
  }
  // Every function from 0xA00 to 0xA1D except the four the driver does not serve.
  for (std::uint32_t function = 0xA00; function <= 0xA1D; ++function) {
    const bool unserved =
        function == 0xA08 || function == 0xA09 || function == 0xA12 || function == 0xA13;
    EXPECT_EQ(covered.count(function), unserved ? 0u : 1u) << std::hex << function;
  }
}

}  // namespace
}  // namespace velmora::drivertest
