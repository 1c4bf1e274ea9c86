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
  // Where the win32 preset builds; the environment variable VELMORA_WIN32_BUILD_DIR overrides
  // the folder configured into this build.
  static std::filesystem::path Win32BuildDir();
  // A program of the win32 build, looked up in the places the build puts it; the first
  // candidate when none exists (the caller reports the missing file).
  static std::filesystem::path Win32Program(const std::string& fileName);

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
