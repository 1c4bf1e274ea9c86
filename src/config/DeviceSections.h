// Hardware described by name in the configuration file: chips behind I/O index/data ports
// (IOID1, IOID2, ...), index/data windows in PCI configuration space (PCIID1, ...) and in
// memory space (MEMID1, ...), named IO and memory ranges (IOS1, ..., MEM1, ...), super-I/O
// configuration key strings ([SIOConfigKey] ConfigKey0, ...) and the SMBus addresses of the
// memory modules' SPD EEPROMs ([DIMMSPD]). A numbered family ends at the first missing or
// empty section.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

class TMemIniFile;

struct IoIDStruc {
  std::string Name;
  std::uint16_t IndexPort = 0;
  std::uint16_t DataPort = 0;
  std::string EnterConfig;
  std::string ExitConfig;
};

// In PCI configuration space the index and data registers are byte offsets.
struct PciIDStruc {
  std::string Name;
  std::uint8_t Bus = 0;
  std::uint8_t Dev = 0;
  std::uint8_t Fun = 0;
  std::uint32_t ID = 0;
  std::uint8_t IndexRegister = 0;
  std::uint8_t DataRegister = 0;
  std::uint32_t StartAddress = 0;
  std::uint8_t AddressStep = 1;
  std::uint32_t AccessMode = 0;
};

// In memory space the index and data registers are 32-bit physical addresses.
struct MemIDStruc {
  std::string Name;
  std::uint32_t IndexRegister = 0;
  std::uint32_t DataRegister = 0;
  std::uint32_t StartAddress = 0;
  std::uint32_t AddressStep = 1;
};

struct IosStruc {
  std::string Name;
  std::uint16_t IoBase = 0;
};

struct MemStruc {
  std::string Name;
  std::uint32_t MemoryBase = 0;
};

inline constexpr std::size_t kMaxDimmSlots = 16;

// The SPD EEPROM addresses in their 8-bit (shifted) SMBus form.
struct DimmSpdTable {
  std::uint8_t slotCount = 0;
  std::array<std::uint8_t, kMaxDimmSlots> addresses{};
};

std::vector<IoIDStruc> ReadIoIDList(const TMemIniFile& ini);
std::vector<PciIDStruc> ReadPciIDList(const TMemIniFile& ini);
std::vector<MemIDStruc> ReadMemIDList(const TMemIniFile& ini);
// The ACPI power-management block comes first when acpiPmBase is nonzero, then IOS1, IOS2, ...
std::vector<IosStruc> ReadIosList(const TMemIniFile& ini, std::uint16_t acpiPmBase);
std::vector<MemStruc> ReadMemList(const TMemIniFile& ini);
std::vector<std::string> ReadSioConfigKeys(const TMemIniFile& ini);
// Eight slots at 0xA0, 0xA2, ... unless [DIMMSPD] says otherwise; never more than 16.
DimmSpdTable ReadDimmSpdTable(const TMemIniFile& ini);

// "ACPI PM Base (0x0800)" for 0x800.
std::string AcpiPmBaseEntryName(std::uint16_t acpiPmBase);

}  // namespace velmora
