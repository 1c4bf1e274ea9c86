// The command line of velmora-board: which simulated board to load (and whether its firmware
// keeps legacy copies), which hardware configuration file the simulated program finds beside
// itself, which Windows and processor it runs on, and whether the debug log is shown.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora::boardtool {

struct BoardToolOptions {
  std::string boardFile;       // --board: a board file; empty for the built-in board
  std::string acpidump;        // --acpidump: replaces the board's ACPI tables
  std::string dmidecode;       // --dmi: replaces the board's SMBIOS data
  std::string configFile;      // --config: becomes Velmora.ini of the simulated program
  std::string cpuVendor;       // --cpu: CPUID vendor string; empty keeps the board's
  std::string os = "win7x86";  // --os: win7x86, win7x64, xp or win98
  bool uefi = false;           // --uefi: UEFI firmware without legacy copies in the BIOS area
  bool log = false;            // --log: debug log on, its lines printed after the facts
  bool help = false;           // --help or -h: the usage on standard output, nothing run
};

struct ParsedArguments {
  std::optional<BoardToolOptions> options;  // nullopt when the command line is wrong
  std::string error;                        // why, when it is wrong
};

ParsedArguments ParseBoardToolArguments(const std::vector<std::string>& args);

inline constexpr char kBoardToolUsage[] =
    "usage: velmora-board [--board FILE] [--acpidump FILE] [--dmi FILE] [--config FILE.ini]\n"
    "                     [--cpu VENDOR] [--os win7x86|win7x64|xp|win98] [--uefi] [--log]\n"
    "       velmora-board --help\n"
    "  --uefi  UEFI firmware without legacy support: no ACPI root pointer and no SMBIOS entry\n"
    "          point in the BIOS area, the tables only through Windows' firmware table provider\n";

}  // namespace velmora::boardtool
