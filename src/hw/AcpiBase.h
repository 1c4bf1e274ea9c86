// The ACPI table locator: takes the root table from the system's firmware table provider, or
// finds the root system description pointer in 0xE0000-0xFFFFF and its RSDT; follows root table
// -> tables -> FADT -> FACS and DSDT (and optionally searches for SSDTs after the DSDT), and lists
// every table with its physical address and length. On the way it copies the platform values
// the hardware tools need (PM base, SCI, PM timer, I/O APIC, EC ports) into the configuration.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "config/InitFile.h"
#include "hw/ReadWrite.h"

namespace velmora {

// Entry 0 is the root pointer and entry 1 the root table; their address is kNoAddress (and the
// pointer's length 0) when the root table came from the provider.
struct AcpiTableEntry {
  std::uint32_t Address = 0;
  std::uint32_t Length = 0;
};

inline constexpr std::uint32_t kAcpiHeaderLength = 36;
// Real DSDTs reach about 1 MiB; a length beyond this is a broken table, never copied.
inline constexpr std::uint32_t kMaxAcpiTableLength = 4u << 20;
// Far more tables than any firmware lists; a longer list means a broken or cyclic chain.
inline constexpr std::size_t kMaxAcpiTables = 1024;

class TAcpiBase {
 public:
  TAcpiBase(TReadWrite& readWrite, TInitFile& config);

  // True when a listed table carries the signature; Current is then that entry.
  bool FindTable(const char signature[4]);
  const AcpiTableEntry* CurrentEntry() const;
  // The first bytes of a listed entry: the driver's copy where its address is known, the
  // provider's copy for the root table the provider handed out. Any other entry whose address is
  // unknown is never read: false.
  bool ReadListedTable(std::size_t index, void* buffer, std::uint32_t length) const;

  std::uint8_t DsdtHeader[kAcpiHeaderLength] = {};
  std::uint32_t DsdtAddress = 0;
  std::uint8_t Found = 0;
  std::vector<AcpiTableEntry> Tables;
  std::size_t Current = 0;

 private:
  bool TakeProviderRoot();
  void FindRsdp();
  void BuildTables();
  void Append(std::uint32_t address, std::uint32_t length = 0);
  bool HasHandler(std::size_t index, const std::string& signature) const;
  void Decode(const std::string& signature, const std::vector<std::uint8_t>& table);
  void DecodeRootEntries(const std::vector<std::uint8_t>& table, int width);
  void DecodeFacp(const std::vector<std::uint8_t>& table);
  void DecodeApic(const std::vector<std::uint8_t>& table);
  void DecodeEcdt(const std::vector<std::uint8_t>& table);
  void DecodeDsdt(const std::vector<std::uint8_t>& table);
  void SearchSsdt();

  TReadWrite& rw_;
  TInitFile& config_;
  // The root table as the provider handed it out (entry 1); empty after a search of memory.
  std::vector<std::uint8_t> providedRoot_;
  // Tables whose handler appends entries are decoded once per address, so a root table that
  // lists itself, or any cycle, cannot grow the list forever.
  std::set<std::uint32_t> decoded_;
};

// The signature as text; bytes that are not printable ASCII become '?'.
std::string SignatureText(const std::uint8_t* signature);

}  // namespace velmora
