#include "config/InitFile.h"

#include "config/DebugLog.h"
#include "config/IniFileLoading.h"

namespace velmora {

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
