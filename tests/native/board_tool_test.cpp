// velmora-board against firmware whose facts the tests read themselves: the built-in board's
// bytes, real acpidump and dmidecode samples, and hand-built odd dumps. Tests of the root
// pointer's and the SMBIOS entry point's addresses run on 32-bit XP (`--os xp`), which has no
// firmware table provider: there the program reads the firmware through the BIOS area.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <tuple>

#include "BoardToolTestSupport.h"
#include "tools/board/BoardToolArgs.h"
#include "config/MemIniFile.h"
#include "sim/board/SimBoard.h"

namespace velmora::boardtest {
namespace {

const std::string kSamples = VELMORA_SHARED_DIR "/firmware-samples";

std::string AcpiSample(const std::string& name) {
  return kSamples + "/acpi/" + name + "/acpidump.txt";
}

const DumpTable& Only(const std::vector<DumpTable>& dump, const std::string& signature) {
  for (const DumpTable& table : dump) {
    if (table.signature == signature) return table;
  }
  throw std::runtime_error("no " + signature + " in the dump");
}

std::vector<std::string> Lines(const std::vector<ExpectedTable>& tables, std::size_t first = 0) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < tables.size(); ++i) lines.push_back(AcpiLine(first + i, tables[i]));
  return lines;
}

struct PrintedTable {
  std::string signature;
  std::uint32_t address;
  std::uint32_t length;
};

std::vector<PrintedTable> PrintedTables(const ToolRun& run) {
  static const std::regex line(
      R"(^acpi\[\d+\]: (\S{4}) (none|0x[0-9A-F]{8}) 0x([0-9A-F]{8})$)");
  std::vector<PrintedTable> tables;
  std::smatch m;
  for (const std::string& text : run.Starting("acpi[")) {
    if (!std::regex_match(text, m, line)) ADD_FAILURE() << "malformed: " << text;
    const std::uint32_t address =
        m[2] == "none" ? kNone : static_cast<std::uint32_t>(std::stoul(m[2], nullptr, 16));
    tables.push_back({m[1], address, static_cast<std::uint32_t>(std::stoul(m[3], nullptr, 16))});
  }
  return tables;
}

// ---- the built-in board ----

