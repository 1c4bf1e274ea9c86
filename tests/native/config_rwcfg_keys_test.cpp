// Every [Config] key: its name, its built-in default and the width of the field it lands in.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ConfigTestSupport.h"

namespace velmora {
namespace {

using configtest::ConfigMachine;

enum class Width { Bool, U8, U16, U32 };

struct NumericKey {
  const char* key;
  Width width;
  std::uint32_t defaultValue;
  std::function<std::uint32_t(const RwCfg&)> field;
};

struct StringKey {
  const char* key;
  const char* defaultValue;
  std::function<std::string(const RwCfg&)> field;
};

#define VELMORA_FIELD(name) [](const RwCfg& c) -> std::uint32_t { return c.name; }

const std::vector<NumericKey>& NumericKeys() {
  static const std::vector<NumericKey> keys = {
      {"OpenLast", Width::Bool, 1, VELMORA_FIELD(OpenLast)},
      {"DefaultInterval", Width::U32, 1000, VELMORA_FIELD(DefaultInterval)},
      {"PciInterval", Width::U32, 1000, VELMORA_FIELD(PciInterval)},
      {"PciIndex", Width::U32, 0, VELMORA_FIELD(PciIndex)},
      {"IEEEOhci1394Guid", Width::Bool, 1, VELMORA_FIELD(IEEEOhci1394Guid)},
      {"EthernetMacAddress", Width::Bool, 1, VELMORA_FIELD(EthernetMacAddress)},
      {"PciIndexInterval", Width::U32, 1000, VELMORA_FIELD(PciIndexInterval)},
      {"PciIndexBus", Width::U8, 255, VELMORA_FIELD(PciIndexBus)},
      {"PciIndexDev", Width::U8, 255, VELMORA_FIELD(PciIndexDev)},
      {"PciIndexFun", Width::U8, 255, VELMORA_FIELD(PciIndexFun)},
      {"PciIndexID", Width::U32, 0xFFFFFFFF, VELMORA_FIELD(PciIndexID)},
      {"PciIndexIndex", Width::U8, 255, VELMORA_FIELD(PciIndexIndex)},
      {"PciIndexData", Width::U8, 255, VELMORA_FIELD(PciIndexData)},
      {"PciIndexStart", Width::U32, 0xFFFFFFFF, VELMORA_FIELD(PciIndexStart)},
      {"PciIndexStep", Width::U8, 255, VELMORA_FIELD(PciIndexStep)},
      {"IoSpaceInterval", Width::U32, 1000, VELMORA_FIELD(IoSpaceInterval)},
      {"IoSpaceBase", Width::U16, 0xFFFF, VELMORA_FIELD(IoSpaceBase)},
      {"AcpiPmBase", Width::U16, 0, VELMORA_FIELD(AcpiPmBase)},
      {"IoIndexInterval", Width::U32, 1000, VELMORA_FIELD(IoIndexInterval)},
      {"IoIndexPort", Width::U16, 0, VELMORA_FIELD(IoIndexPort)},
      {"IoDataPort", Width::U16, 0, VELMORA_FIELD(IoDataPort)},
      {"MemoryInterval", Width::U32, 1000, VELMORA_FIELD(MemoryInterval)},
      {"MemoryBase", Width::U32, 0xFFFFFFFF, VELMORA_FIELD(MemoryBase)},
      {"MemoryIndexInterval", Width::U32, 1000, VELMORA_FIELD(MemoryIndexInterval)},
      {"MemoryIndexIndex", Width::U32, 255, VELMORA_FIELD(MemoryIndexIndex)},
      {"MemoryIndexData", Width::U32, 255, VELMORA_FIELD(MemoryIndexData)},
      {"MemoryIndexStart", Width::U32, 0xFFFFFFFF, VELMORA_FIELD(MemoryIndexStart)},
      {"MemoryIndexStep", Width::U32, 255, VELMORA_FIELD(MemoryIndexStep)},
      {"SuperIoInterval", Width::U32, 1000, VELMORA_FIELD(SuperIoInterval)},
      {"CpuMsrInterval", Width::U32, 1000, VELMORA_FIELD(CpuMsrInterval)},
      {"EcRamInterval", Width::U32, 1000, VELMORA_FIELD(EcRamInterval)},
      {"EC_SC", Width::U16, 0x66, VELMORA_FIELD(EC_SC)},
      {"EC_DATA", Width::U16, 0x62, VELMORA_FIELD(EC_DATA)},
      {"EC_AddressSpaceID", Width::U8, 1, VELMORA_FIELD(EC_AddressSpaceID)},
      {"ApicAddress", Width::U32, 0xFEC00000, VELMORA_FIELD(ApicAddress)},
      {"AcpiSciIrq", Width::U32, 9, VELMORA_FIELD(AcpiSciIrq)},
      {"RemoteOption", Width::U32, 2, VELMORA_FIELD(RemoteOption)},
      {"ComPortBaudRate", Width::U32, 6, VELMORA_FIELD(ComPortBaudRate)},
      {"RemotePcieSupport", Width::Bool, 0, VELMORA_FIELD(RemotePcieSupport)},
      {"RemoteSioSupport", Width::Bool, 0, VELMORA_FIELD(RemoteSioSupport)},
      {"RemoteSMBusSupport", Width::Bool, 0, VELMORA_FIELD(RemoteSMBusSupport)},
      {"ReadComPortInterval", Width::U32, 200, VELMORA_FIELD(ReadComPortInterval)},
      {"ChecksumAmlFile", Width::Bool, 1, VELMORA_FIELD(ChecksumAmlFile)},
      {"ACPIASLDecode", Width::Bool, 1, VELMORA_FIELD(ACPIASLDecode)},
      {"ACPIDecodeRSDP", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeRSDP)},
      {"ACPIDecodeRSDT", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeRSDT)},
      {"ACPIDecodeFACP", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeFACP)},
      {"ACPIDecodeAPIC", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeAPIC)},
      {"ACPIDecodeBOOT", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeBOOT)},
      {"ACPIDecodeSBST", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeSBST)},
      {"ACPIDecodeHPET", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeHPET)},
      {"ACPIDecodeECDT", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeECDT)},
      {"ACPIDecodeMCFG", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeMCFG)},
      {"ACPIDecodeWDRT", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeWDRT)},
      {"ACPIDecodeDBGP", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeDBGP)},
      {"ACPIDecodeSPCR", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeSPCR)},
      {"ACPIDecodeTCPA", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeTCPA)},
      {"ACPIDecodeSPMI", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeSPMI)},
      {"ACPIDecodeCPEP", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeCPEP)},
      {"ACPIDecodeSLIT", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeSLIT)},
      {"ACPIDecodeSLIC", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeSLIC)},
      {"ACPIDecodeSRAT", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeSRAT)},
      {"ACPIDecodeERST", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeERST)},
      {"ACPIDecodeBERT", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeBERT)},
      {"ACPIDecodeHEST", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeHEST)},
      {"ACPIDecodeEINJ", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeEINJ)},
      {"ACPIDecodeDMAR", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeDMAR)},
      {"ACPIDecodeSSDT", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeSSDT)},
      {"ACPIDecodeSSDTEx", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeSSDTEx)},
      {"ACPIDecodeDSDT", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeDSDT)},
      {"ACPIDecodeFACS", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeFACS)},
      {"ACPIDecodeQVZX", Width::Bool, 0, VELMORA_FIELD(ACPIDecodeQVZX)},
      {"ACPIDecodeOEM", Width::Bool, 1, VELMORA_FIELD(ACPIDecodeOEM)},
      {"DetectPCIEBase", Width::Bool, 1, VELMORA_FIELD(DetectPCIEBase)},
      {"PCIEBaseAddress", Width::U32, 0xFFFFFFFF, VELMORA_FIELD(PCIEBaseAddress)},
      {"PCIEMMIOonPCI", Width::Bool, 0, VELMORA_FIELD(PCIEMMIOonPCI)},
      {"PCIIOonPCIE", Width::Bool, 1, VELMORA_FIELD(PCIIOonPCIE)},
      {"RwDebug", Width::Bool, 0, VELMORA_FIELD(RwDebug)},
      {"DisableSmbus", Width::Bool, 0, VELMORA_FIELD(DisableSmbus)},
      {"DisableSuperIo", Width::Bool, 0, VELMORA_FIELD(DisableSuperIo)},
      {"CpuClkDetect", Width::Bool, 1, VELMORA_FIELD(CpuClkDetect)},
      {"CpuClkInterval", Width::U32, 800, VELMORA_FIELD(CpuClkInterval)},
      {"AtaAtapiAhci", Width::Bool, 1, VELMORA_FIELD(AtaAtapiAhci)},
      {"AtaAtapiForceAhci", Width::Bool, 0, VELMORA_FIELD(AtaAtapiForceAhci)},
      {"BckSupport", Width::Bool, 1, VELMORA_FIELD(BckSupport)},
  };
  return keys;
}

