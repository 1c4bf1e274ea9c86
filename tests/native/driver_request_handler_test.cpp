// The driver's request handling on the simulated kernel: exact records, statuses and byte
// counts of the five requests the program sends, buffer checks, and the lock around each.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "KernelTestSupport.h"
#include "driver/RequestHandler.h"
#include "hw/DriverProtocol.h"
#include "sim/kernel/SimKernel.h"

namespace velmora {
namespace {

namespace dp = driver_protocol;
using driver::IoRequest;
using driver::IoResult;

class RequestHandlerTest : public ::testing::Test {
 protected:
  IoResult Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t in, std::uint32_t out) {
    IoRequest request;
    request.kind = IoRequest::Kind::kDeviceControl;
    request.fileObject = &file;
    request.fileContext = &fileContext;
    request.controlCode = code;
    request.systemBuffer = buffer;
    request.inputLength = in;
    request.outputLength = out;
    return handler.Dispatch(request);
  }
  IoResult Map(std::uint32_t physical, std::uint32_t length, std::uint8_t (&record)[16]) {
    const std::uint32_t fields[4] = {physical, 0, length, 0xDDDDDDDD};
    std::memcpy(record, fields, 16);
    return Control(dp::IOCTL_MAP_PHYSICAL_MEMORY, record, 16, 16);
  }
  static std::uint32_t U32(const std::uint8_t* at) {
    std::uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
  }

  const int file = 0;
  void* fileContext = nullptr;
  kerneltest::FakeBoard board;
  sim::SimAddressSpace process{board};
  sim::SimKernel kernel{board, process};
  driver::RequestHandler handler{kernel};
};

TEST_F(RequestHandlerTest, MapAnswersTheAddressOfTheRequestedByteInsideTheRoundedView) {
  board.memory[0xF5A37] = 0x5A;
  std::uint8_t record[16];
  const IoResult result = Map(0xF5A37, 0x20, record);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 16u);
  // The view starts at 0xF0000 (64 KiB granularity), placed at the first view address.
  EXPECT_EQ(U32(record + 12), 0x20000000u + 0x5A37u);
  EXPECT_EQ(U32(record + 0), 0xF5A37u);  // the input fields stay as they were
  EXPECT_EQ(U32(record + 8), 0x20u);
  std::uint8_t byte = 0;
  process.Read(U32(record + 12), &byte, 1);
  EXPECT_EQ(byte, 0x5A);
  EXPECT_EQ(process.LiveViewCount(), 1u);
}

TEST_F(RequestHandlerTest, MapOfARangeThatCrossesAGranuleCoversItAll) {
  board.memory[0x20003] = 0x77;
  std::uint8_t record[16];
  ASSERT_EQ(Map(0x1FFF0, 0x20, record).status, dp::kStatusSuccess);
  std::uint8_t bytes[0x20];
  process.Read(U32(record + 12), bytes, sizeof bytes);
  EXPECT_EQ(bytes[0x13], 0x77);
}

TEST_F(RequestHandlerTest, FailingMapIsInvalidParameterWithNoDataAndNoView) {
  kernel.FailMapsOf(0xE0000000, 0x1000);
  std::uint8_t record[16];
  const IoResult result = Map(0xE0000800, 4, record);
  EXPECT_EQ(result.status, dp::kStatusInvalidParameter);
  EXPECT_EQ(result.information, 0u);
  EXPECT_EQ(U32(record + 12), 0xDDDDDDDDu);
  EXPECT_EQ(process.LiveViewCount(), 0u);
}

TEST_F(RequestHandlerTest, MapOfZeroBytesIsRefused) {
  std::uint8_t record[16];
  EXPECT_EQ(Map(0xF0000, 0, record).status, dp::kStatusInvalidParameter);
  EXPECT_EQ(kernel.MapCalls(), 0);
}