TEST(BoardToolDefault, PrintsEveryFactOfTheBuiltInBoard) {
  const ToolRun run = RunTool({"--os", "xp"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "board-name: ZV-H61M\n"
            "smbios-entry: 0x000F0480\n"
            "acpi[0]: RSDP 0x000F6A40 0x00000014\n"
            "acpi[1]: RSDT 0xCFF80000 0x0000003C\n"
            "acpi[2]: FACP 0xCFF80040 0x00000074\n"
            "acpi[3]: APIC 0xCFF80100 0x00000052\n"
            "acpi[4]: ECDT 0xCFF80160 0x00000054\n"
            "acpi[5]: MCFG 0xCFF801C0 0x0000003C\n"
            "acpi[6]: QVZX 0xCFF80200 0x0000002B\n"
            "acpi[7]: SSDT 0xCFF80280 0x00000032\n"
            "acpi[8]: FACS 0xCFF800C0 0x00000040\n"
            "acpi[9]: DSDT 0xCFF80230 0x00000043\n"
            "config: AcpiPmBase=0x0800 AcpiSciIrq=9 PmTimerPort=0x0808 PmTimerExt=0x0100 "
            "ApicAddress=0xFEC00000 EC_SC=0x0066 EC_DATA=0x0062 EC_AddressSpaceID=1\n"
            "maker-board: yes\n"
            "control-entry: 0xCFF80228 byte=0x00\n"
            "pcie-base: 0xE0000000\n"
            "requests: 55\n");
}

// The same facts worked out from the bytes the built-in firmware put into physical memory.
TEST(BoardToolDefault, TablesAndConfigFollowTheFirmwareBytes) {
  sim::SimBoard board;
  std::vector<DumpTable> tables;
  for (const sim::PlacedTable& placed : board.AcpiTables()) {
    tables.push_back({placed.signature, placed.address,
                      board.Memory().ReadBytes(placed.address, placed.length)});
  }
  const DumpMemory memory(tables);
  const std::uint32_t rsdp = static_cast<std::uint32_t>(board.RsdpAddress());
  ASSERT_EQ(memory.Signature(rsdp), "RSD ");
  ASSERT_EQ(memory.Byte(rsdp + 15), 0);  // revision 0: 20 bytes
  // The board carries an Intel processor: no SSDT search after the DSDT. Another processor
  // searches and meets the SSDT of the root table again.
  for (const bool intel : {true, false}) {
    const ExpectedWalk walk = WalkFromRsdt(memory, memory.Dword(rsdp + 16), !intel);
    std::vector<ExpectedTable> expected = {{"RSDP", rsdp, 20}};
    expected.insert(expected.end(), walk.tables.begin(), walk.tables.end());

    const ToolRun run =
        RunTool(intel ? std::vector<std::string>{"--os", "xp"}
                      : std::vector<std::string>{"--os", "xp", "--cpu", "AuthenticAMD"});
    EXPECT_EQ(run.Starting("acpi["), Lines(expected)) << intel;
    EXPECT_EQ(run.Line("config:"), walk.config.Line()) << intel;
  }
}

// ---- real ACPI dumps ----

TEST(BoardToolThinkpad, ListsTheRsdtChainOfTheDump) {
  const std::vector<DumpTable> dump =
      ParseAcpiDumpText(ReadText(AcpiSample("thinkpad-tp68-with-rsdp")));
  const DumpMemory memory(dump);
  const DumpTable& rsdp = Only(dump, "RSDP");
  ASSERT_EQ(rsdp.address, 0xF7240u);
  ASSERT_EQ(rsdp.bytes[15], 2);
  ASSERT_EQ(Le(rsdp.bytes, 20), 36u);
  const std::uint32_t rsdt = Le(rsdp.bytes, 16);
  ASSERT_EQ(rsdt, 0xBF6D8794u);
  ASSERT_EQ((memory.Dword(rsdt + 4) - 36) / 4, 13u);

  const ExpectedWalk walk = WalkFromRsdt(memory, rsdt);
  std::vector<ExpectedTable> expected = {{"RSDP", 0xF7240, 36}};
  expected.insert(expected.end(), walk.tables.begin(), walk.tables.end());
  ASSERT_EQ(expected.size(), 2u + 13u + 2u);    // FACS and DSDT from the FADT, no SSDT found
  EXPECT_EQ(expected[2].address, 0xBF6DFB5Eu);  // the RSDT's FADT, not the XSDT's

  const ToolRun run = RunTool({"--acpidump", AcpiSample("thinkpad-tp68-with-rsdp"), "--os", "xp"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.Starting("acpi["), Lines(expected));
  EXPECT_EQ(run.Line("config:"), walk.config.Line());
  EXPECT_EQ(run.Line("board-name:"), "board-name: ZV-H61M");  // the default board's SMBIOS
  EXPECT_NE(run.err.find("warning: ACPI: TCPA @ 0xBF6DFDA2 is listed only in the XSDT"),
            std::string::npos);
}

// Dumps without root tables: the simulated board makes the RSDP and an RSDT listing every table
// but RSDP, RSDT, XSDT, FACS and DSDT in dump order; address-0 tables go upwards from
// 0x7FF00000; FACS and DSDT go where the FADT points.
void ExpectSynthesisedRoots(const ToolRun& run, const std::vector<DumpTable>& dump) {
  std::vector<const DumpTable*> listed;
  for (const DumpTable& table : dump) {
    static const std::set<std::string> kRoots = {"RSDP", "RSDT", "XSDT", "FACS", "DSDT"};
    if (kRoots.count(table.signature) == 0) listed.push_back(&table);
  }
  const Bytes& fadt = Only(dump, "FACP").bytes;
  const DumpTable& facs = Only(dump, "FACS");
  const DumpTable& dsdt = Only(dump, "DSDT");
  const std::vector<DumpTable> fixed = {{"FACS", Le(fadt, 36), facs.bytes},
                                        {"DSDT", Le(fadt, 40), dsdt.bytes}};
  const DumpMemory memory(fixed);
  const std::uint32_t searchStart = (Le(fadt, 40) + Le(dsdt.bytes, 4)) & 0xFFFFFFF0u;
  ASSERT_TRUE(searchStart + 0x10000 <= 0x7FF00000 || searchStart > 0x80000000);
  const std::vector<ExpectedTable> ssdts = SsdtsAfter(memory, Le(fadt, 40), Le(dsdt.bytes, 4));

  const std::vector<PrintedTable> printed = PrintedTables(run);
  ASSERT_EQ(printed.size(), 2 + listed.size() + 2 + ssdts.size());
  EXPECT_EQ(printed[0].signature, "RSDP");
  EXPECT_GE(printed[0].address, 0xE0000u);
  EXPECT_LT(printed[0].address, 0x100000u);
  EXPECT_EQ(printed[0].address % 16, 0u);
  EXPECT_EQ(printed[0].length, 20u);
  EXPECT_EQ(printed[1].signature, "RSDT");
  EXPECT_EQ(printed[1].length, 36 + 4 * listed.size());
  std::uint32_t freeFrom = 0x7FF00000;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const PrintedTable& table = printed[2 + i];
    EXPECT_EQ(table.signature, listed[i]->signature) << i;
    EXPECT_EQ(table.length, listed[i]->bytes.size()) << i;
    EXPECT_EQ(table.length, Le(listed[i]->bytes, 4)) << i;
    EXPECT_EQ(table.address % 16, 0u) << i;
    EXPECT_GE(table.address, freeFrom) << i;
    freeFrom = table.address + table.length;
  }
  const std::size_t next = 2 + listed.size();
  EXPECT_EQ(AcpiLine(next, {printed[next].signature, printed[next].address, printed[next].length}),
            AcpiLine(next, {"FACS", Le(fadt, 36), static_cast<std::uint32_t>(facs.bytes.size())}));
  EXPECT_EQ(AcpiLine(next + 1, {printed[next + 1].signature, printed[next + 1].address,
                                printed[next + 1].length}),
            AcpiLine(next + 1, {"DSDT", Le(fadt, 40), Le(dsdt.bytes, 4)}));

  ExpectedConfig config;
  config.FromFadt(fadt);
  for (const DumpTable& table : dump) {
    if (table.signature == "APIC") config.FromMadt(table.bytes);
  }
  EXPECT_EQ(run.Line("config:"), config.Line());
}

TEST(BoardToolGigabyte, SynthesisedRootsListTheDumpInOrder) {
  const std::string path = AcpiSample("gigabyte-ga-ma785gm-us2h");
  const std::vector<DumpTable> dump = ParseAcpiDumpText(ReadText(path));
  ASSERT_EQ(Le(Only(dump, "FACP").bytes, 36), 0xBFDF0000u);
  ASSERT_EQ(Le(Only(dump, "FACP").bytes, 40), 0xBFDF3100u);
  const ToolRun run = RunTool({"--acpidump", path, "--os", "xp"});
  EXPECT_EQ(run.exitCode, 0);
  ExpectSynthesisedRoots(run, dump);
  EXPECT_NE(run.err.find("warning: ACPI: TAMG"), std::string::npos);
}

TEST(BoardToolAsus, SynthesisedRootsListTheDumpInOrder) {
  const std::string path = AcpiSample("asus-p5q-em");
  const std::vector<DumpTable> dump = ParseAcpiDumpText(ReadText(path));
  const ToolRun run = RunTool({"--acpidump", path, "--os", "xp"});
  EXPECT_EQ(run.exitCode, 0);
  ExpectSynthesisedRoots(run, dump);
  EXPECT_EQ(run.Starting("acpi[").size(), 11u);  // nine dumped tables and the two made roots
}

// ---- real SMBIOS dumps ----

// The type-2 structure's "Product Name" as dmidecode decoded it, trimmed, full stops removed.
std::string BaseboardProductFromDecoding(const std::string& decoded) {
  const std::size_t block = decoded.find("DMI type 2,");
  if (block == std::string::npos) return "";
  const std::size_t key = decoded.find("Product Name:", block);
  std::string value = decoded.substr(key + 13, decoded.find('\n', key) - key - 13);
  value = std::string(TrimIniText(value));
  while (!value.empty() && value.back() == '.') value.pop_back();
  return value;
}

class BoardToolSmbiosSample : public testing::TestWithParam<const char*> {};

TEST_P(BoardToolSmbiosSample, BoardNameIsTheBaseboardProduct) {
  const std::string folder = kSamples + "/smbios/" + GetParam();
  const std::string product = BaseboardProductFromDecoding(ReadText(folder + "/dmidecode.txt"));
  ASSERT_FALSE(product.empty());
  // Through the provider ('RSMB'), and on XP through the entry point in the BIOS area: "_SM_",
  // or "_SM3_" where the firmware has only that one.
  const ToolRun provided = RunTool({"--dmi", folder + "/dmidecode-dump.bin"});
  EXPECT_EQ(provided.exitCode, 0);
  EXPECT_EQ(provided.Line("board-name:"), "board-name: " + product);
  EXPECT_EQ(provided.Line("smbios-entry:"),
            "smbios-entry: none (table from the firmware table provider)");
  const ToolRun run = RunTool({"--dmi", folder + "/dmidecode-dump.bin", "--os", "xp"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.Starting("acpi["), RunTool({"--os", "xp"}).Starting("acpi["));
  EXPECT_EQ(run.Line("board-name:"), "board-name: " + product);
  static const std::regex entry(R"(^smbios-entry: 0x000F[0-9A-F]{3}0$)");
  EXPECT_TRUE(std::regex_match(run.Line("smbios-entry:"), entry)) << run.Line("smbios-entry:");
}

INSTANTIATE_TEST_SUITE_P(Samples, BoardToolSmbiosSample,
                         testing::Values("dell-r730", "intel-s2600wtt",
                                         "beelink-eq12-smbios3-only"));

// ---- firmware without legacy copies ----

// UEFI firmware without legacy support: Windows 7 finds through its firmware table provider
// exactly what it finds on the same firmware with the copies in the BIOS area, where XP, which
// has no provider, finds nothing.
TEST(BoardToolUefi, EverySampleGivesTheSameFactsWithoutLegacyCopies) {
  std::vector<std::vector<std::string>> boards = {{}};
  for (const auto& [kind, option, file] : {std::tuple{"acpi", "--acpidump", "acpidump.txt"},
                                           std::tuple{"smbios", "--dmi", "dmidecode-dump.bin"}}) {
    for (const auto& folder : std::filesystem::directory_iterator(kSamples + "/" + kind)) {
      boards.push_back({option, (folder.path() / file).string()});
    }
  }
  ASSERT_EQ(boards.size(), 7u);
  for (std::vector<std::string> args : boards) {
    const ToolRun legacy = RunTool(args);
    args.push_back("--uefi");
    const ToolRun uefi = RunTool(args);
    EXPECT_NE(legacy.Line("board-name:"), "board-name: ") << args[0];
    EXPECT_GE(legacy.Starting("acpi[").size(), 4u) << args[0];
    EXPECT_EQ(uefi.Facts(), legacy.Facts()) << uefi.err;
    args.insert(args.end(), {"--os", "xp"});
    EXPECT_EQ(RunTool(args).Starting("acpi[").size(), 0u) << args[0];
  }
}

// ---- hand-built odd dumps ----

constexpr std::uint32_t kRsdt = 0x7E000000;
constexpr std::uint32_t kFacp = 0x7E000100;
constexpr std::uint32_t kApic = 0x7E000200;
constexpr std::uint32_t kFacs = 0x7E000400;
constexpr std::uint32_t kDsdt = 0x7E000500;

Bytes SmallDsdt() {
  return AcpiTable("DSDT", Bytes(0x2B, 0xA5));
}

// FADT, MADT, FACS, DSDT and an SSDT right after the DSDT that no root table lists.
std::vector<DumpTable> OddBoardTables(std::uint32_t facs = kFacs) {
  const Bytes dsdt = SmallDsdt();
  const std::uint32_t ssdt = (kDsdt + static_cast<std::uint32_t>(dsdt.size()) + 15) & ~15u;
  return {{"FACP", kFacp, Fadt(facs, kDsdt, 11, 0x400, 0x408, 0x1A5)},
          {"APIC", kApic, Madt(0xFEC01000, 0)},
          {"FACS", kFacs, Facs()},
          {"DSDT", kDsdt, dsdt},
          {"SSDT", ssdt, AcpiTable("SSDT", Bytes(8, 0x10))}};
}

// On a processor other than Intel's, so that the locator searches for SSDTs after the DSDT.
ToolRun RunOnDump(const std::vector<DumpTable>& tables, const std::string& cpu = "AuthenticAMD") {
  const TempFile file("acpidump.txt", DumpText(tables));
  return RunTool({"--acpidump", file.Path(), "--cpu", cpu, "--os", "xp"});
}

std::vector<std::string> ExpectedLines(const std::vector<DumpTable>& tables, ExpectedTable rsdp,
                                       std::uint32_t rsdt, ExpectedConfig* config = nullptr,
                                       bool ssdtSearch = true) {
  const DumpMemory memory(tables);
  const ExpectedWalk walk = WalkFromRsdt(memory, rsdt, ssdtSearch);
  if (config) *config = walk.config;
  std::vector<ExpectedTable> all = {rsdp};
  all.insert(all.end(), walk.tables.begin(), walk.tables.end());
  return Lines(all);
}

TEST(BoardToolOddDump, RsdpRevisionZeroGivesTwentyBytesAndRevisionTwoItsLength) {
  for (const std::uint8_t revision : {0, 2}) {
    std::vector<DumpTable> tables = OddBoardTables();
    tables.push_back({"RSDP", 0xE0100, Rsdp(revision, kRsdt)});
    tables.push_back({"RSDT", kRsdt, AcpiTable("RSDT", Words({kFacp, 0, kApic}, 4))});
    ExpectedConfig config;
    const std::vector<std::string> expected =
        ExpectedLines(tables, {"RSDP", 0xE0100, revision == 0 ? 20u : 36u}, kRsdt, &config);
    // The zero entry is skipped; the SSDT no root table lists is not read, so not found.
    ASSERT_EQ(expected.size(), 2u + 2u + 2u);

    const ToolRun run = RunOnDump(tables);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.Starting("acpi["), expected) << int(revision);
    EXPECT_EQ(run.Line("config:"), config.Line());
    EXPECT_EQ(run.Line("config:"),
              "config: AcpiPmBase=0x0400 AcpiSciIrq=11 PmTimerPort=0x0408 PmTimerExt=0x0100 "
              "ApicAddress=0xFEC01000 EC_SC=0x0066 EC_DATA=0x0062 EC_AddressSpaceID=1");
  }
}

TEST(BoardToolOddDump, MissingRsdpIsMadeInTheBiosArea) {
  std::vector<DumpTable> tables = OddBoardTables();
  tables.push_back({"RSDT", kRsdt, AcpiTable("RSDT", Words({kApic, kFacp}, 4))});
  const ToolRun run = RunOnDump(tables);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::vector<PrintedTable> printed = PrintedTables(run);
  ASSERT_FALSE(printed.empty());
  EXPECT_GE(printed[0].address, 0xE0000u);
  EXPECT_LT(printed[0].address, 0x100000u);
  EXPECT_EQ(printed[0].length, 20u);  // made with revision 0
  EXPECT_EQ(run.Starting("acpi["), ExpectedLines(tables, {"RSDP", printed[0].address, 20}, kRsdt));
}

TEST(BoardToolOddDump, XsdtOnlyGivesAnRsdtOfItsThirtyTwoBitEntries) {
  constexpr std::uint32_t kXsdt = 0x7E000040;
  constexpr std::uint64_t kHigh = 0x120000000;  // above 4 GiB: no RSDT can list it
  constexpr std::uint32_t kUnlisted = 0x7E000700;
  std::vector<DumpTable> tables = OddBoardTables();
  // The pointer names an RSDT the dump does not hold: it is made there.
  tables.push_back({"RSDP", 0xE0100, Rsdp(2, kRsdt, kXsdt)});
  tables.push_back({"XSDT", kXsdt, AcpiTable("XSDT", Words({kApic, kHigh, kFacp}, 8))});
  tables.push_back({"HIGH", kHigh, AcpiTable("HIGH", Bytes(4, 0))});
  tables.push_back({"OEMU", kUnlisted, AcpiTable("OEMU", Bytes(12, 0x33))});

  // What the made RSDT must hold: the XSDT's 32-bit entries in its order, then the tables it
  // does not list, in dump order.
  std::vector<DumpTable> withRsdt = tables;
  const std::uint64_t ssdt = Only(tables, "SSDT").address;  // listed nowhere, before OEMU
  withRsdt.push_back({"RSDT", kRsdt, AcpiTable("RSDT", Words({kApic, kFacp, ssdt, kUnlisted}, 4))});
  const std::vector<std::string> expected = ExpectedLines(withRsdt, {"RSDP", 0xE0100, 36}, kRsdt);

  const ToolRun run = RunOnDump(tables);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.Starting("acpi["), expected);
  EXPECT_NE(run.err.find("HIGH"), std::string::npos);  // reported as unreachable
}

