// What the tests of the real Velmora.exe and of VelmoraDemo.exe share: the names and texts the
// program shows to Windows and to the user, and a session with Velmora.exe installed where the
// installer puts it.
#pragma once

#include <string>
#include <vector>

#include "WineHost.h"
#include "WineSession.h"

namespace velmora::wine_test {

inline constexpr char kProgramDir[] = "C:\\Program Files\\Zelkor\\Velmora\\";
inline constexpr char kAppClass[] = "TApplication";
inline constexpr char kAppTitle[] = "ZelkorVelmora";
inline constexpr char kMainClass[] = "TvmMainForm";
inline constexpr char kMainCaption[] = "vmMainForm";
inline constexpr char kBoxCaption[] = "Zelkor Velmora";
inline constexpr char kMutex[] = "ZelkorVelmoraMark";
inline constexpr char kDriverServiceKey[] = "HKLM\\System\\CurrentControlSet\\Services\\ZlkVmDrv";
inline constexpr char kNotForThisPlatform[] = "This utility is not for this platform!";
inline constexpr char kFunctionTableError[] =
    "Function table error, you may need to update system BIOS.";

// The two boxes with which the program refuses a board that is not the maker's, in order.
inline std::vector<std::string> EnglishRefusals() {
  return {kNotForThisPlatform, kFunctionTableError};
}

// Velmora.exe copied into the program directory of a fresh prefix. The product is a 32-bit
// program: on the 64-bit path these tests are skipped, and say why.
class ProgramSession : public WineSession {
 protected:
  void SetUp() override {
    if (WineHost::Is64Bit()) GTEST_SKIP() << WineHost::kNeeds32BitProduct;
    WineSession::SetUp();
    exe = CopyIntoPrefix(VelmoraExe(), kProgramDir);
  }

  std::string exe;
};

}  // namespace velmora::wine_test
