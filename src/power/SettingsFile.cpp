#include "power/SettingsFile.h"

#include "ports/WinTypes.h"

namespace velmora {

bool SettingsFileExists(const std::string& path, IFiles& files) {
  // No access asked for: the open only checks that a file is there, whoever holds it open.
  // Folders cannot be opened this way, so a folder does not count.
  const Handle file =
      files.CreateFileA(path, 0, win::kFileShareRead | win::kFileShareWrite | win::kFileShareDelete,
                        win::kOpenExisting, win::kFileAttributeNormal);
  if (file == kInvalidHandleValue) return false;
  files.CloseHandle(file);
  return true;
}

std::string ChooseSettingsFile(const TMemIniFile& hardwareConfig, const std::string& boardName,
                               const std::string& exeDir, IFiles& files) {
  const std::string listed = hardwareConfig.ReadString(kSupportModelSection, boardName, "");
  if (!listed.empty() && SettingsFileExists(exeDir + listed, files)) return exeDir + listed;
  return exeDir + kDefaultSettingsFileName;
}

}  // namespace velmora
