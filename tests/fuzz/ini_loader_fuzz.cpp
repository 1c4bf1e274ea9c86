// Feeds arbitrary bytes to the hardware configuration loader as the .ini beside the executable,
// then looks values up the way the rest of the program does.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/DebugLog.h"
#include "config/IniInteger.h"
#include "config/InitFile.h"
#include "sim/SimAnsiCodePage.h"
#include "sim/SimFileSystem.h"
#include "sim/SimSystemInfo.h"

namespace {

constexpr const char* kIniPath = "C:\\Program Files\\Velmora\\Velmora.ini";

void Exercise(const velmora::TInitFile& ini, const std::string& probe) {
  (void)ini.ReadString("SupportModel", probe, "");
  (void)ini.ReadInteger("Config", probe, 7);
  (void)ini.ReadBool(probe, "RwDebug", false);
  (void)ini.SectionExists(probe);
  (void)velmora::IniValueToInteger(probe, -3);
  std::uint32_t sum = ini.Config.PCIEBaseAddress + ini.DimmSlotCount;
  for (std::size_t i = 0; i < ini.DimmSlotCount; ++i) sum += ini.DimmSpdAddress.at(i);
  for (const auto& io : ini.IosList) sum += io.IoBase + static_cast<std::uint32_t>(io.Name.size());
  (void)sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  velmora::sim::SimFileSystem files;
  velmora::sim::SimAnsiCodePage codePage;
  velmora::sim::SimSystemInfo system;
  velmora::DebugLogBind(&files, &codePage);
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  files.SetFile(kIniPath, bytes);
  {
    const velmora::TInitFile ini(kIniPath, files, codePage, system);
    Exercise(ini, bytes.substr(0, 16));
  }
  velmora::DebugLogBind(nullptr, nullptr);
  return 0;
}
