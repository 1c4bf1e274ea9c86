// Board files: an ini file describing one simulated board (format and example in
// sim/README.md). Every key is optional; what a file leaves out is the built-in default board's.
// Sections: [Board], [Smbios], [Acpi], [Qvzx], [Pci], [Processor]. Relative dump paths are taken
// from the board file's folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/board/BoardDescription.h"

namespace velmora::sim {

struct BoardFileResult {
  bool read = false;  // false when the file could not be read
  BoardDescription description;
  // Values that could not be understood (defaults kept), and lines that were not understood
  // or not used: text outside any section, unknown sections and keys, lines without "=",
  // blocks of a section that a later block of the same name replaces.
  std::vector<std::string> errors;
  std::size_t settingsUsed = 0;  // board keys whose value was taken from the file
};

BoardFileResult ParseBoardFile(std::string_view text, const std::string& folder);
BoardFileResult LoadBoardFile(const std::string& path);

// A number of the board file: decimal, or hexadecimal with "0x" (base 0), or in the given base;
// blanks around it are ignored and the whole text must be the number.
bool ParseBoardNumber(std::string_view text, std::uint64_t& value, int base = 0);

}  // namespace velmora::sim
