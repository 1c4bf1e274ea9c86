// Builders for SMBIOS 2.x firmware data: the 31-byte "_SM_" entry point with its "_DMI_"
// intermediate anchor, and a structure table of BIOS (type 0), system (1), baseboard (2) and
// end-of-table (127) structures. A structure is: type, formatted length, 16-bit handle, the rest
// of the formatted area, then its strings, each zero-terminated, the set closed by one more zero
// (two zeros when it has no strings). String fields hold 1-based string numbers, 0 for none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/board/FirmwareBytes.h"

namespace velmora::sim {

struct SmbiosStructure {
  std::uint8_t type = 0;
  std::uint16_t handle = 0;
  Bytes formatted;  // the formatted area after the 4-byte header
  std::vector<std::string> strings;

  // Adds a string to the set and returns its number; an empty text gets number 0 and no string.
  std::uint8_t AddString(const std::string& text);
  Bytes Serialise() const;
};

struct SmbiosIdentity {
  std::string biosVendor = "Zelkor Technology Co., Ltd.";
  std::string biosVersion = "F3";
  std::string biosDate = "05/17/2011";
  std::string systemManufacturer = "Zelkor Technology Co., Ltd.";
  std::string systemProduct = "ZV-H61M";
  std::string systemVersion = "1.0";
  std::string baseboardManufacturer = "Zelkor Technology Co., Ltd.";
  std::string baseboardProduct = "ZV-H61M";
  std::string baseboardVersion = "x.x";
};

SmbiosStructure BuildBiosInformation(const SmbiosIdentity& identity, std::uint16_t handle);
SmbiosStructure BuildSystemInformation(const SmbiosIdentity& identity, std::uint16_t handle);
// Byte 5 of the structure (formatted offset 1) is the product string number.
SmbiosStructure BuildBaseboardInformation(const SmbiosIdentity& identity, std::uint16_t handle);
SmbiosStructure BuildEndOfTable(std::uint16_t handle);

struct SmbiosTable {
  Bytes bytes;
  std::uint16_t structureCount = 0;
  std::uint16_t largestStructure = 0;
};
SmbiosTable BuildSmbiosTable(const std::vector<SmbiosStructure>& structures);
// Types 0, 1, 2 and 127 for identity.
SmbiosTable BuildStandardSmbiosTable(const SmbiosIdentity& identity);

struct SmbiosEntryFields {
  std::uint8_t major = 2;
  std::uint8_t minor = 6;
  std::uint16_t tableLength = 0;
  std::uint32_t tableAddress = 0;
  std::uint16_t structureCount = 0;
  std::uint16_t largestStructure = 0;
};
inline constexpr std::size_t kSmbiosEntrySize = 31;
// Length field 0x1F; checksum at 4 over all 31 bytes; "_DMI_" at 16 with its checksum at 21 over
// bytes 16..30; table length at 0x16, address at 0x18, structure count at 0x1C, BCD revision 0x1E.
Bytes BuildSmbiosEntryPoint(const SmbiosEntryFields& fields);
// Recomputes both checksums after a field changed in place.
void RefreshSmbiosEntryChecksums(Bytes& entry);

}  // namespace velmora::sim
