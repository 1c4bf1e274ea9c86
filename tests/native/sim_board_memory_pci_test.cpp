#include <gtest/gtest.h>

#include <cstring>

#include "hw/DriverProtocol.h"
#include "sim/board/SimBoard.h"
#include "sim/board/SimPciBus.h"
#include "sim/board/SimPhysicalMemory.h"

namespace velmora::sim {
namespace {

namespace dp = velmora::driver_protocol;

TEST(SimBoardMemory, UnbackedBytesReadAllOnesAndAllocateNothing) {
  SimPhysicalMemory memory;
  EXPECT_EQ(memory.Read32(0xFFFFFFFFF000ull), 0xFFFFFFFFu);
  EXPECT_EQ(memory.BackedPageCount(), 0u);
}

TEST(SimBoardMemory, WriteAcrossPageBoundaryKeepsBytesAndLeavesNeighboursAllOnes) {
  SimPhysicalMemory memory;
  memory.Write32(0x10FFE, 0x44332211);
  EXPECT_EQ(memory.Read32(0x10FFE), 0x44332211u);
  EXPECT_EQ(memory.Read8(0x10FFD), 0xFF);
  EXPECT_EQ(memory.Read8(0x11002), 0xFF);
  EXPECT_EQ(memory.BackedPageCount(), 2u);
}

TEST(SimBoardMemory, AddressesAbove4GiBAreDistinctFromTheirLow32Bits) {
  SimPhysicalMemory memory;
  memory.Write8(0x1000F0000ull, 0x5A);
  EXPECT_EQ(memory.Read8(0xF0000), 0xFF);
  EXPECT_EQ(memory.Read8(0x1000F0000ull), 0x5A);
}

TEST(SimBoardMemory, OverlappingWindowsAreRefused) {
  SimPciBus bus;
  SimPhysicalMemory memory;
  EXPECT_TRUE(memory.MapWindow(0xE0000000, SimPciBus::kEcamSize, bus.MakeEcamWindow()));
  EXPECT_FALSE(memory.MapWindow(0xEFFFF000, 0x2000, bus.MakeEcamWindow()));
  EXPECT_TRUE(memory.MapWindow(0xF0000000, 0x1000, bus.MakeEcamWindow()));
}

class SimPciTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PciFunctionDescription lpc;
    lpc.location = {0, 0x1F, 0};
    lpc.vendorId = 0x8086;
    lpc.deviceId = 0x1C5C;
    lpc.classCode = 0x060100;
    lpc.headerType = 0x80;
    lpc.subsystemVendorId = 0x7A5E;
    lpc.subsystemId = 0x5001;
    lpc.extendedSpace = true;
    bus.AddFunction(lpc);
    PciFunctionDescription smbus = lpc;
    smbus.location = {0, 0x1F, 3};
    smbus.deviceId = 0x1C22;
    smbus.headerType = 0;
    smbus.extendedSpace = false;
    bus.AddFunction(smbus);
  }
  std::uint32_t In(std::uint16_t port, unsigned width) {
    std::uint32_t value = 0;
    EXPECT_TRUE(bus.PortIn(port, width, value));
    return value;
  }
  void Select(std::uint32_t b, std::uint32_t d, std::uint32_t f, std::uint32_t reg) {
    EXPECT_TRUE(bus.PortOut(0xCF8, 4, dp::PciConfigAddress(b, d, f, reg)));
  }
  SimPciBus bus;
};

TEST_F(SimPciTest, DwordWordAndByteReadsTakeTheirLane) {
  Select(0, 0x1F, 0, 0x00);
  EXPECT_EQ(In(0xCFC, 4), 0x1C5C8086u);
  EXPECT_EQ(In(0xCFC, 2), 0x8086u);
  EXPECT_EQ(In(0xCFE, 2), 0x1C5Cu);
  EXPECT_EQ(In(0xCFD, 1), 0x80u);
  Select(0, 0x1F, 0, 0x2C);
  EXPECT_EQ(In(dp::PciConfigDataPort(0x2C), 2), 0x7A5Eu);
  EXPECT_EQ(In(dp::PciConfigDataPort(0x2E), 2), 0x5001u);
  Select(0, 0x1F, 0, 0x0E);
  EXPECT_EQ(In(dp::PciConfigDataPort(0x0E), 1), 0x80u);
  EXPECT_EQ(In(0xCFC, 4) >> 16, 0x0080u);  // header type byte 0x0E, BIST 0x0F
}

TEST_F(SimPciTest, AccessRunningPastPort0xCFFGetsAllOnesBeyondIt) {
  Select(0, 0x1F, 0, 0x00);
  EXPECT_EQ(In(0xCFE, 4), 0xFFFF1C5Cu);
}

TEST_F(SimPciTest, AddressLatchReadsBackWithoutHardwiredBits) {
  EXPECT_TRUE(bus.PortOut(0xCF8, 4, 0xFFFFFFFF));
  EXPECT_EQ(In(0xCF8, 4), 0x8FFFFFFCu);
  Select(0, 0x1F, 3, 0x142);
  EXPECT_EQ(In(0xCF8, 4), 0x8100FB40u);
}

TEST_F(SimPciTest, ByteAccessToTheAddressPortIsNotTheLatch) {
  Select(0, 0x1F, 0, 0);
  std::uint32_t value = 0;
  EXPECT_FALSE(bus.PortOut(0xCF8, 1, 0));
  EXPECT_FALSE(bus.PortIn(0xCF8, 1, value));
  EXPECT_EQ(bus.AddressLatch(), dp::PciConfigAddress(0, 0x1F, 0, 0));
}

