// Views of physical memory: the limits on what a map may ask for, and the views kept per open
// handle (an unmap through another handle is refused, cleanup unmaps what a handle left).
#include <gtest/gtest.h>

#include "driver_test_support.h"

namespace velmora::drivertest {
namespace {

class DriverMemoryTest : public DriverTest {
 protected:
  IoResult Map(std::uint64_t physical, std::uint32_t length, const void* owner,
               std::uint32_t* address = nullptr) {
    std::uint8_t record[16];
    Put32(record, static_cast<std::uint32_t>(physical));
    Put32(record + 4, static_cast<std::uint32_t>(physical >> 32));
    Put32(record + 8, length);
    Put32(record + 12, 0xDDDDDDDD);
    const IoResult result = Control(dp::IOCTL_MAP_PHYSICAL_MEMORY, record, 16, 16, owner);
    if (address != nullptr) *address = U32(record + 12);
    return result;
  }
  IoResult Unmap(std::uint32_t address, const void* owner) {
    std::uint8_t record[4];
    Put32(record, address);
    return Control(dp::IOCTL_UNMAP_PHYSICAL_MEMORY, record, 4, 0, owner);
  }

  const int handleA = 0;
  const int handleB = 0;
};

TEST_F(DriverMemoryTest, MapsUpToTheCapAndRefusesOneByteMore) {
  EXPECT_EQ(Map(0xF0000, dp::kMaxMapLength, &handleA).status, dp::kStatusSuccess);
  EXPECT_EQ(dp::kMaxMapLength, 0x10000u);
  const IoResult refused = Map(0xF0000, dp::kMaxMapLength + 1, &handleA);
  EXPECT_EQ(refused.status, dp::kStatusInvalidParameter);
  EXPECT_EQ(refused.information, 0u);
  EXPECT_EQ(kernel.MapCalls(), 1);
  EXPECT_EQ(process.LiveViewCount(), 1u);
}

TEST_F(DriverMemoryTest, RangeThatWrapsPastTheTopIsRefused) {
  EXPECT_EQ(Map(0xFFFFFFFFFFFFFF00u, 0x100, &handleA).status, dp::kStatusSuccess);
  EXPECT_EQ(Map(0xFFFFFFFFFFFFFF01u, 0x100, &handleA).status, dp::kStatusInvalidParameter);
  EXPECT_EQ(kernel.MapCalls(), 1);
}

TEST_F(DriverMemoryTest, UnmapThroughAnotherHandleIsRefusedAndTheViewStays) {
  std::uint32_t address = 0;
  ASSERT_EQ(Map(0xF5A37, 1, &handleA, &address).status, dp::kStatusSuccess);
  const IoResult refused = Unmap(address, &handleB);
  EXPECT_EQ(refused.status, dp::kStatusNotMappedView);
  EXPECT_EQ(process.LiveViewCount(), 1u);
  EXPECT_TRUE(process.IsMapped(address));
  EXPECT_EQ(Unmap(address, &handleA).status, dp::kStatusSuccess);
  EXPECT_EQ(process.LiveViewCount(), 0u);
  EXPECT_EQ(handler.LiveViews(), 0u);
}

TEST_F(DriverMemoryTest, UnmapOfAnAddressOutsideTheMappedRangeIsRefused) {
  std::uint32_t address = 0;
  ASSERT_EQ(Map(0xF5A37, 0x10, &handleA, &address).status, dp::kStatusSuccess);
  // The view starts at the rounded offset 0xF0000; the range ends 0x10 bytes after the answer.
  EXPECT_EQ(Unmap(address + 0x10, &handleA).status, dp::kStatusNotMappedView);
  EXPECT_EQ(Unmap(address - 0x5A37 - 1, &handleA).status, dp::kStatusNotMappedView);
  EXPECT_EQ(Unmap(address - 0x5A37, &handleA).status, dp::kStatusSuccess);
}

TEST_F(DriverMemoryTest, SecondUnmapOfTheSameViewIsRefused) {
  std::uint32_t address = 0;
  ASSERT_EQ(Map(0xF0000, 4, &handleA, &address).status, dp::kStatusSuccess);
  EXPECT_EQ(Unmap(address, &handleA).status, dp::kStatusSuccess);
  EXPECT_EQ(Unmap(address, &handleA).status, dp::kStatusNotMappedView);
}

TEST_F(DriverMemoryTest, CleanupUnmapsOnlyTheViewsOfItsHandle) {
  std::uint32_t a1 = 0, a2 = 0, b1 = 0;
  ASSERT_EQ(Map(0xE0000, 0x100, &handleA, &a1).status, dp::kStatusSuccess);
  ASSERT_EQ(Map(0xF0000, 0x100, &handleA, &a2).status, dp::kStatusSuccess);
  ASSERT_EQ(Map(0xF0000, 0x100, &handleB, &b1).status, dp::kStatusSuccess);
  ASSERT_EQ(process.LiveViewCount(), 3u);

  const IoResult cleanup = Send(IoRequest::Kind::kCleanup, &handleA);
  EXPECT_EQ(cleanup.status, dp::kStatusSuccess);
  EXPECT_EQ(cleanup.information, 0u);
  EXPECT_EQ(process.LiveViewCount(), 1u);
  EXPECT_FALSE(process.IsMapped(a1));
  EXPECT_FALSE(process.IsMapped(a2));
  EXPECT_TRUE(process.IsMapped(b1));
  EXPECT_EQ(handler.LiveViews(), 1u);
  EXPECT_EQ(kernel.UnlockedMemoryCalls(), 0);
}

TEST_F(DriverMemoryTest, FullViewTableRefusesTheMapAndLeavesNoView) {
  for (std::uint32_t i = 0; i < driver::MappedViews::kCapacity; ++i) {
    ASSERT_EQ(Map(0x100000 + i * 0x10000, 1, &handleA).status, dp::kStatusSuccess) << i;
  }
  const IoResult refused = Map(0xF0000, 1, &handleA);
  EXPECT_EQ(refused.status, dp::kStatusInsufficientResources);
  EXPECT_EQ(refused.information, 0u);
  EXPECT_EQ(process.LiveViewCount(), driver::MappedViews::kCapacity);
  Send(IoRequest::Kind::kCleanup, &handleA);
  EXPECT_EQ(process.LiveViewCount(), 0u);
}

}  // namespace
}  // namespace velmora::drivertest
