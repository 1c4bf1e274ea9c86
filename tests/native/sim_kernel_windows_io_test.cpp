// The simulated Windows under the driver: service lifecycle of a kernel driver, the exclusive
// device, METHOD_BUFFERED copying, status translation and the process's views.
#include <gtest/gtest.h>

#include <cstring>

#include "KernelTestSupport.h"
#include "hw/DriverProtocol.h"
#include "sim/kernel/SimDriverWorld.h"

namespace velmora {
namespace {

namespace dp = driver_protocol;
using sim::SimServiceState;

constexpr char kDriverFile[] = "C:\\Windows\\system32\\Drivers\\ZlkVmDrv.sys";
constexpr char kDevicePath[] = "\\\\.\\ZlkVmDrv";

class SimWindowsTest : public ::testing::Test {
 protected:
  SimWindowsTest() { world.files.SetFile(kDriverFile, "MZ driver"); }

  ScHandle CreateDriverService() {
    manager = world.services.OpenSCManagerA(win::kScManagerAllAccess);
    return world.services.CreateServiceA(manager, "ZlkVmDrv", "ZlkVmDrv", win::kServiceAllAccess, 1,
                                         3, 1, kDriverFile);
  }
  Handle OpenDevice() {
    return world.io.CreateFileA(kDevicePath, win::kGenericRead | win::kGenericWrite, 0,
                                win::kCreateAlways, win::kFileAttributeNormal);
  }
  Handle StartAndOpen() {
    service = CreateDriverService();
    EXPECT_TRUE(world.services.StartServiceA(service));
    return OpenDevice();
  }

