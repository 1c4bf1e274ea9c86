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
  const int handleB = 0;  // another open of the device
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
    ASSERT_EQ(Map(0xC0000000u + i * 0x10000, 1, &handleA).status, dp::kStatusSuccess) << i;
  }
  const IoResult refused = Map(0xF0000, 1, &handleA);
  EXPECT_EQ(refused.status, dp::kStatusInsufficientResources);
  EXPECT_EQ(refused.information, 0u);
  EXPECT_EQ(process.LiveViewCount(), driver::MappedViews::kCapacity);
  Send(IoRequest::Kind::kCleanup, &handleA);
  EXPECT_EQ(process.LiveViewCount(), 0u);
}

// RAM the memory manager manages is never mapped, whatever part of the view reaches it: the
// view starts at the 64 KiB boundary below the address and ends at the end of its last page.
// Below 1 MiB everything is mapped (the root pointer and SMBIOS searches run there).
TEST_F(DriverMemoryTest, ViewsReachingManagedRamAreRefused) {
  // RAM to 0xBFF08000 (off a 64 KiB boundary), ACPI tables to 0xC0000000, devices to 4 GiB.
  board.memoryMap = sim::FirmwareMemoryMap();
  board.memoryMap.Add(0, 0x9F000, sim::MemoryType::kRam);
  board.memoryMap.Add(0x100000, 0xBFF08000 - 0x100000, sim::MemoryType::kRam);
  board.memoryMap.Add(0xBFF08000, 0xF8000, sim::MemoryType::kAcpi);
  board.memoryMap.Add(0xC0000000, 0x40000000, sim::MemoryType::kDevice);
  board.memoryMap.Add(0x100000000, 0x80000000, sim::MemoryType::kRam);
  struct Case {
    std::uint64_t physical;
    std::uint32_t length;
    bool mapped;
  };
  for (const Case& c : {Case{0x00000000, 0x400, true},      // real-mode vectors: first MiB
                        Case{0x0009FC00, 0x400, true},      // EBDA
                        Case{0x000F0000, 0x10000, true},    // BIOS segment
                        Case{0x000FFF00, 0x200, false},     // runs into RAM at 1 MiB
                        Case{0x00200000, 1, false},         // RAM
                        Case{0xBFF18000, 0x100, true},      // ACPI, its granule all ACPI
                        Case{0xBFF0A000, 0x100, false},     // ACPI, its granule starts in RAM
                        Case{0xBFF07F00, 0x200, false},     // across the end of RAM
                        Case{0xE0000000, 0x1000, true},     // the PCI Express window
                        Case{0xFFFF0000, 0x10000, true},    // top of the hole
                        Case{0x17FFFF000, 0x10, false}}) {  // RAM above 4 GiB
    EXPECT_EQ(Map(c.physical, c.length, &handleA).status,
              c.mapped ? dp::kStatusSuccess : dp::kStatusAccessDenied)
        << std::hex << c.physical;
  }
  EXPECT_EQ(kernel.RamViewsMapped(), 0);
  EXPECT_EQ(kernel.MapCalls(), 6);
  // Without the memory manager's list nothing above 1 MiB can be judged: refused.
  kernel.FailRamQueries();
  EXPECT_EQ(Map(0xE0000000, 0x1000, &handleA).status, dp::kStatusAccessDenied);
  EXPECT_EQ(Map(0xF0000, 0x100, &handleA).status, dp::kStatusSuccess);
}

// A handle duplicated into (or inherited by) another process: the last one closed there. The
// views stay where they were mapped, and the cleanup unmaps them in that process, attached to
// it; the other process's own views are not touched.
TEST_F(DriverMemoryTest, CleanupUnmapsInTheProcessThatMapped) {
  sim::SimAddressSpace other{bus};
  std::uint32_t mine = 0;
  ASSERT_EQ(Map(0xF0000, 0x100, &handleA, &mine).status, dp::kStatusSuccess);
  kernel.SwitchToProcess(other);
  std::uint32_t theirs = 0;
  ASSERT_EQ(Map(0xF0000, 0x100, &handleB, &theirs).status, dp::kStatusSuccess);
  EXPECT_EQ(Unmap(mine, &handleA).status, dp::kStatusNotMappedView);  // not a view of this process
  EXPECT_EQ(kernel.ProcessReferences(), 2);
  Send(IoRequest::Kind::kCleanup, &handleA);
  EXPECT_FALSE(process.IsMapped(mine));
  EXPECT_TRUE(other.IsMapped(theirs));
  EXPECT_EQ(kernel.AttachedUnmaps(), 1);
  EXPECT_EQ(kernel.ProcessReferences(), 1);
  EXPECT_EQ(kernel.LockMisuses(), 0);
}

// After its cleanup a file object can still receive requests from whoever references it; a map
// then would leave a view that no cleanup ever removes. Nothing is served any more.
TEST_F(DriverMemoryTest, RequestsAfterCleanupAreRefused) {
  Send(IoRequest::Kind::kCleanup, &handleA);
  EXPECT_EQ(Map(0xF0000, 0x100, &handleA).status, dp::kStatusFileClosed);
  auto record = Record(12);
  record[0] = 0;
  EXPECT_EQ(Control(dp::IOCTL_PCI_CONFIG_READ_DWORD, record.data(), 12, 12, &handleA).status,
            dp::kStatusFileClosed);
  EXPECT_EQ(kernel.MapCalls(), 0);
  EXPECT_EQ(Map(0xF0000, 0x100, &handleB).status, dp::kStatusSuccess);
}

}  // namespace
}  // namespace velmora::drivertest
