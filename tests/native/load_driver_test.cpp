// Installing the driver for one run and removing it again, on simulated Windows releases.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "KernelTestSupport.h"
#include "config/DebugLog.h"
#include "hw/DriverImages.h"
#include "hw/LoadDriver.h"
#include "sim/SimAnsiCodePage.h"
#include "sim/kernel/SimDriverWorld.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;

constexpr char kLogPath[] = "C:\\Tools\\RwDebug.rw";
constexpr char kXpDriverFile[] = "C:\\Windows\\system32\\Drivers\\ZlkVmDrv.sys";
constexpr char kDevicePath[] = "\\\\.\\ZlkVmDrv";

const Lines kFreshInstallLog = {
    std::string("Drvier path = ") + kXpDriverFile,
    "Start copy drvier",
    "Write driver file ok",
    "Connect to the Service Control Manager and open the Services database",
    "Create new service object",
    "Create service success",
    "Start the execution of the service",
    "Connect to the driver just installed",
    "Connect driver ok",
};

class LoadDriverTest : public ::testing::Test {
 protected:
  explicit LoadDriverTest(sim::SimWindowsRelease release = sim::WindowsXpX86())
      : world(board, std::move(release)) {
    DebugLogBind(&world.files, &codePage);
    DebugLogOpen(kLogPath);
  }
  ~LoadDriverTest() override {
    loader.reset();
    DebugLogClose();
    DebugLogBind(nullptr, nullptr);
  }

