#include "config/InitFile.h"

#include "config/DebugLog.h"
#include "config/IniFileLoading.h"

namespace velmora {

std::string ConfigurationFileOf(const std::string& executablePath) {
  const std::size_t dot = executablePath.rfind('.');
  const std::size_t name = executablePath.find_last_of("\\/:");
  if (dot == std::string::npos || (name != std::string::npos && dot < name)) {
    return executablePath + ".ini";
  }
  return executablePath.substr(0, dot) + ".ini";
}

TInitFile::TInitFile(const std::string& iniPath, IFiles& files, IAnsiCodePage& codePage,
                     ISystemInfo& system)
    : TmiFile(LoadIniText(iniPath, files, codePage)) {
  // The log lives in the program's folder, which is the folder of this file.
  Config = ReadRwCfg(*this, FolderOfPath(iniPath));
  OsVersion = std::make_unique<TOsVersion>(system);
  ReadDeviceDefinitions();
}

TInitFile::~TInitFile() {
  DebugLogClose();
}

void TInitFile::ReadDeviceDefinitions() {
  IoIDList = ReadIoIDList(*this);
  PciIDList = ReadPciIDList(*this);
  MemIDList = ReadMemIDList(*this);
  IosList = ReadIosList(*this, Config.AcpiPmBase);
  MemList = ReadMemList(*this);
  SioConfigKeys = ReadSioConfigKeys(*this);
  const DimmSpdTable spd = ReadDimmSpdTable(*this);
  DimmSlotCount = spd.slotCount;
  DimmSpdAddress = spd.addresses;
}

}  // namespace velmora
