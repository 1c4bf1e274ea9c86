// The SMBIOS reader: copies the structure table and answers with the board name from the
// baseboard structure. The table comes from the system's firmware table provider ('RSMB') where
// Windows has one; otherwise, or when it hands out nothing usable, through the entry point in
// the BIOS area (0xF0000-0xFFFFF): "_SM_", or "_SM3_" where there is no "_SM_" one.
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
  // kNoAddress when no anchor holds a valid entry point, when an anchor's entry point could not
  // be read (the search ends there), or when the table came from the provider.
  std::uint32_t EntryPointAddress = kNoAddress;
  // The table is the provider's copy (it has no address then).
  bool TableFromProvider = false;
  std::vector<std::uint8_t> Table;
  std::uint32_t TableLength = 0;
  std::uint32_t TableAddress = 0;

 private:
  bool TakeProviderTable(TFirmwareTableProvider& provider);
  void ScanBiosArea(TReadWrite& readWrite);
  std::uint32_t Remaining(const std::uint8_t* at) const;
  IAnsiCodePage& codePage_;
};

}  // namespace velmora