  kerneltest::FakeBoard board;
  sim::SimDriverWorld world{board, sim::Windows7X86()};
  ScHandle manager = 0;
  ScHandle service = 0;
};

TEST_F(SimWindowsTest, CreateRecordsEveryServiceArgument) {
  ASSERT_NE(CreateDriverService(), 0u);
  const sim::SimService* created = world.services.Find("zlkvmdrv");
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->displayName, "ZlkVmDrv");
  EXPECT_EQ(created->type, 1u);
  EXPECT_EQ(created->startType, 3u);
  EXPECT_EQ(created->errorControl, 1u);
  EXPECT_EQ(created->binaryPath, kDriverFile);
  EXPECT_EQ(created->state, SimServiceState::kStopped);
  EXPECT_EQ(world.services.CreateServiceA(manager, "ZlkVmDrv", "x", 0, 1, 3, 1, "y"), 0u);
  EXPECT_EQ(world.services.GetLastError(), 1073u);
}

TEST_F(SimWindowsTest, StartNeedsTheDriverFileAtThatMoment) {
  service = CreateDriverService();
  world.files.DeleteFileA(kDriverFile);
  EXPECT_FALSE(world.services.StartServiceA(service));
  EXPECT_EQ(world.services.GetLastError(), 2u);
  EXPECT_EQ(world.devices.Count(), 0u);
  world.files.SetFile(kDriverFile, "MZ");
  EXPECT_TRUE(world.services.StartServiceA(service));
  EXPECT_FALSE(world.services.StartServiceA(service));
  EXPECT_EQ(world.services.GetLastError(), 1056u);
}

TEST_F(SimWindowsTest, DeviceIsExclusiveAcrossTheSystem) {
  const Handle first = StartAndOpen();
  ASSERT_NE(first, kInvalidHandleValue);
  EXPECT_EQ(OpenDevice(), kInvalidHandleValue);
  EXPECT_EQ(world.io.LastError(), 5u);
  ASSERT_TRUE(world.io.CloseHandle(first));
  ASSERT_TRUE(world.io.HoldDeviceElsewhere("ZlkVmDrv"));
  EXPECT_EQ(OpenDevice(), kInvalidHandleValue);
  EXPECT_EQ(world.io.LastError(), 5u);
  world.io.HoldDeviceElsewhere("ZlkVmDrv", false);
  EXPECT_NE(OpenDevice(), kInvalidHandleValue);
}

TEST_F(SimWindowsTest, NoDeviceBeforeTheDriverRuns) {
  EXPECT_EQ(OpenDevice(), kInvalidHandleValue);
  EXPECT_EQ(world.io.LastError(), 2u);
}

TEST_F(SimWindowsTest, BufferedRequestCopiesBackOnlyWhatTheDriverReturned) {
  const Handle device = StartAndOpen();
  board.memory[0xF0010] = 0xC3;
  const std::uint32_t in[3] = {0xF0010, 0, 1};
  std::uint8_t out[32];
  std::memset(out, 0xEE, sizeof out);
  std::uint32_t returned = 99;
  ASSERT_TRUE(
      world.io.DeviceIoControl(device, dp::IOCTL_READ_PHYSICAL_MEMORY, in, 12, out, 32, &returned));
  EXPECT_EQ(returned, 1u);
  EXPECT_EQ(out[0], 0xC3);
  EXPECT_EQ(out[1], 0xEE);  // past the bytes returned nothing is copied
}

TEST_F(SimWindowsTest, FailingStatusesBecomeFalseWithTheirWin32Errors) {
  const Handle device = StartAndOpen();
  std::uint8_t buffer[16] = {};
  std::uint8_t out[16];
  std::memset(out, 0xEE, sizeof out);
  std::uint32_t returned = 99;
  EXPECT_FALSE(
      world.io.DeviceIoControl(device, dp::ControlCode(0xA08), buffer, 16, out, 16, &returned));
  EXPECT_EQ(world.io.LastError(), 1u);  // STATUS_INVALID_DEVICE_REQUEST
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_FALSE(world.io.DeviceIoControl(device, dp::IOCTL_READ_PHYSICAL_MEMORY, buffer, 11, out,
                                        16, &returned));
  EXPECT_EQ(world.io.LastError(), 87u);
  EXPECT_EQ(sim::Win32ErrorOfNtStatus(0xC000009A), 1450u);
  EXPECT_FALSE(world.io.DeviceIoControl(0x1234, dp::IOCTL_READ_PHYSICAL_MEMORY, buffer, 12, out,
                                        16, nullptr));
  EXPECT_EQ(world.io.LastError(), 6u);
}

// The I/O manager checks the access a code declares against the handle's before the driver sees
// the request: the control byte needs a handle opened for writing, reads one opened for reading.
TEST_F(SimWindowsTest, RequestsNeedTheAccessTheirCodeDeclares) {
  service = CreateDriverService();
  ASSERT_TRUE(world.services.StartServiceA(service));
  const Handle reader =
      world.io.CreateFileA(kDevicePath, win::kGenericRead, 0, win::kOpenExisting, 0);
  ASSERT_NE(reader, kInvalidHandleValue);
  const std::size_t served = world.kernel.Completions().size();
  dp::ControlByteRequest update{0xF0010, 0, 0x08, 0, 0, 0};
  EXPECT_FALSE(world.io.DeviceIoControl(reader, dp::IOCTL_UPDATE_CONTROL_BYTE, &update, 12,
                                        &update, 12, nullptr));
  EXPECT_EQ(world.io.LastError(), 5u);
  EXPECT_EQ(world.kernel.Completions().size(), served);
  const std::uint32_t read[3] = {0xF0010, 0, 1};
  std::uint8_t byte = 0;
  EXPECT_TRUE(world.io.DeviceIoControl(reader, dp::IOCTL_READ_PHYSICAL_MEMORY, read, 12, &byte, 1,
                                       nullptr));
}

TEST_F(SimWindowsTest, StopWithTheDeviceOpenIsPendingUntilTheLastClose) {
  const Handle device = StartAndOpen();
  ASSERT_TRUE(world.services.ControlService(service, win::kServiceControlStop));
  EXPECT_EQ(world.services.Find("ZlkVmDrv")->state, SimServiceState::kStopPending);
  EXPECT_TRUE(world.services.DriverLoaded("ZlkVmDrv"));
  EXPECT_EQ(OpenDevice(), kInvalidHandleValue);
  EXPECT_EQ(world.io.LastError(), 2u);
  world.io.CloseHandle(device);
  EXPECT_FALSE(world.services.DriverLoaded("ZlkVmDrv"));
  EXPECT_EQ(world.devices.Count(), 0u);
  EXPECT_EQ(world.services.Find("ZlkVmDrv")->state, SimServiceState::kStopped);
}

TEST_F(SimWindowsTest, DeletedServiceGoesWhenStoppedAndItsHandlesClosed) {
  world.io.CloseHandle(StartAndOpen());
  ASSERT_TRUE(world.services.DeleteService(service));
  EXPECT_FALSE(world.services.DeleteService(service));
  EXPECT_EQ(world.services.GetLastError(), 1072u);
  EXPECT_EQ(world.services.CreateServiceA(manager, "ZlkVmDrv", "ZlkVmDrv", 0, 1, 3, 1, "x"), 0u);
  EXPECT_EQ(world.services.GetLastError(), 1072u);
  ASSERT_TRUE(world.services.ControlService(service, win::kServiceControlStop));
  EXPECT_NE(world.services.Find("ZlkVmDrv"), nullptr);  // our handle keeps it
  world.services.CloseServiceHandle(service);
  world.services.CloseServiceHandle(manager);
  EXPECT_EQ(world.services.ServiceCount(), 0u);
  EXPECT_EQ(world.services.OpenHandleCount(), 0u);
}

TEST_F(SimWindowsTest, ManagerFaultsAndBadHandles) {
  world.services.RefuseManager();
  EXPECT_EQ(world.services.OpenSCManagerA(win::kScManagerAllAccess), 0u);
  EXPECT_EQ(world.services.GetLastError(), 5u);
  EXPECT_EQ(world.services.CreateServiceA(0, "ZlkVmDrv", "ZlkVmDrv", 0, 1, 3, 1, "x"), 0u);
  EXPECT_EQ(world.services.GetLastError(), 6u);
  world.services.RefuseManager(false);
  world.services.FailStart(1275);
  service = CreateDriverService();
  EXPECT_FALSE(world.services.StartServiceA(service));
  EXPECT_EQ(world.services.GetLastError(), 1275u);
  EXPECT_FALSE(world.services.ControlService(service, win::kServiceControlStop));
  EXPECT_EQ(world.services.GetLastError(), 1062u);
}

TEST_F(SimWindowsTest, ReadingOutsideEveryViewIsAnAccessViolation) {
  std::uint8_t byte;
  EXPECT_THROW(world.memory.Read(0x20000000, &byte, 1), sim::SimAccessViolation);
  const auto base = world.process.MapView(0xF0000, 0x1000, sim::kUserViews);
  ASSERT_TRUE(base.has_value());
  EXPECT_NO_THROW(world.memory.Read(*base + 0xFFF, &byte, 1));
  try {
    std::uint8_t two[2];
    world.memory.Read(*base + 0xFFF, two, 2);
    FAIL() << "a read running past the view was allowed";
  } catch (const sim::SimAccessViolation& violation) {
    EXPECT_EQ(violation.address, *base + 0x1000);
    EXPECT_FALSE(violation.write);
  }
}

TEST_F(SimWindowsTest, ViewsAreGranuleAlignedReusedAndUnmappedByAnyInnerAddress) {
  auto& space = world.process;
  const auto a = space.MapView(0, 0x11000, sim::kUserViews);  // needs two granules
  const auto b = space.MapView(0x100000, 1, sim::kUserViews);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(*a, 0x20000000u);
  EXPECT_EQ(*b, 0x20020000u);
  EXPECT_TRUE(space.UnmapViewContaining(*a + 0x10FFF));
  EXPECT_FALSE(space.UnmapViewContaining(*a));
  EXPECT_EQ(*space.MapView(0x200000, 1, sim::kUserViews), 0x20000000u);
  EXPECT_EQ(space.LiveViewCount(), 2u);
}

TEST(SimWindows9xTest, OpeningAVxdPathWithDeleteOnCloseLoadsItUntilTheClose) {
  kerneltest::FakeBoard board;
  sim::SimDriverWorld world{board, sim::Windows98()};
  const std::string vxd = "C:\\WINDOWS\\SYSTEM\\ZlkVmDrv.vxd";
  world.files.SetFile(vxd, "MZ vxd");
  EXPECT_EQ(world.io.CreateFileA("\\\\.\\" + vxd, 0, 0, 0, 0), kInvalidHandleValue);
  const Handle handle = world.io.CreateFileA("\\\\.\\" + vxd, 0, 0, 0, 0x04000000);
  ASSERT_NE(handle, kInvalidHandleValue);
  EXPECT_EQ(world.io.LoadedVxdCount(), 1u);
  board.memory[0xF5A37] = 0x42;
  std::uint32_t address = 0xF5A37;
  std::uint32_t returned = 0;
  ASSERT_TRUE(world.io.DeviceIoControl(handle, dp::IOCTL_MAP_PHYSICAL_MEMORY, &address, 4, &address,
                                       4, &returned));
  EXPECT_EQ(returned, 4u);
  EXPECT_EQ(address & 0xFFF, 0xA37u);  // the page base plus the offset within the page
  std::uint8_t byte = 0;
  world.memory.Read(address, &byte, 1);
  EXPECT_EQ(byte, 0x42);
  std::uint8_t rest[0x5C9];  // the mapping reaches the end of that one page only
  EXPECT_NO_THROW(world.memory.Read(address, rest, sizeof rest));
  EXPECT_THROW(world.memory.Read(address, rest, sizeof rest + 1), sim::SimAccessViolation);
  ASSERT_TRUE(world.io.DeviceIoControl(handle, dp::IOCTL_UNMAP_PHYSICAL_MEMORY, &address, 4,
                                       nullptr, 0, nullptr));
  EXPECT_EQ(world.process.LiveViewCount(), 0u);
  world.io.CloseHandle(handle);
  EXPECT_EQ(world.io.LoadedVxdCount(), 0u);
}

}  // namespace
}  // namespace velmora