TEST_F(SimPciTest, ExtendedRegisterBitsReachOffsetsAbove0xFF) {
  bus.WriteConfig({0, 0x1F, 0}, 0x142, 2, 0xBEEF);
  Select(0, 0x1F, 0, 0x142);
  EXPECT_EQ(In(dp::PciConfigDataPort(0x142), 2), 0xBEEFu);
  Select(0, 0x1F, 0, 0x42);  // the same low bits without the extended ones
  EXPECT_EQ(In(dp::PciConfigDataPort(0x42), 2), 0x0000u);
  Select(0, 0x1F, 3, 0x142);  // a 256-byte function has nothing up there
  EXPECT_EQ(In(0xCFC, 4), 0xFFFFFFFFu);
}

TEST_F(SimPciTest, AbsentFunctionsAndDisabledCyclesReadAllOnes) {
  Select(0, 0x1F, 1, 0);
  EXPECT_EQ(In(0xCFC, 4), 0xFFFFFFFFu);
  EXPECT_EQ(In(0xCFE, 1), 0xFFu);
  Select(3, 0, 0, 0);
  EXPECT_EQ(In(0xCFC, 2), 0xFFFFu);
  EXPECT_TRUE(bus.PortOut(0xCF8, 4, dp::PciConfigAddress(0, 0x1F, 0, 0) & 0x7FFFFFFF));
  EXPECT_EQ(In(0xCFC, 4), 0xFFFFFFFFu);
}

TEST_F(SimPciTest, MultiFunctionScanSeesFunctionThreeOnlyThroughBit7) {
  EXPECT_EQ(bus.ReadConfig({0, 0x1F, 0}, 0x0E, 1) & 0x80, 0x80u);
  EXPECT_EQ(bus.ReadConfig({0, 0x1F, 3}, 0x2C, 2), 0x7A5Eu);
  EXPECT_EQ(bus.ReadConfig({0, 0x1F, 2}, 0x2C, 2), 0xFFFFu);
}

TEST_F(SimPciTest, DataPortWritesLandAtTheirLaneAndAbsentFunctionsIgnoreThem) {
  Select(0, 0x1F, 0, 0x40);
  EXPECT_TRUE(bus.PortOut(0xCFD, 1, 0xAB));
  EXPECT_TRUE(bus.PortOut(0xCFE, 2, 0x1234));
  EXPECT_EQ(bus.ReadConfig({0, 0x1F, 0}, 0x40, 4), 0x1234AB00u);
  Select(0, 0x1E, 0, 0x40);
  EXPECT_TRUE(bus.PortOut(0xCFC, 4, 0));
  EXPECT_FALSE(bus.HasFunction({0, 0x1E, 0}));
}

TEST_F(SimPciTest, EcamWindowMirrorsConfigurationSpaceBothWays) {
  SimPhysicalMemory memory;
  ASSERT_TRUE(memory.MapWindow(0xE0000000, SimPciBus::kEcamSize, bus.MakeEcamWindow()));
  const std::uint64_t lpc = 0xE0000000ull | (0x1Full << 15);
  EXPECT_EQ(memory.Read32(lpc), 0x1C5C8086u);
  EXPECT_EQ(memory.Read16(lpc + 0x2C), 0x7A5Eu);
  memory.Write32(lpc + 0x144, 0xCAFEF00D);
  Select(0, 0x1F, 0, 0x144);
  EXPECT_EQ(In(0xCFC, 4), 0xCAFEF00Du);
  const std::uint64_t smbus = lpc | (3ull << 12);
  EXPECT_EQ(memory.Read32(smbus + 0x100), 0xFFFFFFFFu);
  EXPECT_EQ(memory.Read32(0xE0000000ull | (5ull << 20)), 0xFFFFFFFFu);
  EXPECT_EQ(memory.BackedPageCount(), 0u);
}

TEST(SimBoardMachine, DefaultBoardAnswersPciThroughPortsAndEcam) {
  SimBoard board;
  board.PortOut(0xCF8, 4, dp::PciConfigAddress(0, 0, 0, 0));
  EXPECT_EQ(board.PortIn(0xCFC, 4), 0x01008086u);
  board.PortOut(0xCF8, 4, dp::PciConfigAddress(0, 0, 0, 0x08));
  EXPECT_EQ(board.PortIn(0xCFC, 4) >> 8, 0x060000u);
  std::uint32_t lpc = 0;
  board.ReadPhysical(0xE0000000ull | (31u << 15), &lpc, 4);
  EXPECT_EQ(lpc & 0xFFFF, 0x8086u);
  EXPECT_EQ(board.PortIn(0x80, 1), 0xFFu);
  board.PortOut(0x80, 1, 0x1A5);
  EXPECT_EQ(board.LastPortWrite(0x80), 0xA5u);
}

TEST(SimBoardMachine, CpuIdGivesVendorInEbxEdxEcxOrderAndTheBrand) {
  SimBoard board;
  const CpuIdRegisters leaf0 = board.CpuId(0);
  char vendor[13] = {};
  std::memcpy(vendor, &leaf0.ebx, 4);
  std::memcpy(vendor + 4, &leaf0.edx, 4);
  std::memcpy(vendor + 8, &leaf0.ecx, 4);
  EXPECT_STREQ(vendor, "GenuineIntel");
  EXPECT_GE(board.CpuId(0x80000000).eax, 0x80000004u);
  const CpuIdRegisters brand = board.CpuId(0x80000002);
  char start[5] = {};
  std::memcpy(start, &brand.eax, 4);
  EXPECT_STREQ(start, "Inte");
}

}  // namespace
}  // namespace velmora::sim