  TLoadDriver& Load(TOsType osType) {
    loader = std::make_unique<TLoadDriver>(world.Host(), osType);
    return *loader;
  }
  Lines Log() const {
    Lines lines;
    std::istringstream text(*world.files.Contents(kLogPath));
    for (std::string line; std::getline(text, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }
  // A service left running by an earlier run, its file gone again.
  void InstallRunningService(const std::string& file) {
    world.files.SetFile(file, "earlier");
    const ScHandle manager = world.services.OpenSCManagerA(win::kScManagerAllAccess);
    const ScHandle service =
        world.services.CreateServiceA(manager, "ZlkVmDrv", "ZlkVmDrv", 0, 1, 3, 1, file);
    ASSERT_TRUE(world.services.StartServiceA(service));
    world.services.CloseServiceHandle(service);
    world.services.CloseServiceHandle(manager);
    world.files.DeleteFileA(file);
  }
  void ExpectLoadFailedBox() {
    ASSERT_EQ(world.messages.Shown().size(), 1u);
    const sim::SimMessageBox& box = world.messages.Shown()[0];
    EXPECT_EQ(box.owner, 0u);
    EXPECT_EQ(box.text,
              "Driver cannot be loaded, re-install the program may fix the issue, if it happens "
              "again, report the problem with your system configuration as detail as possible.");
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.type, 0x10u);
  }
  void ExpectNothingLeft() {
    EXPECT_EQ(world.services.ServiceCount(), 0u);
    EXPECT_EQ(world.devices.Count(), 0u);
    EXPECT_EQ(world.services.OpenHandleCount(), 0u);
    EXPECT_EQ(world.io.OpenDeviceHandleCount(), 0u);
    EXPECT_EQ(world.files.OpenHandleCount(), 1u);  // the debug log
  }

  kerneltest::FakeBoard board;
  sim::SimAnsiCodePage codePage;
  sim::SimDriverWorld world;
  std::unique_ptr<TLoadDriver> loader;
};

TEST_F(LoadDriverTest, FreshInstallOnXpCreatesStartsOpensAndDeletesTheFile) {
  TLoadDriver& driver = Load(otNt5X86);
  ASSERT_NE(driver.DeviceHandle(), kInvalidHandleValue);
  EXPECT_EQ(Log(), kFreshInstallLog);
  const sim::SimService* service = world.services.Find("ZlkVmDrv");
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(service->name, "ZlkVmDrv");
  EXPECT_EQ(service->displayName, "ZlkVmDrv");
  EXPECT_EQ(service->type, 1u);
  EXPECT_EQ(service->startType, 3u);
  EXPECT_EQ(service->errorControl, 1u);
  EXPECT_EQ(service->binaryPath, kXpDriverFile);
  EXPECT_EQ(service->loadedImage.size(), kDriverImageSizeX86);
  EXPECT_FALSE(world.files.Exists(kXpDriverFile));
  EXPECT_TRUE(world.messages.Shown().empty());
  EXPECT_EQ(world.services.OpenHandleCount(), 0u);

  const auto& opens = world.io.CreateFileCalls();
  ASSERT_EQ(opens.size(), 3u);
  EXPECT_EQ(opens[0].path, kXpDriverFile);
  EXPECT_EQ(opens[0].desiredAccess, win::kGenericWrite);
  EXPECT_EQ(opens[0].shareMode, win::kFileShareWrite);
  EXPECT_EQ(opens[0].creationDisposition, win::kCreateAlways);
  EXPECT_EQ(opens[0].flagsAndAttributes, win::kFileAttributeNormal);
  for (int i : {1, 2}) {
    EXPECT_EQ(opens[i].path, kDevicePath);
    EXPECT_EQ(opens[i].desiredAccess, win::kGenericRead | win::kGenericWrite);
    EXPECT_EQ(opens[i].shareMode, 0u);
    EXPECT_EQ(opens[i].creationDisposition, win::kCreateAlways);
    EXPECT_EQ(opens[i].flagsAndAttributes, win::kFileAttributeNormal);
  }
}

TEST_F(LoadDriverTest, DestructionStopsAndDeletesTheServiceLeavingNothing) {
  Load(otNt5X86);
  loader.reset();
  ExpectNothingLeft();
  const Lines expected = {"OpenSCManagerA", "OpenServiceA",       "ControlService",
                          "DeleteService",  "CloseServiceHandle", "CloseServiceHandle"};
  const Lines& calls = world.services.Calls();
  EXPECT_EQ(Lines(calls.end() - 6, calls.end()), expected);
  EXPECT_EQ(Log(), kFreshInstallLog);  // removal writes no log line
}

TEST_F(LoadDriverTest, DriverAlreadyRunningIsOpenedAtOnceAndRemovedAtTheEnd) {
  InstallRunningService(kXpDriverFile);
  const std::size_t callsBefore = world.services.Calls().size();
  TLoadDriver& driver = Load(otNt5X86);
  ASSERT_NE(driver.DeviceHandle(), kInvalidHandleValue);
  EXPECT_EQ(Log(), (Lines{std::string("Drvier path = ") + kXpDriverFile, "Start copy drvier",
                          "Write driver file ok", "First connect driver ok"}));
  EXPECT_EQ(world.services.Calls().size(), callsBefore);
  EXPECT_FALSE(world.files.Exists(kXpDriverFile));
  loader.reset();
  ExpectNothingLeft();
}

TEST_F(LoadDriverTest, WriteProtectedDriverFolderFailsQuietly) {
  world.files.SetFolderReadOnly("C:\\Windows\\system32\\Drivers");
  TLoadDriver& driver = Load(otNt5X86);
  EXPECT_EQ(driver.DeviceHandle(), kInvalidHandleValue);
  EXPECT_EQ(Log(), (Lines{std::string("Drvier path = ") + kXpDriverFile, "Start copy drvier",
                          "Create driver fail"}));
  EXPECT_TRUE(world.messages.Shown().empty());
  EXPECT_TRUE(world.services.Calls().empty());
  loader.reset();
  EXPECT_TRUE(world.services.Calls().empty());
}

TEST_F(LoadDriverTest, ShortWriteIsReportedAndThePartFileRemoved) {
  world.files.FailWrites(kXpDriverFile);
  TLoadDriver& driver = Load(otNt5X86);
  EXPECT_EQ(driver.DeviceHandle(), kInvalidHandleValue);
  EXPECT_EQ(Log().back(), "Write driver file fail");
  EXPECT_FALSE(world.files.Exists(kXpDriverFile));
  EXPECT_TRUE(world.messages.Shown().empty());
  EXPECT_TRUE(world.services.Calls().empty());
}

TEST_F(LoadDriverTest, RefusedManagerEndsInTheErrorBox) {
  world.services.RefuseManager();
  TLoadDriver& driver = Load(otNt5X86);
  EXPECT_EQ(driver.DeviceHandle(), kInvalidHandleValue);
  ExpectLoadFailedBox();
  EXPECT_EQ(Log(), (Lines{std::string("Drvier path = ") + kXpDriverFile, "Start copy drvier",
                          "Write driver file ok",
                          "Connect to the Service Control Manager and open the Services database",
                          "Create new service object"}));
  EXPECT_FALSE(world.files.Exists(kXpDriverFile));
  loader.reset();
  ExpectNothingLeft();
}

TEST_F(LoadDriverTest, FailedCreateClosesTheManagerAndShowsTheBox) {
  world.services.FailCreate(5);
  EXPECT_EQ(Load(otNt5X86).DeviceHandle(), kInvalidHandleValue);
  ExpectLoadFailedBox();
  EXPECT_EQ(world.services.OpenHandleCount(), 0u);
  EXPECT_EQ(Log().back(), "Create new service object");
}

TEST_F(LoadDriverTest, DeviceHeldByAnotherProcessMakesStartAndOpenFail) {
  InstallRunningService(kXpDriverFile);
  ASSERT_TRUE(world.io.HoldDeviceElsewhere("ZlkVmDrv"));
  TLoadDriver& driver = Load(otNt5X86);
  EXPECT_EQ(driver.DeviceHandle(), kInvalidHandleValue);
  ExpectLoadFailedBox();
  EXPECT_EQ(
      Log(),
      (Lines{std::string("Drvier path = ") + kXpDriverFile, "Start copy drvier",
             "Write driver file ok",
             "Connect to the Service Control Manager and open the Services database",
             "Create new service object", "Service exists, Open the handle to the existing service",
             "Start the execution of the service", "Start service fail, error = 1056",
             "Connect to the driver just installed"}));
  EXPECT_EQ(world.services.OpenHandleCount(), 0u);
  loader.reset();
  // The other process's driver is not ours to remove.
  EXPECT_NE(world.services.Find("ZlkVmDrv"), nullptr);
}

// 64-bit Windows refuses to load a driver whose signature it does not trust.
// Windows refusing the image (not trusted, blocked) is the main window's to tell, and the service
// goes at once; any other start failure keeps the load-failure box.
TEST_F(LoadDriverTest, RefusedStartLogsTheErrorCodeAndShowsTheBoxUnlessWindowsRefusedTheImage) {
  world.services.FailStart(577);
  Load(otNt5X86);
  const Lines log = Log();
  EXPECT_EQ(Lines(log.begin() + 6, log.end()),
            (Lines{"Start the execution of the service", "Start service fail, error = 577",
                   "Connect to the driver just installed"}));
  for (const std::uint32_t error : {577u, 1275u, 1058u}) {
    sim::SimDriverWorld fresh{board, sim::Windows7X86()};
    fresh.services.FailStart(error);
    const TLoadDriver driver(fresh.Host(), otNt6X86);
    EXPECT_EQ(driver.DeviceHandle(), kInvalidHandleValue);
    const bool refused = error != 1058;
    EXPECT_EQ(driver.RefusedByWindows(), refused ? error : 0u);
    EXPECT_EQ(fresh.messages.Shown().size(), refused ? 0u : 1u) << error;
    EXPECT_EQ(fresh.services.Find("zlkvmdrv") == nullptr, refused) << error;
    EXPECT_EQ(fresh.services.OpenHandleCount(), 0u);
  }
}

TEST_F(LoadDriverTest, ServiceLeftStoppedByAnEarlierRunIsOpenedAndStarted) {
  const std::string earlierPath = "C:\\Windows\\system32\\Drivers\\ZlkVmDrv.sys";
  const ScHandle manager = world.services.OpenSCManagerA(win::kScManagerAllAccess);
  world.services.CloseServiceHandle(
      world.services.CreateServiceA(manager, "ZlkVmDrv", "Old name", 0, 1, 3, 1, earlierPath));
  world.services.CloseServiceHandle(manager);
  TLoadDriver& driver = Load(otNt5X86);
  ASSERT_NE(driver.DeviceHandle(), kInvalidHandleValue);
  const Lines log = Log();
  EXPECT_EQ(
      Lines(log.begin() + 4, log.end()),
      (Lines{"Create new service object", "Service exists, Open the handle to the existing service",
             "Start the execution of the service", "Connect to the driver just installed",
             "Connect driver ok"}));
  EXPECT_EQ(world.services.Find("ZlkVmDrv")->displayName, "Old name");
  loader.reset();
  ExpectNothingLeft();
}

TEST_F(LoadDriverTest, PathThatWouldOverflowItsBufferIsNeverBuilt) {
  // 239 + \Drivers\ZlkVmDrv.sys (21) = 260 characters: no room for the terminator.
  world.system.Release().systemDirectory = "C:\\" + std::string(236, 'x');
  EXPECT_EQ(Load(otNt5X86).DeviceHandle(), kInvalidHandleValue);
  EXPECT_TRUE(world.io.CreateFileCalls().empty());
  EXPECT_TRUE(world.services.Calls().empty());
  ExpectLoadFailedBox();
}

TEST_F(LoadDriverTest, PathOfExactlyMaxPathMinusOneStillFits) {
  // 238 + "\Drivers\ZlkVmDrv.sys" (21) = 259 characters.
  const std::string folder = "C:\\" + std::string(235, 'x');
  world.system.Release().systemDirectory = folder;
  EXPECT_NE(Load(otNt5X86).DeviceHandle(), kInvalidHandleValue);
  EXPECT_EQ(world.services.Find("ZlkVmDrv")->binaryPath.size(), 259u);
}

TEST_F(LoadDriverTest, FailedDirectoryQueryWritesNothing) {
  world.system.Release().systemDirectory = "";
  EXPECT_EQ(Load(otNt5X86).DeviceHandle(), kInvalidHandleValue);
  EXPECT_TRUE(world.io.CreateFileCalls().empty());
}

class LoadDriverWin7X64Test : public LoadDriverTest {
 protected:
  LoadDriverWin7X64Test() : LoadDriverTest(sim::Windows7X64()) {}
};

TEST_F(LoadDriverWin7X64Test, X64ImageGoesToSysWow64DriversAndIsTheServicePath) {
  const std::string file = "C:\\Windows\\SysWOW64\\Drivers\\ZlkVmDrv.sys";
  ASSERT_NE(Load(otNt6X64).DeviceHandle(), kInvalidHandleValue);
  const sim::SimService* service = world.services.Find("ZlkVmDrv");
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(service->binaryPath, file);
  const DriverImage x64 = EmbeddedDriverImage(otNt6X64);
  EXPECT_EQ(service->loadedImage, std::string(reinterpret_cast<const char*>(x64.data), x64.size));
  EXPECT_EQ(service->loadedImage.size(), 17416u);
  EXPECT_EQ(Log().front(), "Drvier path = " + file);
  loader.reset();
  ExpectNothingLeft();
}

class LoadDriverWin98Test : public LoadDriverTest {
 protected:
  LoadDriverWin98Test() : LoadDriverTest(sim::Windows98()) {}
};

TEST_F(LoadDriverWin98Test, VxdIsWrittenAndLoadedWithDeleteOnCloseWithoutServices) {
  const std::string file = "C:\\WINDOWS\\SYSTEM\\ZlkVmDrv.vxd";
  TLoadDriver& driver = Load(otWin9x);
  ASSERT_NE(driver.DeviceHandle(), kInvalidHandleValue);
  EXPECT_EQ(Log(), (Lines{"Drvier path = " + file, "Start copy drvier", "Write driver file ok",
                          "Connect driver ok"}));
  const auto& opens = world.io.CreateFileCalls();
  ASSERT_EQ(opens.size(), 2u);
  EXPECT_EQ(opens[1].path, "\\\\.\\" + file);
  EXPECT_EQ(opens[1].desiredAccess, 0u);
  EXPECT_EQ(opens[1].shareMode, 0u);
  EXPECT_EQ(opens[1].creationDisposition, 0u);
  EXPECT_EQ(opens[1].flagsAndAttributes, win::kFileFlagDeleteOnClose);
  ASSERT_EQ(world.io.LoadedVxdImages().size(), 1u);
  EXPECT_EQ(world.io.LoadedVxdImages()[0].size(), 5173u);
  EXPECT_FALSE(world.files.Exists(file));
  loader.reset();
  EXPECT_EQ(world.io.LoadedVxdCount(), 0u);
  EXPECT_TRUE(world.services.Calls().empty());
}

TEST(DriverImagesTest, EachOsTypePairSharesOneImageOfItsSize) {
  EXPECT_EQ(EmbeddedDriverImage(otNt5X86).data, EmbeddedDriverImage(otNt6X86).data);
  EXPECT_EQ(EmbeddedDriverImage(otNt5Ia64).size, 24584u);
  EXPECT_EQ(EmbeddedDriverImage(otNt6Ia64).data, EmbeddedDriverImage(otNt5Ia64).data);
  EXPECT_EQ(EmbeddedDriverImage(otNt5X64).data, EmbeddedDriverImage(otNt6X64).data);
  EXPECT_EQ(EmbeddedDriverImage(otNt6X86).size, 15368u);
  EXPECT_EQ(EmbeddedDriverImage(otWin9x).size, 5173u);
  EXPECT_EQ(EmbeddedDriverImage(7).data, nullptr);
}

}  // namespace
}  // namespace velmora
