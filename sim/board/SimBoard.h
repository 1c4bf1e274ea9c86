// The simulated board behind the simulated kernel: physical memory holding the firmware image,
// the PCI configuration mechanisms, the processor's CPUID answers. Built from a board
// description (the built-in default, a board file, or real firmware dumps).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/board/BoardDescription.h"
#include "sim/board/FirmwareMemoryMap.h"
#include "sim/board/PhysicalLayout.h"
#include "sim/board/SimMachine.h"
#include "sim/board/SimPciBus.h"
#include "sim/board/SimPhysicalMemory.h"

namespace velmora::sim {

class SimBoard : public SimMachine {
 public:
  explicit SimBoard(const BoardDescription& description = DefaultBoardDescription());
  SimBoard(const SimBoard&) = delete;
  SimBoard& operator=(const SimBoard&) = delete;

  void ReadPhysical(std::uint64_t address, void* destination, std::size_t size) override;
  void WritePhysical(std::uint64_t address, const void* source, std::size_t size) override;
  // Ports other than the PCI configuration mechanism read all ones; writes to them are kept
  // in LastPortWrite for inspection.
  std::uint32_t PortIn(std::uint16_t port, unsigned width) override;
  void PortOut(std::uint16_t port, unsigned width, std::uint32_t value) override;
  // Leaf 0: highest leaf and the vendor; 1: signature and logical processor count;
  // 0x80000000: highest extended leaf; 0x80000002-4: the brand. Other leaves give zeros.
  CpuIdRegisters CpuId(std::uint32_t leaf) override;
  // 'ACPI': any placed table by its signature (the first of several; the RSDT the root pointer
  // names); 'RSMB': the SMBIOS structure table behind the raw SMBIOS header; 'FIRM': the 64 KiB
  // segments 0xC0000 and 0xE0000, only on firmware with legacy copies.
  std::optional<std::vector<std::uint8_t>> FirmwareTable(std::uint32_t provider,
                                                         std::uint32_t tableId) override;
  // Derived from where the firmware image lies: see FirmwareMemoryMap::ForLayout.
  const FirmwareMemoryMap& MemoryMap() const override { return memoryMap_; }

  SimPhysicalMemory& Memory() { return memory_; }
  SimPciBus& Pci() { return pci_; }
  const PhysicalLayout& Layout() const { return layout_; }
  const BoardDescription& Description() const { return description_; }

  // What loading the firmware reported (dump oddities, rejected input, unreachable tables).
  const std::vector<std::string>& Warnings() const { return warnings_; }
  std::uint64_t RsdpAddress() const { return rsdpAddress_; }
  std::uint64_t SmbiosEntryAddress() const { return smbiosEntryAddress_; }
  const std::vector<PlacedTable>& AcpiTables() const { return acpiTables_; }

  // The firmware's side of the QVZX control byte (data byte of the last control entry of the
  // first QVZX table); nullopt / no effect when the board has none.
  std::optional<std::uint64_t> ControlByteAddress() const;
  std::optional<std::uint8_t> ControlByte() const;
  void SetControlByte(std::uint8_t value);
  // The firmware asks for a suspend at the next idle (bit 0x10).
  void RaiseBootRequest();

  std::optional<std::uint32_t> LastPortWrite(std::uint16_t port) const;

  // Firmware content a test lays into memory after the board was built: the range becomes the
  // firmware's in the memory map (not RAM), as it would be on a board that put it there.
  void AddFirmwareRange(std::uint64_t address, std::uint64_t size);

 private:
  void BuildPci();
  void BuildSmbios();
  void BuildAcpi();
  void FindControlByte();
  void BuildMemoryMap();
  void RemoveLegacyCopies();
  void NoteSmbiosTable(const std::string& anchor, std::uint64_t address, std::uint32_t length);

  BoardDescription description_;
  SimPhysicalMemory memory_;
  SimPciBus pci_;
  PhysicalLayout layout_;
  FirmwareMemoryMap memoryMap_;
  std::vector<std::string> warnings_;
  std::uint64_t rsdpAddress_ = 0;
  std::uint64_t rsdtAddress_ = 0;  // the root table the root pointer names
  std::uint64_t smbiosEntryAddress_ = 0;
  struct SmbiosTable {
    std::uint64_t address = 0;
    std::uint32_t length = 0;
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
  } smbiosTable_;
  std::uint64_t controlByteAddress_ = 0;
  std::vector<PlacedTable> acpiTables_;
  std::map<std::uint16_t, std::uint32_t> portWrites_;
};

}  // namespace velmora::sim