TEST_F(RequestHandlerTest, MapWithBuffersShorterThanTheRecordIsRefusedUntouched) {
  std::uint8_t record[16] = {0x00, 0x00, 0x0F, 0x00, 0, 0, 0, 0, 1, 0, 0, 0, 9, 9, 9, 9};
  EXPECT_EQ(Control(dp::IOCTL_MAP_PHYSICAL_MEMORY, record, 12, 16).status,
            dp::kStatusInvalidParameter);
  EXPECT_EQ(Control(dp::IOCTL_MAP_PHYSICAL_MEMORY, record, 16, 8).status,
            dp::kStatusBufferTooSmall);
  EXPECT_EQ(U32(record + 12), 0x09090909u);
  EXPECT_EQ(kernel.MapCalls(), 0);
}

TEST_F(RequestHandlerTest, UnmapByTheAnsweredAddressRemovesTheView) {
  std::uint8_t record[16];
  ASSERT_EQ(Map(0xF5A37, 1, record).status, dp::kStatusSuccess);
  std::uint8_t unmap[4];
  std::memcpy(unmap, record + 12, 4);
  const IoResult result = Control(dp::IOCTL_UNMAP_PHYSICAL_MEMORY, unmap, 4, 0);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 0u);
  EXPECT_EQ(process.LiveViewCount(), 0u);
}

TEST_F(RequestHandlerTest, UnmapWithTwoBytesIsInsufficientResources) {
  std::uint8_t record[16];
  ASSERT_EQ(Map(0xF0000, 1, record).status, dp::kStatusSuccess);
  const IoResult result = Control(dp::IOCTL_UNMAP_PHYSICAL_MEMORY, record + 12, 2, 0);
  EXPECT_EQ(result.status, dp::kStatusInsufficientResources);
  EXPECT_EQ(result.information, 0u);
  EXPECT_EQ(process.LiveViewCount(), 1u);
}

TEST_F(RequestHandlerTest, UnmapOfAnAddressInNoViewIsNotMappedView) {
  std::uint8_t unmap[4] = {0x00, 0x00, 0x00, 0x30};
  EXPECT_EQ(Control(dp::IOCTL_UNMAP_PHYSICAL_MEMORY, unmap, 4, 0).status, dp::kStatusNotMappedView);
}

std::array<std::uint8_t, 12> PciRecord(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                                       std::uint16_t reg) {
  std::array<std::uint8_t, 12> record;
  record.fill(0xAA);
  record[0] = bus;
  record[1] = device;
  record[2] = function;
  record[4] = static_cast<std::uint8_t>(reg);
  record[5] = static_cast<std::uint8_t>(reg >> 8);
  return record;
}

// On a processor that passes CF8 bits 24-27 on (AMD, family 10h and later, NB_CFG bit 46).
TEST_F(RequestHandlerTest, PciByteReadOfAnExtendedRegisterSelectsItAndReadsItsDataPort) {
  kernel.Cpu().SetVendor(sim::SimCpuVendor::kAmd);
  kernel.Cpu().WriteMsr(0xC001001F, std::uint64_t{1} << 46);
  board.config[0x8100FB40] = 0x44332211;
  auto record = PciRecord(0, 0x1F, 3, 0x142);
  const IoResult result = Control(dp::IOCTL_PCI_CONFIG_READ_BYTE, record.data(), 12, 12);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 12u);
  ASSERT_EQ(board.ports.size(), 2u);
  EXPECT_TRUE(board.ports[0].write);
  EXPECT_EQ(board.ports[0].port, 0xCF8);
  EXPECT_EQ(board.ports[0].width, 4u);
  EXPECT_EQ(board.ports[0].value, 0x8100FB40u);
  EXPECT_EQ(board.ports[1].port, 0xCFE);
  EXPECT_EQ(board.ports[1].width, 1u);
  EXPECT_EQ(record[8], 0x33);
  EXPECT_EQ(record[9], 0xAA);  // above the width nothing is written
  EXPECT_EQ(record[11], 0xAA);
}