TEST(BoardToolOddDump, TablesAtAddressZeroArePlacedAndListed) {
  std::vector<DumpTable> tables = {{"APIC", 0, Madt(0xFEC00000, 0)},
                                   {"FACP", 0, Fadt(0x7D000000, 0x7D000100, 9, 0x808, 0x80C, 0)},
                                   {"DSDT", 0, SmallDsdt()},
                                   {"OEMZ", 0, AcpiTable("OEMZ", Bytes(3, 1))},
                                   {"FACS", 0, Facs()}};
  const ToolRun run = RunOnDump(tables);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  ExpectSynthesisedRoots(run, tables);
}

// A FADT whose FACS address is 0: the entry is still listed, its header read from address 0,
// where nothing is (all ones).
TEST(BoardToolOddDump, FacsAddressZeroInTheFadtListsAnEntryAtZero) {
  std::vector<DumpTable> tables = OddBoardTables(0);
  tables.erase(tables.begin() + 2);  // no FACS
  tables.push_back({"RSDP", 0xE0100, Rsdp(0, kRsdt)});
  tables.push_back({"RSDT", kRsdt, AcpiTable("RSDT", Words({kFacp}, 4))});
  const std::vector<std::string> expected = ExpectedLines(tables, {"RSDP", 0xE0100, 20}, kRsdt);
  ASSERT_EQ(expected[3], "acpi[3]: ???? 0x00000000 0xFFFFFFFF");

  const ToolRun run = RunOnDump(tables);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.Starting("acpi["), expected);
}

