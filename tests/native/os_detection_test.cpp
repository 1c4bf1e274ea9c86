#include <gtest/gtest.h>

#include "config/DebugLog.h"
#include "config/OsVersion.h"
#include "sim/SimAnsiCodePage.h"
#include "sim/SimFileSystem.h"
#include "sim/SimSystemInfo.h"

namespace velmora {
namespace {

constexpr char kLog[] = "C:\\Velmora\\RwDebug.rw";

// Detection with an open debug log, so its lines can be read back.
class OsDetection : public ::testing::Test {
 protected:
  void SetUp() override {
    DebugLogBind(&files, &codePage);
    DebugLogOpen(kLog);
  }
  void TearDown() override {
    DebugLogClose();
    DebugLogBind(nullptr, nullptr);
  }
  std::string LogText() { return files.Contents(kLog).value_or("<no log>"); }

  sim::SimFileSystem files;
  sim::SimAnsiCodePage codePage;
};

TEST_F(OsDetection, SixtyFourBitSevenWritesItsThreeLogLines) {
  sim::SimSystemInfo system(sim::Windows7X64());
  TOsVersion os(system);
  EXPECT_EQ(os.OsType, otNt6X64);
  EXPECT_EQ(os.CodeName, "WNT_6.1A");
  EXPECT_EQ(os.DisplayName, "Windows 7");
  EXPECT_EQ(os.IsWow64, 1);
  EXPECT_EQ(os.NativeInfo.wProcessorArchitecture, 9);
  EXPECT_EQ(os.ServicePackMajor, 1u);
  EXPECT_EQ(LogText(), "Detecting OS\r\nMajor=6, Minor=1, 64bit=1\r\nOS = 6\r\n");
}

TEST_F(OsDetection, BindsTheOptionalFunctionsByNameInTheirModules) {
  sim::SimSystemInfo system(sim::Windows7X86());
  TOsVersion os(system);
  EXPECT_EQ(os.OsType, otNt6X86);
  EXPECT_EQ(os.CodeName, "WNT_6.1");
  EXPECT_EQ(system.ModuleQueries(), (std::vector<std::string>{"kernel32.dll", "kernel32"}));
}

TEST_F(OsDetection, MissingNativeInfoFallsBackToTheEmulatedRecord) {
  sim::SimWindowsRelease release = sim::WindowsXpX86();
  release.kernel32Exports.erase("GetNativeSystemInfo");
  release.nativeArchitecture = 9;     // what the native call would have said
  release.emulatedArchitecture = 0;   // what GetSystemInfo says
  sim::SimSystemInfo system(release);
  TOsVersion os(system);
  EXPECT_EQ(os.NativeInfo.wProcessorArchitecture, 0);
  EXPECT_EQ(os.OsType, otNt5X86);
  EXPECT_EQ(os.DisplayName, "Windows XP");
}

TEST_F(OsDetection, MissingOrFailingWow64QueryMeansNotWow64) {
  for (bool missing : {true, false}) {
    sim::SimWindowsRelease release = sim::Windows7X64();
    if (missing) {
      release.kernel32Exports.erase("IsWow64Process");
    } else {
      release.isWow64ProcessFails = true;
    }
    sim::SimSystemInfo system(release);
    TOsVersion os(system);
    EXPECT_EQ(os.IsWow64, 0) << missing;
    EXPECT_EQ(os.OsType, otNt6X86) << missing;
  }
}

TEST_F(OsDetection, FailedVersionQueryGivesNineXWithUnknownCode) {
  sim::SimWindowsRelease release = sim::Windows7X64();
  release.versionQueryWorks = false;
  sim::SimSystemInfo system(release);
  TOsVersion os(system);
  EXPECT_EQ(os.OsType, otWin9x);
  EXPECT_EQ(os.CodeName, "Unknown");
  EXPECT_EQ(os.DisplayName, "");
  EXPECT_EQ(os.IsWow64, 0);
  EXPECT_EQ(os.ServicePackMajor, 0u);
  EXPECT_EQ(LogText(), "Detecting OS\r\nOS = 0\r\n");
}

TEST_F(OsDetection, AsksForTheExtendedRecordOf156Bytes) {
  // Windows 98 knows only the short record: the extended query fails and the 9x type follows.
  sim::SimSystemInfo system(sim::Windows98());
  TOsVersion os(system);
  EXPECT_EQ(system.GetVersionExCalls(), 1);
  EXPECT_EQ(os.OsType, otWin9x);
  EXPECT_EQ(os.CodeName, "Unknown");
}

TEST_F(OsDetection, NineXThatAcceptsTheRecordKeepsServicePackAndMediaCenterAtZero) {
  sim::SimWindowsRelease release = sim::Windows98();
  release.acceptsExtendedVersionInfo = true;
  release.servicePackMajor = 2;
  release.mediaCenterMetric = 1;
  sim::SimSystemInfo system(release);
  TOsVersion os(system);
  EXPECT_EQ(os.CodeName, "WIN_4.10");
  EXPECT_EQ(os.DisplayName, "Windows 98");
  EXPECT_EQ(os.ServicePackMajor, 0u);
  EXPECT_EQ(os.IsMediaCenter, 0);
}

TEST_F(OsDetection, NtTakesServicePackAndMediaCenterFlag) {
  sim::SimWindowsRelease release = sim::WindowsXpX86();
  release.mediaCenterMetric = 7;
  sim::SimSystemInfo system(release);
  TOsVersion os(system);
  EXPECT_EQ(os.ServicePackMajor, 3u);
  EXPECT_EQ(os.IsMediaCenter, 1);
}

TEST(OsDetectionWithoutLog, DetectsQuietlyWhenTheLogIsOff) {
  sim::SimSystemInfo system(sim::Windows7X64());
  TOsVersion os(system);
  EXPECT_FALSE(DebugLogEnabled());
  EXPECT_EQ(os.OsType, otNt6X64);
}

}  // namespace
}  // namespace velmora
