#include "power/FunctionTable.h"

namespace velmora {
namespace {

std::uint32_t LengthField(const std::vector<std::uint8_t>& table) {
  if (table.size() < 8) return 0;
  return static_cast<std::uint32_t>(table[4]) | static_cast<std::uint32_t>(table[5]) << 8 |
         static_cast<std::uint32_t>(table[6]) << 16 | static_cast<std::uint32_t>(table[7]) << 24;
}

}  // namespace

std::optional<std::uint32_t> FindControlEntry(const std::vector<std::uint8_t>& table) {
  std::optional<std::uint32_t> control;
  std::size_t cursor = kFunctionTableHeaderLength;
  std::int64_t remaining = std::int64_t{LengthField(table)} - kFunctionTableHeaderLength;
  while (remaining > 0) {
    if (cursor + 2 > table.size()) break;
    const std::uint8_t type = table[cursor];
    const std::uint8_t length = table[cursor + 1];
    if (length == 0 || cursor + length > table.size()) break;
    if (type == kControlEntryType && length == kControlEntryLength) {
      control = static_cast<std::uint32_t>(cursor);
    }
    remaining -= length;
    cursor += length;
  }
  return control;
}

}  // namespace velmora