TEST(BoardToolOddDump, IntelProcessorLeavesTheUnlistedSsdtUnfound) {
  std::vector<DumpTable> tables = OddBoardTables();
  tables.push_back({"RSDP", 0xE0100, Rsdp(0, kRsdt)});
  tables.push_back({"RSDT", kRsdt, AcpiTable("RSDT", Words({kFacp, kApic}, 4))});
  const ToolRun run = RunOnDump(tables, "GenuineIntel");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::string> expected =
      ExpectedLines(tables, {"RSDP", 0xE0100, 20}, kRsdt, nullptr, false);
  ASSERT_EQ(expected.size(), 6u);  // RSDP, RSDT, FACP, APIC, FACS, DSDT
  EXPECT_EQ(run.Starting("acpi["), expected);
  EXPECT_EQ(run.Line("control-entry:"), "control-entry: none");  // the dump has no QVZX
  EXPECT_EQ(run.Line("maker-board:"), "maker-board: yes");       // the built-in board's PCI
}

// ---- the platform checks ----

// The board file's text as a board, with the tool's output.
ToolRun RunOnBoard(const std::string& boardFile, std::vector<std::string> args = {}) {
  const TempFile file("board.ini", boardFile);
  args.insert(args.begin(), {"--board", file.Path()});
  return RunTool(args);
}

