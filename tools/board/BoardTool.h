// velmora-board: loads a simulated board, runs the program's hardware start-up on it
// (configuration, driver client, processor identification, the platform object with its PCI
// scan, SMBIOS reader, ACPI locator and function table) and prints what the program learnt, one
// fact a line. Board warnings go to `err` as "warning: ...".
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace velmora::boardtool {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitDriverFailed = 1;  // the simulated driver could not be opened
inline constexpr int kExitBadArguments = 2;  // wrong command line, unreadable or unusable file

// args without the program name.
int RunBoardTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The configuration text with the debug log switched on (RwDebug=1, default log file) in the
// block of [Config] that counts (the last one), stored as UTF-8 with its byte-order mark.
std::string WithDebugLogOn(const std::string& iniBytes);

}  // namespace velmora::boardtool
