// The SMBIOS reader: finds the structure table through the "_SM_" entry point in the BIOS area
// (0xF0000-0xFFFFF), copies it, and answers with the board name from the baseboard structure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hw/ReadWrite.h"
#include "ports/CodePagePort.h"

namespace velmora {

class TSmbiosBase {
 public:
  TSmbiosBase(TReadWrite& readWrite, IAnsiCodePage& codePage);

  // The occurrence-th structure (0 = first) of a type in the copied table, or null.
  const std::uint8_t* FindStructure(std::uint8_t type, std::uint32_t occurrence) const;
  // Formatted area plus string set, in bytes; never reaches past the copied table.
  std::uint32_t StructureSize(const std::uint8_t* structure) const;
  std::string GetString(const std::uint8_t* structure, std::uint8_t number) const;
  std::string BaseboardProduct() const;
  std::string BoardName() const;

  std::uint8_t Found = 0;
  // kNoAddress when no anchor holds a valid entry point, or when an anchor's entry point could
  // not be read (the search ends there).
  std::uint32_t EntryPointAddress = kNoAddress;
  std::vector<std::uint8_t> Table;
  std::uint16_t TableLength = 0;
  std::uint32_t TableAddress = 0;

 private:
  std::uint32_t Remaining(const std::uint8_t* at) const;
  IAnsiCodePage& codePage_;
};

}  // namespace velmora