std::uint32_t PrintedAddress(const ToolRun& run, const std::string& signature) {
  for (const PrintedTable& table : PrintedTables(run)) {
    if (table.signature == signature) return table.address;
  }
  return kNone;
}

TEST(BoardToolPlatform, IntelSwitchesTheSsdtSearchOffWhateverTheConfiguration) {
  const TempFile ini("Velmora.ini", "[Config]\nACPIDecodeSSDTEx=1\n");
  const std::string amdBoard = "[Processor]\nVendor = AuthenticAMD\n";
  EXPECT_EQ(RunOnBoard(amdBoard).Starting("acpi[").size(), 11u);
  EXPECT_EQ(RunOnBoard(amdBoard, {"--config", ini.Path()}).Starting("acpi[").size(), 11u);
  EXPECT_EQ(RunOnBoard(amdBoard, {"--cpu", "GenuineIntel"}).Starting("acpi[").size(), 10u);
  EXPECT_EQ(RunTool({"--config", ini.Path()}).Starting("acpi[").size(), 10u);
  // Only the exact vendor string is Intel's.
  EXPECT_EQ(RunTool({"--cpu", "GenuineIntex"}).Starting("acpi[").size(), 11u);
}

TEST(BoardToolPlatform, MakerBoardFollowsTheSubsystemVendors) {
  const std::string host = "[Pci]\nFunction0 = 00:00.0 8086:0100 class=060000\n";
  EXPECT_EQ(RunOnBoard(host).Line("maker-board:"), "maker-board: no");
  EXPECT_EQ(
      RunOnBoard(host + "Function1 = 03:00.0 10ec:8168 subsystem=7a61:0001\n").Line("maker-board:"),
      "maker-board: yes");
  // Function 3 of a device without the multi-function bit is never looked at.
  const std::string lpc =
      "Function1 = 00:1f.0 8086:1c5c subsystem=8086:0001\n"
      "Function2 = 00:1f.3 8086:1c22 subsystem=7a5e:5001\n";
  EXPECT_EQ(RunOnBoard(host + lpc).Line("maker-board:"), "maker-board: no");
  const std::string multi =
      "Function1 = 00:1f.0 8086:1c5c header=80 subsystem=8086:0001\n"
      "Function2 = 00:1f.3 8086:1c22 subsystem=7a5e:5001\n";
  EXPECT_EQ(RunOnBoard(host + multi).Line("maker-board:"), "maker-board: yes");
}

