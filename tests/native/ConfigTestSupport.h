// A simulated machine for the hardware configuration tests: the program lives in C:\Tools, the
// configuration file beside it is C:\Tools\Velmora.ini, and the debug log is bound to the same
// simulated file system.
#pragma once

#include <memory>
#include <string>

#include "config/DebugLog.h"
#include "config/InitFile.h"
#include "sim/SimAnsiCodePage.h"
#include "sim/SimFileSystem.h"
#include "sim/SimSystemInfo.h"

namespace velmora::configtest {

inline constexpr const char* kIniPath = "C:\\Tools\\Velmora.ini";
inline constexpr const char* kDefaultLogPath = "C:\\Tools\\RwDebug.rw";

struct ConfigMachine {
  sim::SimFileSystem files;
  sim::SimAnsiCodePage codePage;
  sim::SimSystemInfo system;

  ConfigMachine() { DebugLogBind(&files, &codePage); }
  ~ConfigMachine() { DebugLogBind(nullptr, nullptr); }

  std::unique_ptr<TInitFile> Load() {
    return std::make_unique<TInitFile>(kIniPath, files, codePage, system);
  }
  std::unique_ptr<TInitFile> Load(const std::string& fileBytes) {
    files.SetFile(kIniPath, fileBytes);
    return Load();
  }
};

}  // namespace velmora::configtest