TEST_F(RequestHandlerTest, PciWordAndDwordReadsFillTheirWidth) {
  board.config[0x80010210] = 0x8086A0B1;
  auto word = PciRecord(1, 0, 2, 0x12);
  ASSERT_EQ(Control(dp::IOCTL_PCI_CONFIG_READ_WORD, word.data(), 12, 12).status, 0u);
  EXPECT_EQ(board.ports.back().port, 0xCFE);
  EXPECT_EQ(board.ports.back().width, 2u);
  EXPECT_EQ(U32(word.data() + 8), 0xAAAA8086u);
  auto dword = PciRecord(1, 0, 2, 0x10);
  ASSERT_EQ(Control(dp::IOCTL_PCI_CONFIG_READ_DWORD, dword.data(), 12, 12).status, 0u);
  EXPECT_EQ(board.ports.back().port, 0xCFC);
  EXPECT_EQ(U32(dword.data() + 8), 0x8086A0B1u);
}

TEST_F(RequestHandlerTest, ShortPciRecordIsRefusedWithoutTouchingThePorts) {
  auto record = PciRecord(0, 0, 0, 0);
  EXPECT_EQ(Control(dp::IOCTL_PCI_CONFIG_READ_DWORD, record.data(), 8, 12).status,
            dp::kStatusInvalidParameter);
  EXPECT_EQ(Control(dp::IOCTL_PCI_CONFIG_READ_DWORD, record.data(), 12, 11).status,
            dp::kStatusBufferTooSmall);
  EXPECT_TRUE(board.ports.empty());
}

TEST_F(RequestHandlerTest, UnservedCodesAreInvalidParameterWithNoData) {
  std::uint8_t buffer[16] = {};
  for (std::uint32_t code : {dp::ControlCode(0xA08), dp::ControlCode(0x9FF), 0x00222801u,
                             dp::IOCTL_PCI_CONFIG_READ_BYTE | 0x00010000u}) {
    const IoResult result = Control(code, buffer, 16, 16);
    EXPECT_EQ(result.status, dp::kStatusInvalidParameter) << std::hex << code;
    EXPECT_EQ(result.information, 0u);
  }
  EXPECT_TRUE(board.ports.empty());
}

TEST_F(RequestHandlerTest, CreateAndCloseSucceedWithNoData) {
  for (auto kind : {IoRequest::Kind::kCreate, IoRequest::Kind::kClose}) {
    IoRequest request;
    request.kind = kind;
    const IoResult result = handler.Dispatch(request);
    EXPECT_EQ(result.status, dp::kStatusSuccess);
    EXPECT_EQ(result.information, 0u);
  }
}

TEST_F(RequestHandlerTest, EveryRequestHoldsTheLockUntilItIsCompleted) {
  IoRequest create;
  create.kind = IoRequest::Kind::kCreate;
  handler.Dispatch(create);
  std::uint8_t record[16];
  Map(0xF0000, 4, record);
  Control(dp::IOCTL_UNMAP_PHYSICAL_MEMORY, record + 12, 4, 0);
  auto pci = PciRecord(0, 0, 0, 0);
  Control(dp::IOCTL_PCI_CONFIG_READ_DWORD, pci.data(), 12, 12);
  Control(dp::ControlCode(0xA08), record, 16, 16);
  IoRequest close;
  close.kind = IoRequest::Kind::kClose;
  handler.Dispatch(close);

  EXPECT_EQ(kernel.LockAcquisitions(), 6);
  EXPECT_EQ(kernel.LockDepth(), 0);
  EXPECT_EQ(kernel.LockMisuses(), 0);
  EXPECT_EQ(kernel.UnlockedMemoryCalls(), 0);
  ASSERT_EQ(kernel.Completions().size(), 6u);
  for (const auto& completion : kernel.Completions()) EXPECT_EQ(completion.lockDepth, 1);
  for (const auto& access : kernel.PortAccesses()) EXPECT_EQ(access.lockDepth, 1);
  EXPECT_EQ(kernel.PortAccesses().size(), 2u);
}

}  // namespace
}  // namespace velmora