TEST(BoardToolPlatform, ControlEntryIsTheLastOneWithItsByte) {
  const ToolRun run = RunOnBoard("[Qvzx]\nEntries = 1:01 00, 3:05, 3/4:00 00, 3:13, 4:99\n");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::uint32_t qvzx = PrintedAddress(run, "QVZX");
  ASSERT_NE(qvzx, kNone);
  EXPECT_EQ(run.Line("control-entry:"),
            "control-entry: " + Hex8(qvzx + 36 + 4 + 3 + 4) + " byte=0x13");
}

// No table; entries of other types or lengths only; an entry claiming more bytes than the table
// holds, which ends the walk before the control entry it covers.
TEST(BoardToolPlatform, TablesWithoutAControlEntry) {
  for (const char* qvzx :
       {"Present = 0\n", "Entries = 1:01 00, 4:00, 3/4:00 00\n", "Entries = 2/40:, 3:08\n"}) {
    const ToolRun run = RunOnBoard(std::string("[Qvzx]\n") + qvzx);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.Line("control-entry:"), "control-entry: none") << qvzx;
    EXPECT_EQ(run.Line("maker-board:"), "maker-board: yes") << qvzx;
  }
}

// ---- configuration file and debug log ----

TEST(BoardToolConfig, FileValuesStayWhereNoTableReplacesThem) {
  const TempFile ini("Velmora.ini",
                     "[Config]\r\nEC_SC=0x6C\r\nEC_DATA=0x68\r\nApicAddress=0x1\r\n");
  const ToolRun run = RunTool({"--acpidump", AcpiSample("asus-p5q-em"), "--config", ini.Path()});
  EXPECT_EQ(run.exitCode, 0);
  // No ECDT on that board: the file's ports stay; its MADT replaces the I/O APIC address.
  EXPECT_NE(run.Line("config:").find("ApicAddress=0xFEC00000 EC_SC=0x006C EC_DATA=0x0068"),
            std::string::npos)
      << run.Line("config:");
}

