#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sim/board/SimBoard.h"
#include "sim/board/SimBoardFile.h"

namespace velmora::sim {
namespace {

TEST(SimBoardFile, EmptyFileIsTheDefaultBoard) {
  const BoardFileResult r = ParseBoardFile("", "");
  EXPECT_TRUE(r.errors.empty());
  EXPECT_EQ(r.description.smbios.identity.baseboardProduct, "ZV-H61M");
  EXPECT_EQ(r.description.ecamBase, 0xE0000000u);
  EXPECT_TRUE(r.description.legacyCopies);
  EXPECT_EQ(r.description.pciFunctions.size(), DefaultBoardDescription().pciFunctions.size());
}

TEST(SimBoardFile, KeysSetStringsAcpiValuesPciAndProcessor) {
  const BoardFileResult r = ParseBoardFile(R"(
[Board]
Uefi = 1
[smbios]
BaseboardProduct = ZV-H61M-R
SystemProduct = Tower
[ACPI]
RsdpRevision = 2
Pm1aEventBlock = 0x400
SciInterrupt = 20
IoApics = 0xFEC00000:0, 0xFEC80000:24
Ecdt = 0
[Qvzx]
Entries = 1:01 00, 3/4:00 00, 3:13
[Pci]
Ecam = none
Function0 = 00:00.0 8086:0100 class=060000
Function2 = 01:00.0 10de:0a65 class=030000 header=80 subsystem=7a61:1234 extended
[Processor]
Vendor = AuthenticAMD
)",
                                           "/boards");
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
  const BoardDescription& d = r.description;
  EXPECT_FALSE(d.legacyCopies);
  EXPECT_EQ(d.smbios.identity.baseboardProduct, "ZV-H61M-R");
  EXPECT_EQ(d.smbios.identity.systemProduct, "Tower");
  EXPECT_EQ(d.acpi.rsdpRevision, 2);
  EXPECT_EQ(d.acpi.fadt.pm1aEventBlock, 0x400u);
  EXPECT_EQ(d.acpi.fadt.sciInterrupt, 20);
  ASSERT_EQ(d.acpi.madtFields.ioApics.size(), 2u);
  EXPECT_EQ(d.acpi.madtFields.ioApics[1].gsiBase, 24u);
  EXPECT_FALSE(d.acpi.ecdt);
  ASSERT_EQ(d.acpi.qvzxEntries.size(), 3u);
  EXPECT_EQ(d.acpi.qvzxEntries[1].length, 4);
  EXPECT_EQ(d.acpi.qvzxEntries[2].data, (Bytes{0x13}));
  EXPECT_FALSE(d.ecamBase);
  EXPECT_FALSE(d.acpi.mcfgBase);
  ASSERT_EQ(d.pciFunctions.size(), 2u);
  const PciFunctionDescription& gpu = d.pciFunctions[1];
  EXPECT_EQ(gpu.location, (PciLocation{1, 0, 0}));
  EXPECT_EQ(gpu.vendorId, 0x10DE);
  EXPECT_EQ(gpu.headerType, 0x80);
  EXPECT_EQ(gpu.subsystemVendorId, 0x7A61);
  EXPECT_EQ(gpu.subsystemId, 0x1234);
  EXPECT_TRUE(gpu.extendedSpace);
  EXPECT_EQ(d.processor.vendor, "AuthenticAMD");