#undef VELMORA_FIELD

const std::vector<StringKey>& StringKeys() {
  static const std::vector<StringKey> keys = {
      {"ActiveList", "", [](const RwCfg& c) { return c.ActiveList; }},
      {"CommandFile", "CMD.rw", [](const RwCfg& c) { return c.CommandFile; }},
      {"RwDebugFile", "RwDebug.rw", [](const RwCfg& c) { return c.RwDebugFile; }},
  };
  return keys;
}

// What a field of the given width holds after reading 0x12345678.
std::uint32_t Stored(Width width) {
  switch (width) {
    case Width::Bool:
      return 1;
    case Width::U8:
      return 0x78;
    case Width::U16:
      return 0x5678;
    case Width::U32:
      return 0x12345678;
  }
  return 0;
}

std::string ConfigWithEveryKey(const std::string& numericValue) {
  std::string text = "[Config]\r\n";
  for (const NumericKey& k : NumericKeys())
    text += std::string(k.key) + "=" + numericValue + "\r\n";
  for (const StringKey& k : StringKeys()) text += std::string(k.key) + "=set " + k.key + "\r\n";
  return text;
}

TEST(RwCfgKeysTest, TableCoversAllEightyEightKeys) {
  EXPECT_EQ(NumericKeys().size() + StringKeys().size(), 88u);
}

