// The platform object: decides at start-up whether this is one of the maker's boards and whether
// the firmware publishes its function table, and afterwards is the only way to the control byte
// in that table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/InitFile.h"
#include "hw/ReadWrite.h"
#include "ports/CodePagePort.h"
#include "power/Cpu.h"
#include "power/FunctionTable.h"

namespace velmora {

// Bits of the control byte. Bits 5 to 7 belong to the firmware and are never changed here.
inline constexpr std::uint8_t SleepPendingBit = 0x01;      // our own sleep is under way
inline constexpr std::uint8_t HibernatePendingBit = 0x02;  // our own hibernation is under way
inline constexpr std::uint8_t FastModeBit = 0x04;
inline constexpr std::uint8_t EnabledBit = 0x08;
inline constexpr std::uint8_t BootRequestBit = 0x10;  // set by the firmware only

// Subsystem vendor IDs the maker puts on its boards' PCI functions.
inline constexpr std::uint16_t kMakerSubsystemVendor = 0x7A5E;
inline constexpr std::uint16_t kMakerSubsystemVendorAlt = 0x7A61;

class TZlkSpec {
 public:
  // Scans PCI, reads the board name, switches the SSDT search off on Intel processors, lists the
  // ACPI tables and walks the function table. Never fails: findings are the fields below.
  TZlkSpec(TReadWrite& readWrite, TInitFile& config, TCpu& cpu, IAnsiCodePage& codePage);

  // Each one is a fresh read-modify-write of the control byte in physical memory, so bits the
  // firmware changed meanwhile survive. Without a control entry nothing is touched and the
  // result is false.
  bool SetSleepPending() { return SetBits(SleepPendingBit); }
  bool ClearSleepPending() { return ClearBits(SleepPendingBit); }
  bool SetHibernatePending() { return SetBits(HibernatePendingBit); }
  bool ClearHibernatePending() { return ClearBits(HibernatePendingBit); }
  bool SetFastMode() { return SetBits(FastModeBit); }
  bool SetEnabled() { return SetBits(EnabledBit); }
  bool ClearEnabled() { return ClearBits(EnabledBit); }
  bool ClearBootRequest() { return ClearBits(BootRequestBit); }
  bool IsBootRequest() { return TestBit(BootRequestBit); }

  std::vector<std::uint8_t> TableCopy;  // the function table as read at construction
  std::uint32_t ControlEntryAddress = kNoAddress;
  bool IsMakerBoard = false;
  std::string BoardName;
  bool HasControlEntry = false;

 private:
  bool ScanForMakerBoard();
  bool DeviceHasMakerFunction(std::uint8_t bus, std::uint8_t device);
  void ReadFunctionTable(TInitFile& config);
  // A fresh read of the control byte; false without a control entry or when it cannot be mapped.
  bool ReadControlByte(std::uint8_t& value);
  bool SetBits(std::uint8_t mask);
  bool ClearBits(std::uint8_t mask);
  bool TestBit(std::uint8_t mask);
  std::uint32_t ControlByteAddress() const { return ControlEntryAddress + kControlByteOffset; }

  TReadWrite& readWrite_;
};

}  // namespace velmora
