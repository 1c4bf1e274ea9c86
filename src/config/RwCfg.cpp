#include "config/RwCfg.h"

#include <string_view>

#include "config/DebugLog.h"
#include "config/MemIniFile.h"

namespace velmora {
namespace {

constexpr std::string_view kConfigSection = "Config";

// Reads one key into its field; the field's current content is the key's default.
class ConfigReader {
 public:
  explicit ConfigReader(const TMemIniFile& ini) : ini_(ini) {}

  void Bool(std::string_view key, std::uint8_t& field) const {
    field = ini_.ReadBool(kConfigSection, key, field != 0) ? 1 : 0;
  }
  void U8(std::string_view key, std::uint8_t& field) const {
    field = static_cast<std::uint8_t>(ini_.ReadInteger(kConfigSection, key, field));
  }
  void U16(std::string_view key, std::uint16_t& field) const {
    field = static_cast<std::uint16_t>(ini_.ReadInteger(kConfigSection, key, field));
  }
  void U32(std::string_view key, std::uint32_t& field) const {
    field = static_cast<std::uint32_t>(
        ini_.ReadInteger(kConfigSection, key, static_cast<std::int32_t>(field)));
  }
  void String(std::string_view key, std::string& field) const {
    field = ini_.ReadString(kConfigSection, key, field);
  }

