// Finds, from the firmware itself, what the driver lets its client read: the legacy BIOS area
// (0xE0000-0xFFFFF); the ACPI root pointer there (the first "RSD PTR " on a 16-byte boundary
// whose first 20 bytes add up to 0) with the RSDT and, from revision 2 on, the XSDT; on firmware
// that keeps no root pointer there (UEFI without legacy support) the RSDT's and XSDT's entries
// from the system's firmware table provider instead; every table the root tables list, the FACS
// and DSDT each FADT names, the PCI Express configuration windows each MCFG lists; the SMBIOS
// entry points ("_SM_", "_SM3_") in 0xF0000-0xFFFFF and the structure tables they name. And the
// control bytes: the data byte of each type-3, length-3 entry of a listed QVZX table.
//
// Firmware can be wrong. A table address in device memory (the PCI Express windows, known first
// from the firmware table provider's MCFG where there is one, and the top of the 4 GiB space
// where every PC has its I/O APIC, HPET, TPM, local APIC and flash) is neither read nor listed:
// those pages are registers, never mapped cached. Every length is bounded, every count capped, a
// table listed twice is taken once, and nothing is followed further than root table -> table ->
// FACS/DSDT, so no list can grow without end or run in a cycle. Every byte is read through
// PhysicalMemory, so a table address that points into RAM reads nothing.
#pragma once

#include <stdint.h>

#include "driver/FirmwareRanges.h"
#include "driver/KernelServices.h"
#include "driver/PhysicalMemory.h"

namespace velmora::driver {

class FirmwareDiscovery {
 public:
  FirmwareDiscovery(KernelServices& kernel, PhysicalMemory& memory)
      : kernel_(kernel), memory_(memory) {}
  FirmwareDiscovery(const FirmwareDiscovery&) = delete;
  FirmwareDiscovery& operator=(const FirmwareDiscovery&) = delete;

  // Replaces the contents of `ranges` with what the firmware describes now.
  void Discover(FirmwareRanges& ranges);

  static constexpr uint64_t kBiosAreaStart = 0xE0000;
  static constexpr uint64_t kBiosAreaEnd = 0x100000;
  // Longer tables are taken as broken (real DSDTs reach about 1 MiB).
  static constexpr uint32_t kMaxTableLength = 4u << 20;
  // Root table entries read; XSDTs list a few dozen tables.
  static constexpr uint32_t kMaxRootEntries = 256;
  // Device registers from here to 4 GiB on every PC; no firmware keeps its tables there.
  static constexpr uint64_t kDeviceHoleStart = 0xFEC00000;
  static constexpr uint64_t kDeviceHoleLast = 0xFFFFFFFF;

 private:
  static constexpr uint32_t kChunk = 4096;

  struct EntryPoints {
    uint64_t rsdp = 0;
    bool found = false;
  };
  void ScanBiosArea(EntryPoints& found);
  void TakeParagraph(uint64_t address, const uint8_t* bytes, EntryPoints& found);
  void TakeRootPointer(uint64_t address, EntryPoints& found);
  void TakeSmbiosEntry(uint64_t address, bool version3);

  void AddRootTables(const EntryPoints& found);
  // The entries of a root table held in entries_ (4 bytes each in an RSDT, 8 in an XSDT).
  void AddListedTables(uint32_t entryBytes, uint32_t width);
  uint32_t ReadRootTable(uint64_t address, const char signature[4], uint32_t width);
  uint32_t ProviderRootTable(uint32_t tableId, uint32_t width);

  // A table the root tables list, and what it names in turn.
  void AddTable(uint64_t address);
  void AddNamedTable(uint64_t address, const char signature[4]);
  void AddFadtTables(uint64_t address, uint32_t length);
  void AddMcfgWindows(uint64_t address, uint32_t length);
  void AddProviderMcfgWindows();
  // The windows of an MCFG whose first `read` bytes are in chunk_.
  void AddWindowsInChunk(uint32_t read);
  bool IsDeviceMemory(uint64_t address, uint64_t length) const;
  void AddControlBytes(uint64_t address, uint32_t length);
  // The table's length from its header (read into header_), 0 when it cannot be read or is not
  // a sane table (of the signature, when one is given).
  uint32_t TableLength(uint64_t address, const char* signature);
  // Reads the first min(length, kChunk) bytes of a table into chunk_; the count read, 0 if none.
  uint32_t ReadIntoChunk(uint64_t address, uint32_t length);

  KernelServices& kernel_;
  PhysicalMemory& memory_;
  FirmwareRanges* ranges_ = nullptr;
  uint8_t header_[36] = {};
  uint8_t chunk_[kChunk] = {};
  uint8_t entries_[8 * kMaxRootEntries] = {};
};

}  // namespace velmora::driver
