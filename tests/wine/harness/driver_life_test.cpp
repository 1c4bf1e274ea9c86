// The real x86 kernel driver under Wine: driver_life.exe (the program's installer with the
// Win32 adapters and the embedded image) installs, starts, opens, uses and removes it in a
// fresh prefix; the outside is checked here afterwards. Wine's winedevice loads the driver in
// user mode, so requests reach the real dispatch code; its HAL answers port reads with 0.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "MessageBoxes.h"
#include "ProgramSession.h"
#include "WineHost.h"

namespace velmora::wine_test {
namespace {

class DriverLifeTest : public WineSession {
 protected:
  std::string Install() {
    return CopyIntoPrefix(WineHost::WindowsProgram("driver_life.exe"), "C:\\velmora\\");
  }
};

TEST_F(DriverLifeTest, InstallsServesAndRemovesTheRealDriver) {
  const std::string exe = Install();
  const ProcessResult life = Run(exe, {"life"}, 90s);
  EXPECT_EQ(life.exitCode, 0) << life.Describe();
  EXPECT_EQ(life.out.find("FAIL"), std::string::npos) << life.out;
  EXPECT_NE(life.out.find("ok: the service ZlkVmDrv runs"), std::string::npos) << life.out;
  EXPECT_NE(life.out.find("ok: the readable ranges are the BIOS area alone"), std::string::npos)
      << life.out;

  // Nothing of the service is left: the service manager does not know it, and the device
  // directory has no ZlkVmDrv.
  const ProcessResult query = Run("sc", {"query", "ZlkVmDrv"}, 30s);
  EXPECT_EQ(query.out.find("RUNNING"), std::string::npos) << query.Describe();
  EXPECT_EQ(query.out.find("STOPPED"), std::string::npos) << query.Describe();
  const ProcessResult key = Run("reg", {"query", kDriverServiceKey}, 30s);
  EXPECT_NE(key.exitCode, 0) << key.Describe();
}

TEST_F(DriverLifeTest, OsTypeWithoutAnImageWritesNoFileAndFails) {
  const std::string exe = Install();
  ProcessHandle absent = Start(exe, {"absent"});
  // The failure box blocks until it is answered with real input.
  MessageBoxes boxes(*this, "Error");
  const std::vector<std::string> texts = boxes.AnswerUntilEnd(absent, 45s);
  const ProcessResult result = WaitExit(absent, 60s);
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "Driver cannot be loaded, re-install the program may fix the issue, if it "
                       "happens again, report the problem with your system configuration as "
                       "detail as possible."}));
  EXPECT_EQ(result.exitCode, 0) << result.Describe();
  EXPECT_FALSE(std::filesystem::exists(HostPath("C:\\windows\\syswow64\\drivers\\ZlkVmDrv.sys")));
  EXPECT_FALSE(std::filesystem::exists(HostPath("C:\\windows\\system32\\drivers\\ZlkVmDrv.sys")));
}

}  // namespace
}  // namespace velmora::wine_test