TEST(BoardToolConfig, SsdtSearchOffInTheFileStaysOffWithTheLog) {
  const TempFile ini("Velmora.ini", "[Config]\nACPIDecodeSSDTEx=0\n[Other]\nX=1\n");
  for (const bool log : {false, true}) {
    std::vector<std::string> args = {"--config", ini.Path()};
    if (log) args.push_back("--log");
    const ToolRun run = RunTool(args);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.Starting("acpi[").size(), 10u) << "log " << log;  // no SSDT from the search
    EXPECT_EQ(run.Starting("log: ").empty(), !log);
  }
}

TEST(BoardToolLog, BuildLinesFollowTheFactsInListOrder) {
  const TempFile ini("Velmora.ini", "[Config]\nRwDebug=0\nRwDebugFile=Elsewhere.log\n");
  const ToolRun run = RunTool({"--log", "--config", ini.Path()});
  EXPECT_EQ(run.exitCode, 0);
  std::vector<std::string> expected = {"log: Build RSDP"};
  for (const PrintedTable& table : PrintedTables(run)) {
    if (table.signature != "RSDP") expected.push_back("log: Build " + table.signature);
  }
  std::vector<std::string> built;
  for (const std::string& line : run.Starting("log: Build ")) built.push_back(line);
  EXPECT_EQ(built, expected);
  // Every line after the facts is a log line.
  const auto requests = std::find_if(run.lines.begin(), run.lines.end(), [](const auto& line) {
    return line.rfind("requests: ", 0) == 0;
  });
  ASSERT_NE(requests, run.lines.end());
  for (auto it = requests + 1; it != run.lines.end(); ++it) EXPECT_EQ(it->rfind("log: ", 0), 0u);
  EXPECT_GT(run.lines.end() - requests, 20);
}

TEST(BoardToolLog, ForcingTheLogKeepsTheLastConfigBlock) {
  // Only the last [Config] block counts; the first one's keys must stay dead.
  const std::string original =
      "[Config]\nEC_SC=0x11\n[config]\nEC_DATA=0x22\nRwDebug=0\n[Other]\nRwDebug=5\n";
  const TMemIniFile ini(boardtool::WithDebugLogOn(original).substr(3));
  EXPECT_EQ(ini.ReadString("Config", "RwDebug", ""), "1");
  EXPECT_EQ(ini.ReadString("Config", "RwDebugFile", ""), "RwDebug.rw");
  EXPECT_EQ(ini.ReadString("Config", "EC_DATA", ""), "0x22");
  EXPECT_EQ(ini.ReadString("Config", "EC_SC", ""), "");
  EXPECT_EQ(ini.ReadString("Other", "RwDebug", ""), "5");
}

TEST(BoardToolLog, ForcingTheLogReadsAUnicodeFile) {
  std::string utf16 = "\xFF\xFE";  // UTF-16 little-endian, as Notepad saves "Unicode"
  for (char c : std::string("[Config]\r\nEC_SC=7\r\n")) utf16 += std::string{c, '\0'};
  const std::string forced = boardtool::WithDebugLogOn(utf16);
  ASSERT_EQ(forced.substr(0, 3), "\xEF\xBB\xBF");
  const TMemIniFile ini(forced.substr(3));
  EXPECT_EQ(ini.ReadString("Config", "EC_SC", ""), "7");
  EXPECT_EQ(ini.ReadString("Config", "RwDebug", ""), "1");
}

// ---- board files, releases, processors ----

TEST(BoardToolBoardFile, TheFileDescribesTheBoard) {
  const TempFile file("board.ini",
                      "[Smbios]\nBaseboardProduct = ZV-Q87..\n[Acpi]\nRsdpRevision = 2\n"
                      "SsdtCount = nonsense\n");
  const ToolRun run = RunTool({"--board", file.Path(), "--os", "xp"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.Line("board-name:"), "board-name: ZV-Q87");
  EXPECT_EQ(run.Line("acpi[0]:").substr(run.Line("acpi[0]:").size() - 10), "0x00000024");
  EXPECT_NE(run.err.find("warning: board file: "), std::string::npos);
}

TEST(BoardToolBoardFile, AnUnreadableDumpInTheFileIsAnError) {
  const TempFile file("board.ini", "[Acpi]\nAcpidump = missing/acpidump.txt\n");
  const ToolRun run = RunTool({"--board", file.Path()});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("missing/acpidump.txt"), std::string::npos);
}