TEST(RwCfgKeysTest, MissingFileGivesEveryDefault) {
  ConfigMachine machine;
  const auto ini = machine.Load();
  for (const NumericKey& k : NumericKeys()) {
    EXPECT_EQ(k.field(ini->Config), k.defaultValue) << k.key;
  }
  for (const StringKey& k : StringKeys()) {
    EXPECT_EQ(k.field(ini->Config), k.defaultValue) << k.key;
  }
  EXPECT_EQ(ini->Config.PmTimerPort, 0);
  EXPECT_EQ(ini->Config.PmTimerExt, 0);
  EXPECT_EQ(ini->Config.WriteBack, 0);
  EXPECT_EQ(ini->Config.ProgramFolder, "");
}

TEST(RwCfgKeysTest, UnparsableValuesGiveEveryDefault) {
  ConfigMachine machine;
  const auto ini = machine.Load(ConfigWithEveryKey("yes"));
  for (const NumericKey& k : NumericKeys()) {
    EXPECT_EQ(k.field(ini->Config), k.defaultValue) << k.key;
  }
}

TEST(RwCfgKeysTest, EveryKeyIsReadIntoAFieldOfItsWidth) {
  ConfigMachine machine;
  machine.files.FailOpen("C:\\Tools\\set RwDebugFile");  // RwDebug is on: keep the log quiet
  const auto ini = machine.Load(ConfigWithEveryKey("0x12345678"));
  for (const NumericKey& k : NumericKeys()) {
    EXPECT_EQ(k.field(ini->Config), Stored(k.width)) << k.key;
  }
  for (const StringKey& k : StringKeys()) {
    EXPECT_EQ(k.field(ini->Config), std::string("set ") + k.key) << k.key;
  }
}

TEST(RwCfgKeysTest, EveryNumericKeyReadsZero) {
  ConfigMachine machine;
  const auto ini = machine.Load(ConfigWithEveryKey("0"));
  for (const NumericKey& k : NumericKeys()) {
    EXPECT_EQ(k.field(ini->Config), 0u) << k.key;
  }
}

}  // namespace
}  // namespace velmora
