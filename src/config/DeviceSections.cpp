#include "config/DeviceSections.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "config/MemIniFile.h"

namespace velmora {
namespace {

// The keys of one section, each read with its record field's initial value as default.
class SectionReader {
 public:
  SectionReader(const TMemIniFile& ini, std::string section)
      : ini_(ini), section_(std::move(section)) {}

  void String(std::string_view key, std::string& field) const {
    field = ini_.ReadString(section_, key, field);
  }
  void U8(std::string_view key, std::uint8_t& field) const {
    field = static_cast<std::uint8_t>(ini_.ReadInteger(section_, key, field));
  }
  void U16(std::string_view key, std::uint16_t& field) const {
    field = static_cast<std::uint16_t>(ini_.ReadInteger(section_, key, field));
  }
  void U32(std::string_view key, std::uint32_t& field) const {
    field = static_cast<std::uint32_t>(
        ini_.ReadInteger(section_, key, static_cast<std::int32_t>(field)));
  }

 private:
  const TMemIniFile& ini_;
  std::string section_;
};

// Sections prefix1, prefix2, ... up to the first one that is missing or holds no line.
template <typename Record, typename ReadKeys>
std::vector<Record> ReadNumberedSections(const TMemIniFile& ini, std::string_view prefix,
                                         ReadKeys readKeys) {
  std::vector<Record> records;
  for (unsigned n = 1;; ++n) {
    std::string section = std::string(prefix) + std::to_string(n);
    if (!ini.SectionExists(section)) break;
    Record record;
    readKeys(SectionReader(ini, std::move(section)), record);
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace

std::vector<IoIDStruc> ReadIoIDList(const TMemIniFile& ini) {
  return ReadNumberedSections<IoIDStruc>(ini, "IOID", [](const SectionReader& read, auto& r) {
    read.String("Name", r.Name);
    read.U16("IndexPort", r.IndexPort);
    read.U16("DataPort", r.DataPort);
    read.String("EnterConfig", r.EnterConfig);
    read.String("ExitConfig", r.ExitConfig);
  });
}

std::vector<PciIDStruc> ReadPciIDList(const TMemIniFile& ini) {
  return ReadNumberedSections<PciIDStruc>(ini, "PCIID", [](const SectionReader& read, auto& r) {
    read.String("Name", r.Name);
    read.U8("Bus", r.Bus);
    read.U8("Dev", r.Dev);
    read.U8("Fun", r.Fun);
    read.U32("ID", r.ID);
    read.U8("IndexRegister", r.IndexRegister);
    read.U8("DataRegister", r.DataRegister);
    read.U32("StartAddress", r.StartAddress);
    read.U8("AddressStep", r.AddressStep);
    read.U32("AccessMode", r.AccessMode);
  });
}

std::vector<MemIDStruc> ReadMemIDList(const TMemIniFile& ini) {
  return ReadNumberedSections<MemIDStruc>(ini, "MEMID", [](const SectionReader& read, auto& r) {
    read.String("Name", r.Name);
    read.U32("IndexRegister", r.IndexRegister);
    read.U32("DataRegister", r.DataRegister);
    read.U32("StartAddress", r.StartAddress);
    read.U32("AddressStep", r.AddressStep);
  });
}

std::string AcpiPmBaseEntryName(std::uint16_t acpiPmBase) {
  char name[32];
  std::snprintf(name, sizeof name, "ACPI PM Base (0x%04X)", static_cast<unsigned>(acpiPmBase));
  return name;
}

std::vector<IosStruc> ReadIosList(const TMemIniFile& ini, std::uint16_t acpiPmBase) {
  std::vector<IosStruc> list;
  if (acpiPmBase != 0) list.push_back(IosStruc{AcpiPmBaseEntryName(acpiPmBase), acpiPmBase});
  auto sections =
      ReadNumberedSections<IosStruc>(ini, "IOS", [](const SectionReader& read, auto& r) {
        read.String("Name", r.Name);
        read.U16("IoBase", r.IoBase);
      });
  list.insert(list.end(), sections.begin(), sections.end());
  return list;
}

std::vector<MemStruc> ReadMemList(const TMemIniFile& ini) {
  return ReadNumberedSections<MemStruc>(ini, "MEM", [](const SectionReader& read, auto& r) {
    read.String("Name", r.Name);
    read.U32("MemoryBase", r.MemoryBase);
  });
}

std::vector<std::string> ReadSioConfigKeys(const TMemIniFile& ini) {
  std::vector<std::string> keys;
  for (unsigned i = 0;; ++i) {
    std::string key = ini.ReadString("SIOConfigKey", "ConfigKey" + std::to_string(i), "");
    if (key.empty()) break;
    keys.push_back(std::move(key));
  }
  return keys;
}

DimmSpdTable ReadDimmSpdTable(const TMemIniFile& ini) {
  DimmSpdTable table;
  const auto count = static_cast<std::uint8_t>(ini.ReadInteger("DIMMSPD", "DimmSlotNum", 8));
  // The table has sixteen entries; a larger count is clamped rather than overrunning it.
  table.slotCount = std::min<std::uint8_t>(count, kMaxDimmSlots);
  for (std::size_t i = 0; i < table.slotCount; ++i) {
    const std::string key = "Dimm" + std::to_string(i + 1) + "Address";
    const auto fallback = static_cast<std::int32_t>(0xA0 + 2 * i);
    table.addresses[i] = static_cast<std::uint8_t>(ini.ReadInteger("DIMMSPD", key, fallback));
  }
  return table;
}

}  // namespace velmora
