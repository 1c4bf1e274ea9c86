// Which product settings file a board uses: the hardware configuration may name one per board
// model under [SupportModel] (key = the board's product name); otherwise, and when the named
// file is missing, "Cfg.ini" beside the executable.
#pragma once

#include <string>

#include "config/MemIniFile.h"
#include "ports/FilePort.h"

namespace velmora {

inline constexpr char kSupportModelSection[] = "SupportModel";
inline constexpr char kDefaultSettingsFileName[] = "Cfg.ini";

// exeDir ends with a path delimiter. The hardware configuration (TInitFile) is passed as the
// profile file it is.
std::string ChooseSettingsFile(const TMemIniFile& hardwareConfig, const std::string& boardName,
                               const std::string& exeDir, IFiles& files);

// True when path names an existing file (not a folder).
bool SettingsFileExists(const std::string& path, IFiles& files);

}  // namespace velmora
