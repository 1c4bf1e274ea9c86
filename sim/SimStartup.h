// The program's hardware start-up on a simulated machine: a simulated Windows on the board, the
// hardware configuration read from the program's folder, the debug log, and the driver client,
// built in the order and with the ports the real start-up uses.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "config/InitFile.h"
#include "hw/ReadWrite.h"
#include "sim/SimAnsiCodePage.h"
#include "sim/SimProcessor.h"
#include "sim/kernel/SimDriverWorld.h"

namespace velmora::sim {

inline constexpr char kSimProgramFolder[] = "C:\\Program Files\\Zelkor\\Velmora\\";
inline constexpr char kSimIniPath[] = "C:\\Program Files\\Zelkor\\Velmora\\Velmora.ini";

class SimStartup {
 public:
  // iniText becomes Velmora.ini beside the program (no file when empty). `io` replaces the
  // simulated Windows' file and device layer, for tests that watch the requests.
  SimStartup(SimMachine& machine, SimWindowsRelease release, const std::string& iniText,
             IFiles* io = nullptr);
  ~SimStartup();
  SimStartup(const SimStartup&) = delete;
  SimStartup& operator=(const SimStartup&) = delete;

  // The configuration object (reads the file, opens the log, detects the OS).
  TInitFile& Configure();
  // The driver client (installs and opens the driver, settles the PCI Express base).
  TReadWrite& ConnectDriver();

  TInitFile& Config() { return *config_; }
  TReadWrite& Driver() { return *readWrite_; }
  // The debug log's lines so far (empty when the log is off); "RwDebugFile" is assumed default.
  std::vector<std::string> LogLines(const std::string& prefix = "") const;

  SimDriverWorld world;
  SimAnsiCodePage codePage;
  SimProcessor processor;

 private:
  IFiles& io_;
  std::unique_ptr<TInitFile> config_;
  std::unique_ptr<TReadWrite> readWrite_;
};

}  // namespace velmora::sim
