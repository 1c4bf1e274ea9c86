// The device bus in front of a board: a memory access is cut at every device window's edge, each
// side answers its own part, and the board sees its parts whole (as the widths the driver used).
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "sim/kernel/SimDeviceBus.h"

namespace velmora {
namespace {

struct Access {
  std::uint64_t address = 0;
  std::size_t size = 0;
  bool operator==(const Access&) const = default;
};

// Answers each byte with the low byte of its address; notes every access.
class RecordingBoard : public sim::SimMachine {
 public:
  void ReadPhysical(std::uint64_t address, void* destination, std::size_t size) override {
    reads.push_back({address, size});
    auto* bytes = static_cast<std::uint8_t*>(destination);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(address + i);
  }
  void WritePhysical(std::uint64_t address, const void*, std::size_t size) override {
    writes.push_back({address, size});
  }
  std::uint32_t PortIn(std::uint16_t, unsigned) override { return 0xFFFFFFFF; }
  void PortOut(std::uint16_t, unsigned, std::uint32_t) override {}
  CpuIdRegisters CpuId(std::uint32_t) override { return {}; }

  std::vector<Access> reads;
  std::vector<Access> writes;
};

// Answers 0xA0 + offset; notes every access by offset.
class RecordingWindow : public sim::PhysicalWindow {
 public:
  void Read(std::uint64_t offset, std::uint8_t* destination, std::size_t size) override {
    reads.push_back({offset, size});
    for (std::size_t i = 0; i < size; ++i)
      destination[i] = static_cast<std::uint8_t>(0xA0 + offset + i);
  }
  void Write(std::uint64_t offset, const std::uint8_t*, std::size_t size) override {
    writes.push_back({offset, size});
  }

  std::vector<Access> reads;
  std::vector<Access> writes;
};

class SimDeviceBusMemory : public testing::Test {
 protected:
  RecordingBoard board;
  RecordingWindow window;
  sim::SimDeviceBus bus{board};
};

TEST_F(SimDeviceBusMemory, AReadAcrossAWindowIsCutAtBothEdges) {
  bus.AttachMemory(0x1000, 0x10, window);
  std::vector<std::uint8_t> bytes(0x30);
  bus.ReadPhysical(0xFF0, bytes.data(), bytes.size());

  EXPECT_EQ(board.reads, (std::vector<Access>{{0xFF0, 0x10}, {0x1010, 0x10}}));
  EXPECT_EQ(window.reads, (std::vector<Access>{{0, 0x10}}));
  EXPECT_EQ(bytes[0x0F], 0xFF);  // the board's byte at 0xFFF
  EXPECT_EQ(bytes[0x10], 0xA0);  // the window's first
  EXPECT_EQ(bytes[0x1F], 0xAF);  // and last
  EXPECT_EQ(bytes[0x20], 0x10);  // the board again at 0x1010
}

TEST_F(SimDeviceBusMemory, AWriteBetweenTwoWindowsReachesTheBoardWhole) {
  RecordingWindow high;
  bus.AttachMemory(0x2000, 0x8, high);
  bus.AttachMemory(0x1000, 0x8, window);
  const std::vector<std::uint8_t> bytes(0x1004, 0x5A);  // ends with the high window
  bus.WritePhysical(0x1004, bytes.data(), bytes.size());

  EXPECT_EQ(window.writes, (std::vector<Access>{{4, 4}}));
  EXPECT_EQ(board.writes, (std::vector<Access>{{0x1008, 0xFF8}}));
  EXPECT_EQ(high.writes, (std::vector<Access>{{0, 8}}));
}

TEST_F(SimDeviceBusMemory, AnAccessWrappingAtTheTopReachesAWindowAtZero) {
  bus.AttachMemory(0, 0x10, window);
  std::uint8_t bytes[4] = {};
  bus.ReadPhysical(std::numeric_limits<std::uint64_t>::max() - 1, bytes, sizeof bytes);

  EXPECT_EQ(board.reads, (std::vector<Access>{{std::numeric_limits<std::uint64_t>::max() - 1, 2}}));
  EXPECT_EQ(window.reads, (std::vector<Access>{{0, 2}}));
  EXPECT_EQ(bytes[1], 0xFF);
  EXPECT_EQ(bytes[2], 0xA0);
}

TEST_F(SimDeviceBusMemory, WithoutWindowsTheBoardSeesTheAccessUnchanged) {
  std::uint32_t value = 0;
  bus.ReadPhysical(0xFEE00020, &value, sizeof value);
  EXPECT_EQ(board.reads, (std::vector<Access>{{0xFEE00020, 4}}));
  EXPECT_EQ(value, 0x23222120u);
}

}  // namespace
}  // namespace velmora