// A board file is never passed off as the built-in board: each line not understood is named,
// and a file of which nothing could be used ends the run.
struct UnusableBoardFile {
  const char* name;
  const char* text;
  std::vector<const char*> named;  // what stderr must name
};

TEST(BoardToolBoardFile, FileOfWhichNothingIsUsableIsAnError) {
  const UnusableBoardFile files[] = {
      {"three lines of nonsense", "hello\nworld\nthis is not a board\n",
       {"line 1: hello", "line 2: world", "line 3: this is not a board"}},
      {"unknown section", "[Mainboard]\nProduct = ZV-Q87\n",
       {"line 1: [Mainboard]", "line 2: Product = ZV-Q87"}},
      {"only values not understood", "[Acpi]\nSciInterrupt = many\n", {"[Acpi] SciInterrupt = many"}},
      {"empty file", "", {}},
  };
  for (const UnusableBoardFile& f : files) {
    const TempFile file("board.ini", f.text);
    const ToolRun run = RunTool({"--board", file.Path()});
    EXPECT_EQ(run.exitCode, 2) << f.name;
    EXPECT_EQ(run.out, "") << f.name;
    for (const char* text : f.named) {
      EXPECT_NE(run.err.find(std::string("warning: board file: ") + text), std::string::npos)
          << f.name << ": " << run.err;
    }
    EXPECT_NE(run.err.find("velmora-board: nothing in board file " + file.Path() + " could be used"),
              std::string::npos)
        << f.name << ": " << run.err;
  }
}

TEST(BoardToolBoardFile, LinesNotUnderstoodBesideUsableOnesAreNamed) {
  const TempFile file("board.ini",
                      "[Smbios]\nBaseboardProduct = ZV-Q87\nBaseboardProdcut = typo\nstray\n");
  const ToolRun run = RunTool({"--board", file.Path()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.Line("board-name:"), "board-name: ZV-Q87");
  EXPECT_NE(run.err.find("warning: board file: line 3: BaseboardProdcut = typo: unknown key"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("warning: board file: line 4: stray"), std::string::npos) << run.err;
}

// Every release finds the same firmware. Windows 7 takes the SMBIOS table and the ACPI root
// table from its firmware table provider, and learns neither their nor the root pointer's address.
TEST(BoardToolReleases, EveryWindowsAndProcessorFindsTheSameFirmware) {
  const ToolRun reference = RunTool({"--os", "xp", "--cpu", "AuthenticAMD"});
  for (const std::string os : {"win7x86", "win7x64", "xp", "win98"}) {
    const ToolRun run = RunTool({"--os", os, "--cpu", "AuthenticAMD"});
    EXPECT_EQ(run.exitCode, 0) << os << run.err;
    std::vector<std::string> expected = reference.Facts();
    if (os.rfind("win7", 0) == 0) {
      expected[1] = "smbios-entry: none (table from the firmware table provider)";
      expected[2] = "acpi[0]: RSDP none 0x00000000";
      expected[3] = "acpi[1]: RSDT none 0x0000003C";
    }
    EXPECT_EQ(run.Facts(), expected) << os;
    EXPECT_NE(run.Line("requests:"), "requests: 0") << os;
  }
}

// ---- command line ----

TEST(BoardToolArguments, HelpPrintsTheUsageAndRunsNothing) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"-h"}, {"--board", "/absent.ini", "--help"}}) {
    const ToolRun run = RunTool(args);
    EXPECT_EQ(run.exitCode, 0) << args[0];
    EXPECT_EQ(run.out, boardtool::kBoardToolUsage) << args[0];
    EXPECT_NE(run.out.find("--uefi"), std::string::npos) << args[0];
    EXPECT_EQ(run.err, "") << args[0];
  }
}

TEST(BoardToolArguments, WrongCommandLinesExitWithTwo) {
  const TempFile real("Velmora.ini", "[Config]\n");
  const std::string folder = std::filesystem::path(real.Path()).parent_path().string();
  const std::vector<std::vector<std::string>> wrong = {
      {"--bogus"},
      {"--board"},
      {"--config", ""},
      {"--os", "win10"},
      {"--cpu", "AMD"},
      {"--cpu", "GenuineIntel!"},
      {"--acpidump", folder + "/absent.txt"},
      {"--dmi", folder + "/absent.bin"},
      {"--board", folder + "/absent.ini"},
      {"--config", folder},  // a folder is not a file
      {"--log", "extra"}};
  for (const std::vector<std::string>& args : wrong) {
    const ToolRun run = RunTool(args);
    EXPECT_EQ(run.exitCode, 2) << args[0];
    EXPECT_EQ(run.out, "") << args[0];
    EXPECT_EQ(run.err.rfind("velmora-board: ", 0), 0u) << args[0] << ": " << run.err;
  }
}

}  // namespace
}  // namespace velmora::boardtest
