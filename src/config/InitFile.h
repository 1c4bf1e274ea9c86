// The hardware configuration object: the optional ini file beside the executable, read once at
// start-up, with its [Config] values, the debug log it switches on, the identity of the running
// Windows and the device definitions. It never writes the file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/DeviceSections.h"
#include "config/MemIniFile.h"
#include "config/OsVersion.h"
#include "config/RwCfg.h"
#include "ports/CodePagePort.h"
#include "ports/FilePort.h"
#include "ports/SystemInfoPort.h"

namespace velmora {

// The profile file as the hardware tools keep it in memory.
class TmiFile : public TMemIniFile {
 public:
  using TMemIniFile::TMemIniFile;
};

// The configuration file of a program: its executable's path with the extension replaced by
// ".ini" (or ".ini" added where the file name has none).
std::string ConfigurationFileOf(const std::string& executablePath);

class TInitFile : public TmiFile {
 public:
  // Loads iniPath (a missing or unreadable file is an empty configuration), reads [Config],
  // opens the debug log when RwDebug is on, detects the OS, then reads the device definitions.
  // The debug log must already be bound to the platform (DebugLogBind).
  TInitFile(const std::string& iniPath, IFiles& files, IAnsiCodePage& codePage,
            ISystemInfo& system);
  // Closes the debug log.
  ~TInitFile() override;

  std::unique_ptr<TOsVersion> OsVersion;
  std::vector<std::string> SioConfigKeys;
  std::vector<IoIDStruc> IoIDList;
  std::vector<PciIDStruc> PciIDList;
  std::vector<MemIDStruc> MemIDList;
  RwCfg Config;
  std::vector<IosStruc> IosList;
  std::vector<MemStruc> MemList;
  std::uint8_t DimmSlotCount = 0;
  std::array<std::uint8_t, kMaxDimmSlots> DimmSpdAddress{};

 private:
  void ReadDeviceDefinitions();
};

}  // namespace velmora