  SimBoard board(d);
  EXPECT_EQ(board.Pci().ReadConfig({1, 0, 0}, 0x2C, 2), 0x7A61u);
  EXPECT_EQ(board.ControlByte(), 0x13);
  EXPECT_EQ(board.Memory().Read32(0xE0000000), 0xFFFFFFFFu);  // no ECAM window
}

TEST(SimBoardFile, DumpPathsAreTakenFromTheBoardFilesFolder) {
  const BoardFileResult r = ParseBoardFile(
      "[Smbios]\nDmidecode = dell.bin\n[Acpi]\nAcpidump = /abs/acpidump.txt\nAddQvzxToDump=1\n",
      "/boards");
  EXPECT_EQ(r.description.dmidecodePath, "/boards/dell.bin");
  EXPECT_EQ(r.description.acpidumpPath, "/abs/acpidump.txt");
  EXPECT_TRUE(r.description.addQvzxToDump);
}

TEST(SimBoardFile, BadValuesAreReportedAndKeepTheDefault) {
  const BoardFileResult r = ParseBoardFile(R"(
[Acpi]
SciInterrupt = 0x10000
PmTimerBlock = twelve
[Qvzx]
Entries = 3:1FF
[Pci]
Ecam = 0xE0001000
Function0 = 00:20.0 8086:0100
)",
                                           "");
  EXPECT_EQ(r.errors.size(), 5u);
  EXPECT_EQ(r.description.acpi.fadt.sciInterrupt, 9);
  EXPECT_EQ(r.description.acpi.fadt.pmTimerBlock, 0x808u);
  EXPECT_EQ(r.description.ecamBase, 0xE0000000u);
  EXPECT_TRUE(r.description.pciFunctions.empty());  // Function keys replace the default list
}

// Which lines a file had that were not understood ("line N: ..." errors), and how many board
// settings it gave.
struct LinesCase {
  const char* name;
  const char* text;
  std::vector<int> notUnderstood;
  std::size_t settingsUsed;
};

std::vector<int> ReportedLines(const BoardFileResult& r) {
  std::vector<int> lines;
  for (const std::string& error : r.errors) {
    if (error.rfind("line ", 0) == 0) lines.push_back(std::stoi(error.substr(5)));
  }
  return lines;
}

TEST(SimBoardFile, LinesNotUnderstoodAreNamedAndUsedSettingsCounted) {
  const LinesCase cases[] = {
      {"three lines of nonsense", "hello\nworld\nfoo bar = 1\n", {1, 2, 3}, 0},
      {"unknown section", "[Mainboard]\nName = X\n", {1, 2}, 0},
      {"misspelt key", "[Acpi]\nRsdpRevison = 2\n", {2}, 0},
      {"key of another section", "[Board]\nRsdpRevision = 2\n", {2}, 0},
      {"line without a value", "[Acpi]\r\nRsdpRevision = 2\r\njunk\r\n", {3}, 1},
      {"earlier block of a repeated section", "[Acpi]\nRsdpRevision = 2\n[acpi]\nMadt = 0\n",
       {2}, 1},
      {"value not understood", "[Acpi]\nSciInterrupt = 0x10000\n", {}, 0},
      {"demo section only", "[Demo]\nControlByte = 0x10\nSimulatedPower = 1\n", {}, 0},
      {"unknown demo key", "[Demo]\nControlBite = 0x10\n", {2}, 0},
      {"comments and blanks", "; a board\n\n[Board]\n  Name = X  \n; end\n", {}, 1},
      {"unbuilt ECDT's ports", "[Acpi]\nEcdt = 0\nEcDataPort = 0x62\n", {}, 1},
      {"function keys", "[Pci]\nFunction0 = 00:00.0 8086:0100\nFunction256 = 00:01.0 8086:0101\n",
       {3}, 1},
      {"empty file", "", {}, 0},
  };
  for (const LinesCase& c : cases) {
    const BoardFileResult r = ParseBoardFile(c.text, "");
    EXPECT_EQ(ReportedLines(r), c.notUnderstood) << c.name;
    EXPECT_EQ(r.settingsUsed, c.settingsUsed) << c.name;
  }
}

TEST(SimBoardFile, ReportsOfAFileOfGarbageAreCapped) {
  std::string text;
  for (int i = 0; i < 500; ++i) text += "garbage\n";
  const BoardFileResult r = ParseBoardFile(text, "");
  EXPECT_EQ(ReportedLines(r).size(), 20u);
  ASSERT_FALSE(r.errors.empty());
  EXPECT_EQ(r.errors.back(), "480 more line(s) not understood; ignored");
}

TEST(SimBoardFile, MissingFileIsNotRead) {
  const BoardFileResult r = LoadBoardFile("/nonexistent/board.ini");
  EXPECT_FALSE(r.read);
  EXPECT_FALSE(r.errors.empty());
}

}  // namespace
}  // namespace velmora::sim
