// The [Config] section of the hardware configuration file: hardware-access tuning, the ACPI
// decoding switches, the PCI Express configuration base and the debug log switches. Each field
// starts at the built-in default, so a default-constructed record is what a missing file gives.
// Booleans are bytes holding 0 or 1; numbers keep the low 8, 16 or 32 bits of the value read.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

class TMemIniFile;

struct RwCfg {
  std::uint8_t WriteBack = 0;  // set by start-up; releasing the configuration writes nothing
  std::string ProgramFolder;   // set by start-up, with trailing backslash
  std::uint8_t OpenLast = 1;
  std::string ActiveList;
  std::uint32_t DefaultInterval = 1000;
  std::uint32_t PciInterval = 1000;
  std::uint32_t PciIndex = 0;
  std::uint8_t IEEEOhci1394Guid = 1;
  std::uint8_t EthernetMacAddress = 1;
  std::uint32_t PciIndexInterval = 1000;
  std::uint8_t PciIndexBus = 0xFF;
  std::uint8_t PciIndexDev = 0xFF;
  std::uint8_t PciIndexFun = 0xFF;
  std::uint32_t PciIndexID = 0xFFFFFFFF;
  std::uint8_t PciIndexIndex = 0xFF;
  std::uint8_t PciIndexData = 0xFF;
  std::uint32_t PciIndexStart = 0xFFFFFFFF;
  std::uint8_t PciIndexStep = 0xFF;
  std::uint32_t MemoryIndexInterval = 1000;
  std::uint32_t MemoryIndexIndex = 0xFF;
  std::uint32_t MemoryIndexData = 0xFF;
  std::uint32_t MemoryIndexStart = 0xFFFFFFFF;
  std::uint32_t MemoryIndexStep = 0xFF;
  std::uint32_t IoSpaceInterval = 1000;
  std::uint16_t IoSpaceBase = 0xFFFF;
  std::uint32_t IoIndexInterval = 1000;
  std::uint16_t IoIndexPort = 0;
  std::uint16_t IoDataPort = 0;
  std::uint32_t MemoryInterval = 1000;
  std::uint32_t MemoryBase = 0xFFFFFFFF;
  std::uint32_t SuperIoInterval = 1000;
  std::string CommandFile = "CMD.rw";
  std::uint32_t CpuMsrInterval = 1000;
  std::uint32_t EcRamInterval = 1000;
  std::uint16_t EC_SC = 0x66;    // embedded controller command/status port
  std::uint16_t EC_DATA = 0x62;  // embedded controller data port
  std::uint8_t EC_AddressSpaceID = 1;
  std::uint32_t ApicAddress = 0xFEC00000;  // the I/O APIC with interrupt base 0
  std::uint16_t AcpiPmBase = 0;
  std::uint32_t AcpiSciIrq = 9;
  std::uint16_t PmTimerPort = 0;  // from the FADT, no key
  std::uint16_t PmTimerExt = 0;   // FADT flags & 0x100 (32-bit timer), no key
  std::uint32_t RemoteOption = 2;
  std::uint32_t ComPortBaudRate = 6;
  std::uint8_t RemotePcieSupport = 0;
  std::uint8_t RemoteSioSupport = 0;
  std::uint8_t RemoteSMBusSupport = 0;
  std::uint32_t ReadComPortInterval = 200;
  std::uint8_t ChecksumAmlFile = 1;
  std::uint8_t ACPIASLDecode = 1;
  std::uint8_t ACPIDecodeRSDP = 1;
  std::uint8_t ACPIDecodeRSDT = 1;
  std::uint8_t ACPIDecodeFACP = 1;
  std::uint8_t ACPIDecodeAPIC = 1;
  std::uint8_t ACPIDecodeBOOT = 1;
  std::uint8_t ACPIDecodeSBST = 1;
  std::uint8_t ACPIDecodeHPET = 1;
  std::uint8_t ACPIDecodeECDT = 1;
  std::uint8_t ACPIDecodeMCFG = 1;
  std::uint8_t ACPIDecodeWDRT = 1;
  std::uint8_t ACPIDecodeDBGP = 1;
  std::uint8_t ACPIDecodeSPCR = 1;
  std::uint8_t ACPIDecodeTCPA = 1;
  std::uint8_t ACPIDecodeSPMI = 1;
  std::uint8_t ACPIDecodeCPEP = 1;
  std::uint8_t ACPIDecodeSLIT = 1;
  std::uint8_t ACPIDecodeSLIC = 1;
  std::uint8_t ACPIDecodeSRAT = 1;
  std::uint8_t ACPIDecodeERST = 1;
  std::uint8_t ACPIDecodeBERT = 1;
  std::uint8_t ACPIDecodeHEST = 1;
  std::uint8_t ACPIDecodeEINJ = 1;
  std::uint8_t ACPIDecodeDMAR = 1;
  std::uint8_t ACPIDecodeSSDT = 1;
  std::uint8_t ACPIDecodeSSDTEx = 1;  // extended decoding of every SSDT
  std::uint8_t ACPIDecodeDSDT = 1;
  std::uint8_t ACPIDecodeFACS = 1;
  std::uint8_t ACPIDecodeQVZX = 0;
  std::uint8_t ACPIDecodeOEM = 1;
  std::uint8_t DetectPCIEBase = 1;  // 1: the driver client finds the PCI Express base itself
  std::uint32_t PCIEBaseAddress = 0xFFFFFFFF;  // 0 or 0xFFFFFFFF: none
  std::uint8_t PCIEMMIOonPCI = 0;
  std::uint8_t PCIIOonPCIE = 1;
  std::uint8_t RwDebug = 0;
  std::string RwDebugFile = "RwDebug.rw";  // relative to the program's folder
  std::uint8_t DisableSmbus = 0;
  std::uint8_t DisableSuperIo = 0;
  std::uint8_t CpuClkDetect = 1;
  std::uint32_t CpuClkInterval = 800;
  std::uint8_t AtaAtapiAhci = 1;
  std::uint8_t AtaAtapiForceAhci = 0;
  std::uint8_t BckSupport = 1;
};

// Reads every [Config] key in the file's documented order. Right after RwDebugFile, when
// RwDebug is on, the debug log is opened as logFolder + RwDebugFile.
RwCfg ReadRwCfg(const TMemIniFile& ini, const std::string& logFolder);

}  // namespace velmora
