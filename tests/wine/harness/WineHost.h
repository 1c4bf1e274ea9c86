// What all Wine process tests of one test program share: the template prefix (built once by
// tools/wine-run, under its lock), the X display (the caller's, or one Xvfb for the whole test
// program) and the places of the Windows programs under test.
#pragma once

#include <filesystem>
#include <string>

#include "ChildProcess.h"

namespace velmora::wine_test {

class WineHost {
 public:
  // The one host of this test program; set up on first use. Throws std::runtime_error when
  // the template prefix or the display cannot be provided.
  static WineHost& Get();

  const std::filesystem::path& TemplateDir() const { return templateDir_; }
  const std::string& Display() const { return display_; }

  // The repository, for tools/wine-run.
  static std::filesystem::path SourceDir();

  // Which Wine this machine runs the Windows programs in (tools/wine-arch, once per test
  // program): the 32-bit build in a 32-bit prefix where 32-bit programs can run, else (or when
  // VELMORA_WINE_ARCH=win64 forces it) the 64-bit build in a 64-bit prefix.
  static bool Is64Bit();
  // Wine's loader for that width (Debian's `wine` script prefers the 32-bit one).
  static const char* WineLoader();
  // The reason a test of the 32-bit product itself gives when it is skipped on the 64-bit path.
  static const char* kNeeds32BitProduct;

  // Where the win32 or win64 preset builds (by Is64Bit()); the environment variables
  // VELMORA_WIN32_BUILD_DIR and VELMORA_WIN64_BUILD_DIR override the folders configured into
  // this build.
  static std::filesystem::path WindowsBuildDir();
  // A program of that build, looked up in the places the build puts it; the first candidate
  // when none exists (the caller reports the missing file).
  static std::filesystem::path WindowsProgram(const std::string& fileName);

  WineHost(const WineHost&) = delete;
  WineHost& operator=(const WineHost&) = delete;

 private:
  WineHost();
  void PrepareTemplate();
  void StartXvfb();

  std::filesystem::path templateDir_;
  std::string display_;
  ChildProcess xvfb_;
};

}  // namespace velmora::wine_test
