#include <gtest/gtest.h>

#include <string>

#include "ConfigTestSupport.h"
#include "config/IniFileLoading.h"
#include "ports/WinTypes.h"

namespace velmora {
namespace {

using configtest::ConfigMachine;
using configtest::kDefaultLogPath;
using configtest::kIniPath;

std::string Utf16Le(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

TEST(InitFileTest, NoFileGivesDefaultsAndNoLog) {
  ConfigMachine machine;
  const auto ini = machine.Load();
  EXPECT_EQ(ini->Config.RwDebug, 0);
  EXPECT_EQ(ini->Config.DetectPCIEBase, 1);
  EXPECT_EQ(ini->Config.ApicAddress, 0xFEC00000u);
  EXPECT_EQ(ini->Config.EC_SC, 0x66);
  EXPECT_EQ(ini->Config.EC_DATA, 0x62);
  EXPECT_EQ(ini->Config.AcpiSciIrq, 9u);
  EXPECT_EQ(ini->Config.RwDebugFile, "RwDebug.rw");
  EXPECT_FALSE(DebugLogEnabled());
  EXPECT_TRUE(machine.files.Paths().empty());
  EXPECT_EQ(machine.files.OpenHandleCount(), 0u);
  ASSERT_NE(ini->OsVersion, nullptr);
}

TEST(InitFileTest, OpensTheFileForReadingOnly) {
  ConfigMachine machine;
  const std::string text = "[Config]\nRwDebug=0\n";
  machine.Load(text);
  ASSERT_EQ(machine.files.CreateFileCalls().size(), 1u);
  const sim::CreateFileCall& call = machine.files.CreateFileCalls()[0];
  EXPECT_EQ(call.path, kIniPath);
  EXPECT_EQ(call.desiredAccess, win::kGenericRead);
  EXPECT_EQ(call.shareMode, win::kFileShareRead);
  EXPECT_EQ(call.creationDisposition, win::kOpenExisting);
  EXPECT_EQ(call.flagsAndAttributes, win::kFileAttributeNormal);
  EXPECT_EQ(machine.files.Contents(kIniPath), text);
  EXPECT_EQ(machine.files.OpenHandleCount(), 0u);
}

TEST(InitFileTest, NarrowFieldsKeepLowBits) {
  ConfigMachine machine;
  const auto ini =
      machine.Load("[Config]\nPciIndexBus=0x1FF\nIoSpaceBase=-1\nAcpiPmBase=0x10400\n");
  EXPECT_EQ(ini->Config.PciIndexBus, 0xFF);
  EXPECT_EQ(ini->Config.IoSpaceBase, 0xFFFF);
  EXPECT_EQ(ini->Config.AcpiPmBase, 0x400);
}

TEST(InitFileTest, ApicAddressForms) {
  struct Case {
    const char* value;
    std::uint32_t expected;
  };
  for (const Case& c : {Case{"4273995776", 0xFEC00000}, Case{"0xFEC00000", 0xFEC00000},
                        Case{"$FEC00000", 0xFEC00000}, Case{"0xFEC01000", 0xFEC01000},
                        Case{"-20971520", 0xFEC00000}, Case{"0x", 0xFEC00000}}) {
    ConfigMachine machine;
    const auto ini = machine.Load(std::string("[Config]\nApicAddress=") + c.value + "\n");
    EXPECT_EQ(ini->Config.ApicAddress, c.expected) << c.value;
  }
}

TEST(InitFileTest, PciExpressBaseIsStoredAsWritten) {
  ConfigMachine machine;
  const auto ini = machine.Load("[Config]\nPCIEBaseAddress=0xE0000000\nDetectPCIEBase=0\n");
  EXPECT_EQ(ini->Config.PCIEBaseAddress, 0xE0000000u);
  EXPECT_EQ(ini->Config.DetectPCIEBase, 0);
}

TEST(InitFileTest, PciExpressBaseZeroIsKeptForTheDriverClient) {
  ConfigMachine machine;
  const auto ini = machine.Load("[Config]\nPCIEBaseAddress=0\n");
  EXPECT_EQ(ini->Config.PCIEBaseAddress, 0u);
}

TEST(InitFileTest, BooleanWordsAreNotNumbers) {
  ConfigMachine machine;
  const auto ini = machine.Load("[Config]\nRwDebug=true\nDetectPCIEBase=no\nPCIIOonPCIE=false\n");
  EXPECT_EQ(ini->Config.RwDebug, 0);
  EXPECT_EQ(ini->Config.DetectPCIEBase, 1);
  EXPECT_EQ(ini->Config.PCIIOonPCIE, 1);
  EXPECT_FALSE(DebugLogEnabled());
}

TEST(InitFileTest, BlanksAroundValueAndAnyLetterCase) {
  ConfigMachine machine;
  const auto ini = machine.Load("[config]\r\n\tec_sc =  0x62 \t\r\nRWDEBUG=2\r\n");
  EXPECT_EQ(ini->Config.EC_SC, 0x62);
  EXPECT_EQ(ini->Config.RwDebug, 1);
}

TEST(InitFileTest, LastKeyAndLastConfigBlockCount) {
  ConfigMachine machine;
  const auto ini =
      machine.Load("[Config]\nEC_DATA=0x10\nAcpiSciIrq=11\n[Config]\nEC_SC=0x20\nEC_SC=0x30\n");
  EXPECT_EQ(ini->Config.EC_SC, 0x30);
  EXPECT_EQ(ini->Config.EC_DATA, 0x62);
  EXPECT_EQ(ini->Config.AcpiSciIrq, 9u);
}

TEST(InitFileTest, SupportModelLookup) {
  ConfigMachine machine;
  const auto ini = machine.Load("[SupportModel]\nZV-B75 =Cfg-B75.ini\nZV-\xE9=Latin.ini\n");
  EXPECT_EQ(ini->ReadString("SupportModel", "zv-b75", ""), "Cfg-B75.ini");
  EXPECT_EQ(ini->ReadString("SupportModel", "ZV-\u00E9", ""), "Latin.ini");
  EXPECT_EQ(ini->ReadString("SupportModel", "ZV-H61", ""), "");
  EXPECT_TRUE(ini->SectionExists("SupportModel"));
}

TEST(InitFileTest, Utf16FileWithOddTrailingByte) {
  ConfigMachine machine;
  const auto ini = machine.Load(Utf16Le("[Config]\r\nCommandFile=ab") + "c");
  EXPECT_EQ(ini->Config.CommandFile, "ab");
}

TEST(InitFileTest, EmptyFileIsEmptyConfiguration) {
  ConfigMachine machine;
  const auto ini = machine.Load("");
  EXPECT_EQ(ini->Config.ApicAddress, 0xFEC00000u);
  EXPECT_EQ(ini->DimmSlotCount, 8);
}

TEST(InitFileTest, BinaryGarbageIsHarmless) {
  std::string garbage;
  for (int round = 0; round < 64; ++round) {
    for (int b = 0; b < 256; ++b) garbage += static_cast<char>((b * 37 + round) & 0xFF);
  }
  ConfigMachine machine;
  const auto ini = machine.Load(garbage);
  EXPECT_EQ(ini->Config.EC_SC, 0x66);
  EXPECT_EQ(ini->DimmSlotCount, 8);
  EXPECT_EQ(machine.files.OpenHandleCount(), 0u);
}

TEST(InitFileTest, HugeLineDoesNotHideLaterKeys) {
  ConfigMachine machine;
  const std::string longValue(4 << 20, 'x');
  const auto ini = machine.Load("[Config]\nActiveList=" + longValue + "\nEC_SC=0x70\n");
  EXPECT_EQ(ini->Config.ActiveList.size(), longValue.size());
  EXPECT_EQ(ini->Config.EC_SC, 0x70);
}

TEST(InitFileTest, FileAboveSizeLimitIsIgnored) {
  std::string text = "[Config]\nEC_SC=0x70\n";
  text.resize(kMaxIniFileBytes + 1, ' ');
  ConfigMachine machine;
  const auto ini = machine.Load(text);
  EXPECT_EQ(ini->Config.EC_SC, 0x66);
  EXPECT_EQ(machine.files.OpenHandleCount(), 0u);
}

TEST(InitFileTest, FileAtSizeLimitIsRead) {
  std::string text = "[Config]\nEC_SC=0x70\n";
  text.resize(kMaxIniFileBytes, ' ');
  ConfigMachine machine;
  const auto ini = machine.Load(text);
  EXPECT_EQ(ini->Config.EC_SC, 0x70);
}

TEST(InitFileTest, FileThatCannotBeOpenedIsEmptyConfiguration) {
  ConfigMachine machine;
  machine.files.FailOpen(kIniPath);
  const auto ini = machine.Load("[Config]\nEC_SC=0x70\n");
  EXPECT_EQ(ini->Config.EC_SC, 0x66);
}

TEST(InitFileTest, FileThatCannotBeReadIsEmptyConfigurationAndClosed) {
  ConfigMachine machine;
  machine.files.FailReads(kIniPath);
  const auto ini = machine.Load("[Config]\nEC_SC=0x70\n");
  EXPECT_EQ(ini->Config.EC_SC, 0x66);
  EXPECT_EQ(machine.files.OpenHandleCount(), 0u);
}

TEST(FolderOfPathTest, KeepsTrailingSeparator) {
  EXPECT_EQ(FolderOfPath("C:\\Program Files\\Velmora\\Velmora.ini"),
            "C:\\Program Files\\Velmora\\");
  EXPECT_EQ(FolderOfPath("C:Velmora.ini"), "C:");
  EXPECT_EQ(FolderOfPath("Velmora.ini"), "");
}

// The debug log.

TEST(InitFileDebugLogTest, CreatedInProgramFolderWithExactArguments) {
  ConfigMachine machine;
  const auto ini = machine.Load("[Config]\nRwDebug=1\n");
  ASSERT_EQ(machine.files.CreateFileCalls().size(), 2u);
  const sim::CreateFileCall& call = machine.files.CreateFileCalls()[1];
  EXPECT_EQ(call.path, kDefaultLogPath);
  EXPECT_EQ(call.desiredAccess, 0x001F01FFu);
  EXPECT_EQ(call.shareMode, 0u);
  EXPECT_EQ(call.creationDisposition, 2u);
  EXPECT_EQ(call.flagsAndAttributes, 0x80000080u);
  EXPECT_TRUE(DebugLogEnabled());
}

TEST(InitFileDebugLogTest, RecreatedAtStartAndOsDetectionWritesFirst) {
  ConfigMachine machine;
  machine.files.SetFile(kDefaultLogPath, "stale line from the last run\r\n");
  const auto ini = machine.Load("[Config]\nRwDebug=1\n");
  const std::string log = machine.files.Contents(kDefaultLogPath).value_or("");
  EXPECT_EQ(log.find("stale"), std::string::npos);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
}

TEST(InitFileDebugLogTest, NamedFileRelativeToProgramFolder) {
  ConfigMachine machine;
  const auto ini = machine.Load("[Config]\nRwDebugFile=trace.log\nRwDebug=1\n");
  EXPECT_TRUE(machine.files.Exists("C:\\Tools\\trace.log"));
  EXPECT_FALSE(machine.files.Exists(kDefaultLogPath));
}

TEST(InitFileDebugLogTest, LinesEndInCrLfInAnsiCodePage) {
  ConfigMachine machine;
  const auto ini = machine.Load("[Config]\nRwDebug=1\n");
  const std::string before = machine.files.Contents(kDefaultLogPath).value_or("");
  DebugLogWrite("RW: \u00C4 \u20AC \u4E2D");
  EXPECT_EQ(machine.files.Contents(kDefaultLogPath), before + "RW: \xC4 \x80 ?\r\n");
}

TEST(InitFileDebugLogTest, DisabledLogWritesNothing) {
  ConfigMachine machine;
  const auto ini = machine.Load("[Config]\nRwDebug=0\n");
  DebugLogWrite("RW: nothing");
  EXPECT_FALSE(machine.files.Exists(kDefaultLogPath));
  EXPECT_EQ(machine.files.CreateFileCalls().size(), 1u);
}

TEST(InitFileDebugLogTest, CreationFailureKeepsLogEnabledAndWritesFailSilently) {
  ConfigMachine machine;
  machine.files.SetFolderReadOnly("C:\\Tools");
  machine.files.SetFile(kIniPath, "[Config]\nRwDebug=1\nEC_SC=0x70\n");
  const auto ini = machine.Load();
  EXPECT_TRUE(DebugLogEnabled());
  DebugLogWrite("RW: lost");
  EXPECT_FALSE(machine.files.Exists(kDefaultLogPath));
  EXPECT_EQ(ini->Config.EC_SC, 0x70);
}

TEST(InitFileDebugLogTest, DestructionClosesTheLog) {
  ConfigMachine machine;
  auto ini = machine.Load("[Config]\nRwDebug=1\n");
  ini.reset();
  EXPECT_FALSE(DebugLogEnabled());
  EXPECT_EQ(machine.files.OpenHandleCount(), 0u);
  const std::string closed = machine.files.Contents(kDefaultLogPath).value_or("");
  DebugLogWrite("RW: after close");
  EXPECT_EQ(machine.files.Contents(kDefaultLogPath), closed);
}

}  // namespace
}  // namespace velmora
