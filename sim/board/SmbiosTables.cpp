#include "sim/board/SmbiosTables.h"

#include <algorithm>

namespace velmora::sim {

std::uint8_t SmbiosStructure::AddString(const std::string& text) {
  if (text.empty()) return 0;
  strings.push_back(text);
  return static_cast<std::uint8_t>(strings.size());
}

Bytes SmbiosStructure::Serialise() const {
  Bytes bytes = {type, static_cast<std::uint8_t>(4 + formatted.size())};
  Put16(bytes, 2, handle);
  bytes.insert(bytes.end(), formatted.begin(), formatted.end());
  for (const std::string& text : strings) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
  }
  if (strings.empty()) bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

SmbiosStructure BuildBiosInformation(const SmbiosIdentity& id, std::uint16_t handle) {
  SmbiosStructure s{0, handle, Bytes(0x18 - 4, 0), {}};
  s.formatted[0] = s.AddString(id.biosVendor);   // 0x04
  s.formatted[1] = s.AddString(id.biosVersion);  // 0x05
  Put16(s.formatted, 2, 0xE000);                 // 0x06 starting segment
  s.formatted[4] = s.AddString(id.biosDate);     // 0x08
  s.formatted[5] = 0x1F;                         // 0x09 ROM size: 2 MiB
  Put64(s.formatted, 6, 0x000000004BD99E80ull);  // 0x0A characteristics
  s.formatted[14] = 0x83;                        // 0x12 extension byte 1: ACPI, USB legacy
  s.formatted[15] = 0x0D;                        // 0x13 extension byte 2
  s.formatted[16] = 0xFF;                        // 0x14 release major: unknown
  s.formatted[17] = 0xFF;
  s.formatted[18] = 0xFF;
  s.formatted[19] = 0xFF;
  return s;
}

SmbiosStructure BuildSystemInformation(const SmbiosIdentity& id, std::uint16_t handle) {
  SmbiosStructure s{1, handle, Bytes(0x1B - 4, 0), {}};
  s.formatted[0] = s.AddString(id.systemManufacturer);
  s.formatted[1] = s.AddString(id.systemProduct);
  s.formatted[2] = s.AddString(id.systemVersion);
  for (std::size_t i = 0; i < 16; ++i) s.formatted[4 + i] = static_cast<std::uint8_t>(0x30 + i);
  s.formatted[0x18 - 4] = 6;  // wake-up type: power switch
  return s;
}

SmbiosStructure BuildBaseboardInformation(const SmbiosIdentity& id, std::uint16_t handle) {
  SmbiosStructure s{2, handle, Bytes(0x0F - 4, 0), {}};
  s.formatted[0] = s.AddString(id.baseboardManufacturer);  // 0x04
  s.formatted[1] = s.AddString(id.baseboardProduct);       // 0x05
  s.formatted[2] = s.AddString(id.baseboardVersion);       // 0x06
  s.formatted[5] = 0x09;                                   // 0x09 features: hosting, replaceable
  s.formatted[9] = 0x0A;                                   // 0x0D board type: motherboard
  return s;
}

SmbiosStructure BuildEndOfTable(std::uint16_t handle) {
  return SmbiosStructure{127, handle, {}, {}};
}

SmbiosTable BuildSmbiosTable(const std::vector<SmbiosStructure>& structures) {
  SmbiosTable table;
  for (const SmbiosStructure& structure : structures) {
    const Bytes bytes = structure.Serialise();
    table.bytes.insert(table.bytes.end(), bytes.begin(), bytes.end());
    table.largestStructure =
        std::max(table.largestStructure, static_cast<std::uint16_t>(bytes.size()));
    ++table.structureCount;
  }
  return table;
}

SmbiosTable BuildStandardSmbiosTable(const SmbiosIdentity& identity) {
  return BuildSmbiosTable({BuildBiosInformation(identity, 0), BuildSystemInformation(identity, 1),
                           BuildBaseboardInformation(identity, 2), BuildEndOfTable(3)});
}

Bytes BuildSmbiosEntryPoint(const SmbiosEntryFields& f) {
  Bytes entry(kSmbiosEntrySize, 0);
  PutText(entry, 0, "_SM_", 4);
  Put8(entry, 5, static_cast<std::uint8_t>(kSmbiosEntrySize));
  Put8(entry, 6, f.major);
  Put8(entry, 7, f.minor);
  Put16(entry, 8, f.largestStructure);
  PutText(entry, 16, "_DMI_", 5);
  Put16(entry, 0x16, f.tableLength);
  Put32(entry, 0x18, f.tableAddress);
  Put16(entry, 0x1C, f.structureCount);
  Put8(entry, 0x1E, static_cast<std::uint8_t>((f.major << 4) | (f.minor & 0x0F)));
  RefreshSmbiosEntryChecksums(entry);
  return entry;
}

void RefreshSmbiosEntryChecksums(Bytes& entry) {
  SetChecksum(entry, 16, 15, 21);  // the intermediate part first: the whole sum covers it
  SetChecksum(entry, 0, kSmbiosEntrySize, 4);
}

}  // namespace velmora::sim
