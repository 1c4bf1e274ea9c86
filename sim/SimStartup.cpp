#include "sim/SimStartup.h"

#include "config/DebugLog.h"

namespace velmora::sim {

SimStartup::SimStartup(SimMachine& machine, SimWindowsRelease release, const std::string& iniText,
                       IFiles* io)
    : world(machine, std::move(release)), processor(machine), io_(io ? *io : world.io) {
  if (!iniText.empty()) world.files.SetFile(kSimIniPath, iniText);
  DebugLogBind(&world.files, &codePage);
}

SimStartup::~SimStartup() {
  // The driver client's last log lines still reach the log: the configuration goes last.
  readWrite_.reset();
  config_.reset();
  DebugLogBind(nullptr, nullptr);
}

TInitFile& SimStartup::Configure() {
  config_ = std::make_unique<TInitFile>(kSimIniPath, world.files, codePage, world.system);
  return *config_;
}

TReadWrite& SimStartup::ConnectDriver() {
  if (!config_) Configure();
  readWrite_ = std::make_unique<TReadWrite>(
      *config_, HardwarePorts{DriverHost{io_, world.services, world.system, world.messages},
                              world.memory, processor});
  return *readWrite_;
}

std::vector<std::string> SimStartup::LogLines(const std::string& prefix) const {
  std::vector<std::string> lines;
  const std::string text =
      world.files.Contents(std::string(kSimProgramFolder) + "RwDebug.rw").value_or("");
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    const std::string line = text.substr(at, end - at);
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    if (end == std::string::npos) break;
    at = end + 2;
  }
  return lines;
}

}  // namespace velmora::sim