 private:
  const TMemIniFile& ini_;
};

void ReadPciAndMemoryKeys(const ConfigReader& read, RwCfg& cfg) {
  read.Bool("OpenLast", cfg.OpenLast);
  read.String("ActiveList", cfg.ActiveList);
  read.U32("DefaultInterval", cfg.DefaultInterval);
  read.U32("PciInterval", cfg.PciInterval);
  read.U32("PciIndex", cfg.PciIndex);
  read.Bool("IEEEOhci1394Guid", cfg.IEEEOhci1394Guid);
  read.Bool("EthernetMacAddress", cfg.EthernetMacAddress);
  read.U32("PciIndexInterval", cfg.PciIndexInterval);
  read.U8("PciIndexBus", cfg.PciIndexBus);
  read.U8("PciIndexDev", cfg.PciIndexDev);
  read.U8("PciIndexFun", cfg.PciIndexFun);
  read.U32("PciIndexID", cfg.PciIndexID);
  read.U8("PciIndexIndex", cfg.PciIndexIndex);
  read.U8("PciIndexData", cfg.PciIndexData);
  read.U32("PciIndexStart", cfg.PciIndexStart);
  read.U8("PciIndexStep", cfg.PciIndexStep);
  read.U32("IoSpaceInterval", cfg.IoSpaceInterval);
  read.U16("IoSpaceBase", cfg.IoSpaceBase);
  read.U16("AcpiPmBase", cfg.AcpiPmBase);
  read.U32("IoIndexInterval", cfg.IoIndexInterval);
  read.U16("IoIndexPort", cfg.IoIndexPort);
  read.U16("IoDataPort", cfg.IoDataPort);
  read.U32("MemoryInterval", cfg.MemoryInterval);
  read.U32("MemoryBase", cfg.MemoryBase);
  read.U32("MemoryIndexInterval", cfg.MemoryIndexInterval);
  read.U32("MemoryIndexIndex", cfg.MemoryIndexIndex);
  read.U32("MemoryIndexData", cfg.MemoryIndexData);
  read.U32("MemoryIndexStart", cfg.MemoryIndexStart);
  read.U32("MemoryIndexStep", cfg.MemoryIndexStep);
}

void ReadControllerAndRemoteKeys(const ConfigReader& read, RwCfg& cfg) {
  read.U32("SuperIoInterval", cfg.SuperIoInterval);
  read.String("CommandFile", cfg.CommandFile);
  read.U32("CpuMsrInterval", cfg.CpuMsrInterval);
  read.U32("EcRamInterval", cfg.EcRamInterval);
  read.U16("EC_SC", cfg.EC_SC);
  read.U16("EC_DATA", cfg.EC_DATA);
  read.U8("EC_AddressSpaceID", cfg.EC_AddressSpaceID);
  read.U32("ApicAddress", cfg.ApicAddress);
  read.U32("AcpiSciIrq", cfg.AcpiSciIrq);
  read.U32("RemoteOption", cfg.RemoteOption);
  read.U32("ComPortBaudRate", cfg.ComPortBaudRate);
  read.Bool("RemotePcieSupport", cfg.RemotePcieSupport);
  read.Bool("RemoteSioSupport", cfg.RemoteSioSupport);
  read.Bool("RemoteSMBusSupport", cfg.RemoteSMBusSupport);
  read.U32("ReadComPortInterval", cfg.ReadComPortInterval);
}

void ReadAcpiDecodingKeys(const ConfigReader& read, RwCfg& cfg) {
  read.Bool("ChecksumAmlFile", cfg.ChecksumAmlFile);
  read.Bool("ACPIASLDecode", cfg.ACPIASLDecode);
  read.Bool("ACPIDecodeRSDP", cfg.ACPIDecodeRSDP);
  read.Bool("ACPIDecodeRSDT", cfg.ACPIDecodeRSDT);
  read.Bool("ACPIDecodeFACP", cfg.ACPIDecodeFACP);
  read.Bool("ACPIDecodeAPIC", cfg.ACPIDecodeAPIC);
  read.Bool("ACPIDecodeBOOT", cfg.ACPIDecodeBOOT);
  read.Bool("ACPIDecodeSBST", cfg.ACPIDecodeSBST);
  read.Bool("ACPIDecodeHPET", cfg.ACPIDecodeHPET);
  read.Bool("ACPIDecodeECDT", cfg.ACPIDecodeECDT);
  read.Bool("ACPIDecodeMCFG", cfg.ACPIDecodeMCFG);
  read.Bool("ACPIDecodeWDRT", cfg.ACPIDecodeWDRT);
  read.Bool("ACPIDecodeDBGP", cfg.ACPIDecodeDBGP);
  read.Bool("ACPIDecodeSPCR", cfg.ACPIDecodeSPCR);
  read.Bool("ACPIDecodeTCPA", cfg.ACPIDecodeTCPA);
  read.Bool("ACPIDecodeSPMI", cfg.ACPIDecodeSPMI);
  read.Bool("ACPIDecodeCPEP", cfg.ACPIDecodeCPEP);
  read.Bool("ACPIDecodeSLIT", cfg.ACPIDecodeSLIT);
  read.Bool("ACPIDecodeSLIC", cfg.ACPIDecodeSLIC);
  read.Bool("ACPIDecodeSRAT", cfg.ACPIDecodeSRAT);
  read.Bool("ACPIDecodeERST", cfg.ACPIDecodeERST);
  read.Bool("ACPIDecodeBERT", cfg.ACPIDecodeBERT);
  read.Bool("ACPIDecodeHEST", cfg.ACPIDecodeHEST);
  read.Bool("ACPIDecodeEINJ", cfg.ACPIDecodeEINJ);
  read.Bool("ACPIDecodeDMAR", cfg.ACPIDecodeDMAR);
  read.Bool("ACPIDecodeSSDT", cfg.ACPIDecodeSSDT);
  read.Bool("ACPIDecodeSSDTEx", cfg.ACPIDecodeSSDTEx);
  read.Bool("ACPIDecodeDSDT", cfg.ACPIDecodeDSDT);
  read.Bool("ACPIDecodeFACS", cfg.ACPIDecodeFACS);
  read.Bool("ACPIDecodeQVZX", cfg.ACPIDecodeQVZX);
  read.Bool("ACPIDecodeOEM", cfg.ACPIDecodeOEM);
}

void ReadPciExpressAndDebugKeys(const ConfigReader& read, RwCfg& cfg,
                                const std::string& logFolder) {
  read.Bool("DetectPCIEBase", cfg.DetectPCIEBase);
  read.U32("PCIEBaseAddress", cfg.PCIEBaseAddress);
  read.Bool("PCIEMMIOonPCI", cfg.PCIEMMIOonPCI);
  read.Bool("PCIIOonPCIE", cfg.PCIIOonPCIE);
  read.Bool("RwDebug", cfg.RwDebug);
  read.String("RwDebugFile", cfg.RwDebugFile);
  // The log opens here, before the rest of the keys, so that everything after can log.
  if (cfg.RwDebug != 0) DebugLogOpen(logFolder + cfg.RwDebugFile);
}

void ReadDeviceSupportKeys(const ConfigReader& read, RwCfg& cfg) {
  read.Bool("DisableSmbus", cfg.DisableSmbus);
  read.Bool("DisableSuperIo", cfg.DisableSuperIo);
  read.Bool("CpuClkDetect", cfg.CpuClkDetect);
  read.U32("CpuClkInterval", cfg.CpuClkInterval);
  read.Bool("AtaAtapiAhci", cfg.AtaAtapiAhci);
  read.Bool("AtaAtapiForceAhci", cfg.AtaAtapiForceAhci);
  read.Bool("BckSupport", cfg.BckSupport);
}

}  // namespace

RwCfg ReadRwCfg(const TMemIniFile& ini, const std::string& logFolder) {
  const ConfigReader read(ini);
  RwCfg cfg;
  ReadPciAndMemoryKeys(read, cfg);
  ReadControllerAndRemoteKeys(read, cfg);
  ReadAcpiDecodingKeys(read, cfg);
  ReadPciExpressAndDebugKeys(read, cfg, logFolder);
  ReadDeviceSupportKeys(read, cfg);
  return cfg;
}

}  // namespace velmora
