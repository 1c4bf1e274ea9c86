#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "sim/board/AcpiDump.h"
#include "sim/board/SimBoard.h"
#include "sim/board/SmbiosDump.h"

namespace velmora::sim {
namespace {

const std::string kSamples = VELMORA_SHARED_DIR "/firmware-samples";

unsigned Sum(const Bytes& bytes) {
  unsigned sum = 0;
  for (std::uint8_t b : bytes) sum += b;
  return sum & 0xFF;
}
std::uint32_t U32(const Bytes& b, std::size_t at) {
  return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) |
         (std::uint32_t{b.at(at + 3)} << 24);
}
std::string Sig(SimPhysicalMemory& m, std::uint64_t at) {
  const Bytes b = m.ReadBytes(at, 4);
  return std::string(b.begin(), b.end());
}
bool Mentions(const std::vector<std::string>& warnings, const std::string& a,
              const std::string& b = "") {
  return std::any_of(warnings.begin(), warnings.end(), [&](const std::string& w) {
    return w.find(a) != std::string::npos && w.find(b) != std::string::npos;
  });
}
// The RSDT the root pointer at rsdp points to, as the list of addresses.
std::vector<std::uint32_t> RsdtEntries(SimPhysicalMemory& m, std::uint64_t rsdp) {
  const Bytes pointer = m.ReadBytes(rsdp, 20);
  EXPECT_EQ(Sum(pointer), 0u);
  const std::uint32_t at = U32(pointer, 16);
  const std::uint32_t length = U32(m.ReadBytes(at, 8), 4);
  if (length > 0x10000) {  // no table there: memory that holds nothing reads as 0xFF
    ADD_FAILURE() << "no RSDT at 0x" << std::hex << at;
    return {};
  }
  const Bytes table = m.ReadBytes(at, length);
  EXPECT_EQ(Sum(table), 0u);
  std::vector<std::uint32_t> entries;
  for (std::size_t p = 36; p + 4 <= table.size(); p += 4) entries.push_back(U32(table, p));
  return entries;
}

struct Loaded {
  SimPhysicalMemory memory;
  PhysicalLayout layout;
  AcpiDumpPlacement placement;
};

void LoadSample(Loaded& l, const std::string& folder, std::vector<Bytes> extras = {}) {
  l.placement =
      LoadAcpiDumpFile(kSamples + "/acpi/" + folder + "/acpidump.txt", l.memory, l.layout, extras);
}

TEST(SimBoardAcpiDump, ThinkpadKeepsItsRootPointerAndRsdt) {
  Loaded l;
  LoadSample(l, "thinkpad-tp68-with-rsdp");
  EXPECT_FALSE(l.placement.rsdpMade);
  EXPECT_FALSE(l.placement.rsdtMade);
  EXPECT_EQ(l.placement.rsdpAddress, 0xF7240u);
  const Bytes rsdp = l.memory.ReadBytes(0xF7240, 36);
  EXPECT_EQ(rsdp[15], 2);
  EXPECT_EQ(U32(rsdp, 20), 36u);
  EXPECT_EQ(U32(rsdp, 16), 0xBF6D8794u);
  const auto entries = RsdtEntries(l.memory, 0xF7240);
  ASSERT_EQ(entries.size(), 13u);
  EXPECT_EQ(entries[0], 0xBF6DFB5Eu);
  EXPECT_EQ(Sig(l.memory, 0xBF6DFB5E), "FACP");
  EXPECT_EQ(Sig(l.memory, 0xBF6D9B6A), "DSDT");
  EXPECT_EQ(Sig(l.memory, 0xBF6E2FC0), "FACS");
}

TEST(SimBoardAcpiDump, ThinkpadReportsTablesReachableOnlyThroughTheXsdt) {
  Loaded l;
  LoadSample(l, "thinkpad-tp68-with-rsdp");
  EXPECT_TRUE(Mentions(l.placement.warnings, "TCPA @ 0xBF6DFDA2", "only in the XSDT"));
  EXPECT_TRUE(Mentions(l.placement.warnings, "FACP @ 0xBF6DFBD2", "only in the XSDT"));
  EXPECT_FALSE(Mentions(l.placement.warnings, "SSDT", "root table"));
  EXPECT_EQ(Sig(l.memory, 0xBF6DFDA2), "TCPA");  // placed all the same
}

TEST(SimBoardAcpiDump, GigabyteGetsRootPointerAndRsdtAndTheFadtTargets) {
  Loaded l;
  LoadSample(l, "gigabyte-ga-ma785gm-us2h");
  EXPECT_TRUE(l.placement.rsdpMade);
  EXPECT_TRUE(l.placement.rsdtMade);
  EXPECT_GE(l.placement.rsdpAddress, 0xE0000u);
  EXPECT_LE(l.placement.rsdpAddress, 0xFFFECu);
  EXPECT_EQ(l.placement.rsdpAddress % 16, 0u);
  EXPECT_EQ(l.memory.Read8(l.placement.rsdpAddress + 15), 0);
  EXPECT_EQ(Sig(l.memory, 0xBFDF0000), "FACS");
  EXPECT_EQ(Sig(l.memory, 0xBFDF3100), "DSDT");
  std::vector<std::string> listed;
  for (std::uint32_t at : RsdtEntries(l.memory, l.placement.rsdpAddress)) {
    listed.push_back(Sig(l.memory, at));
  }
  const std::vector<std::string> expected = {"SSDT", "MCFG", "APIC", "SLIC",
                                             "FACP", "MSDM", "TAMG", "HPET"};
  EXPECT_EQ(listed, expected);
  EXPECT_TRUE(Mentions(l.placement.warnings, "TAMG", "bad checksum"));
  EXPECT_FALSE(Mentions(l.placement.warnings, "does not find it"));
}

TEST(SimBoardAcpiDump, AsusTablesDoNotOverlapAndMadtHasOneIoApic) {
  Loaded l;
  LoadSample(l, "asus-p5q-em");
  const auto& tables = l.placement.tables;
  for (std::size_t i = 0; i < tables.size(); ++i) {
    for (std::size_t j = i + 1; j < tables.size(); ++j) {
      const bool apart = tables[i].address + tables[i].length <= tables[j].address ||
                         tables[j].address + tables[j].length <= tables[i].address;
      EXPECT_TRUE(apart) << tables[i].signature << " " << tables[j].signature;
    }
  }
  const auto entries = RsdtEntries(l.memory, l.placement.rsdpAddress);
  EXPECT_EQ(entries.size(), 7u);  // GSCI MCFG APIC OEMB FACP OSFR HPET
  const auto apic = l.placement.Find("APIC");
  ASSERT_TRUE(apic);
  const Bytes madt = l.memory.ReadBytes(apic->address, apic->length);
  int ioApics = 0;
  for (std::size_t p = 44; p + 1 < madt.size() && madt[p + 1] != 0; p += madt[p + 1]) {
    ioApics += madt[p] == 1;
  }
  EXPECT_EQ(ioApics, 1);
}

TEST(SimBoardAcpiDump, AddedQvzxIsListedInTheMadeRsdt) {
  Loaded l;
  LoadSample(l, "asus-p5q-em", {BuildQvzx({QvzxControlEntry(0)})});
  const auto qvzx = l.placement.Find("QVZX");
  ASSERT_TRUE(qvzx);
  const auto entries = RsdtEntries(l.memory, l.placement.rsdpAddress);
  EXPECT_NE(std::find(entries.begin(), entries.end(), qvzx->address), entries.end());
}

TEST(SimBoardAcpiDump, AddedQvzxOnAKeptRsdtMovesTheRsdtAndRepointsTheRsdp) {
  Loaded l;
  LoadSample(l, "thinkpad-tp68-with-rsdp", {BuildQvzx({QvzxControlEntry(0)})});
  const auto entries = RsdtEntries(l.memory, 0xF7240);
  ASSERT_EQ(entries.size(), 14u);
  EXPECT_EQ(Sig(l.memory, entries.back()), "QVZX");
  EXPECT_EQ(Sum(l.memory.ReadBytes(0xF7240, 36)), 0u);  // extended checksum kept valid
  EXPECT_TRUE(Mentions(l.placement.warnings, "RSDT was copied"));
}

// Hand-made dumps.
std::string Hex(const Bytes& bytes) {
  std::string text;
  char line[16];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) {
      std::snprintf(line, sizeof line, "%s  %04zX:", i ? "\n" : "", i);
      text += line;
    }
    std::snprintf(line, sizeof line, " %02x", bytes[i]);
    text += line;
  }
  return text + "\n";
}
std::string Table(const std::string& sig, std::uint64_t at, const Bytes& bytes) {
  char head[48];
  std::snprintf(head, sizeof head, "%s @ 0x%016llx\n", sig.c_str(),
                static_cast<unsigned long long>(at));
  return head + Hex(bytes) + "\n";
}

Bytes Ssdt(int i) {
  return BuildSsdt(i);
}

TEST(SimBoardAcpiDump, Revision0RootPointerPointingAtAPresentRsdtIsKept) {
  const Bytes rsdt = BuildRsdt({0x7000100});
  const std::string text = Table("RSDP", 0xF0010, BuildRsdp({0, "ODD", 0x7000000, 0})) +
                           Table("RSDT", 0x7000000, rsdt) + Table("SSDT", 0x7000100, Ssdt(1));
  SimPhysicalMemory m;
  PhysicalLayout layout;
  const auto p = PlaceAcpiDump(ParseAcpiDump(text), m, layout);
  EXPECT_FALSE(p.rsdpMade);
  EXPECT_FALSE(p.rsdtMade);
  EXPECT_EQ(p.rsdpAddress, 0xF0010u);
  EXPECT_EQ(m.ReadBytes(0x7000000, rsdt.size()), rsdt);
  EXPECT_TRUE(p.warnings.empty()) << p.warnings.front();
}

TEST(SimBoardAcpiDump, RootPointerWithoutItsRsdtGetsOneAtTheAddressItGives) {
  const std::string text = Table("RSDP", 0xF0010, BuildRsdp({2, "ODD", 0x7000000, 0x7000040})) +
                           Table("XSDT", 0x7000040, BuildXsdt({0x7000200, 0x123456789ull})) +
                           Table("SSDT", 0x7000100, Ssdt(1)) + Table("SSDT", 0x7000200, Ssdt(2));
  SimPhysicalMemory m;
  PhysicalLayout layout;
  const auto p = PlaceAcpiDump(ParseAcpiDump(text), m, layout);
  EXPECT_TRUE(p.rsdtMade);
  EXPECT_EQ(p.rsdtAddress, 0x7000000u);
  const auto entries = RsdtEntries(m, 0xF0010);
  // XSDT order first (0x7000200), then the rest in dump order.
  EXPECT_EQ(entries, (std::vector<std::uint32_t>{0x7000200, 0x7000100}));
  EXPECT_TRUE(Mentions(p.warnings, "0x123456789", "32-bit"));
}

TEST(SimBoardAcpiDump, XsdtOnlyDumpGetsRootPointerAndRsdtFromTheXsdt) {
  const std::string text = Table("XSDT", 0x7000040, BuildXsdt({0x7000200, 0x7000100})) +
                           Table("SSDT", 0x7000100, Ssdt(1)) + Table("SSDT", 0x7000200, Ssdt(2));
  SimPhysicalMemory m;
  PhysicalLayout layout;
  const auto p = PlaceAcpiDump(ParseAcpiDump(text), m, layout);
  EXPECT_TRUE(p.rsdpMade);
  EXPECT_EQ(RsdtEntries(m, p.rsdpAddress), (std::vector<std::uint32_t>{0x7000200, 0x7000100}));
  EXPECT_FALSE(Mentions(p.warnings, "does not find it"));
}

TEST(SimBoardAcpiDump, TableAbove4GiBIsPlacedAndReported) {
  const std::string text = Table("SSDT", 0x100000000ull, Ssdt(1)) + Table("HPET", 0, Ssdt(2));
  SimPhysicalMemory m;
  PhysicalLayout layout;
  const auto p = PlaceAcpiDump(ParseAcpiDump(text), m, layout);
  EXPECT_EQ(Sig(m, 0x100000000ull), "SSDT");
  EXPECT_TRUE(Mentions(p.warnings, "SSDT @ 0x100000000", "above 4 GiB"));
  EXPECT_EQ(RsdtEntries(m, p.rsdpAddress).size(), 1u);
}

TEST(SimBoardAcpiDump, FadtWithoutPointersSendsDsdtAndFacsToTheFreeArea) {
  FadtFields none;
  const std::string text = Table("FACP", 0, BuildFadt(none)) + Table("DSDT", 0, BuildDsdt()) +
                           Table("FACS", 0, BuildFacs());
  SimPhysicalMemory m;
  PhysicalLayout layout;
  const auto p = PlaceAcpiDump(ParseAcpiDump(text), m, layout);
  ASSERT_TRUE(p.Find("DSDT"));
  EXPECT_GE(p.Find("DSDT")->address, kAcpiDumpFreeArea);
  EXPECT_EQ(p.Find("FACS")->address % 64, 0u);
  EXPECT_TRUE(Mentions(p.warnings, "DSDT has no address"));
}

TEST(SimBoardAcpiDump, MalformedInputIsSkippedAndReported) {
  std::string text = "  0000: 11 22\n";  // data before any header
  text += "FACP @ 0xZZ\n";               // not a header
  text += "SSDT @ 0x0\n  0000: 53 53 44 54 zz\n";
  text += "HPET @ 0x0\n  00FFFFF8: 01 02 03 04 05 06 07 08 09 10\n";  // past 16 MiB
  text += "APIC @ 0x0\n";                                             // no bytes
  text += "ECDT @ 0x0\n  0000: 45 43 44 54 12  ECDT..\n";             // ASCII not data
  const AcpiDumpText parsed = ParseAcpiDump(text);
  ASSERT_EQ(parsed.tables.size(), 2u);
  EXPECT_EQ(parsed.tables[0].bytes, (Bytes{0x53, 0x53, 0x44, 0x54}));
  EXPECT_EQ(parsed.tables[1].bytes, (Bytes{0x45, 0x43, 0x44, 0x54, 0x12}));
  EXPECT_TRUE(Mentions(parsed.warnings, "before any table header"));
  EXPECT_TRUE(Mentions(parsed.warnings, "HPET", "16 MiB"));
  EXPECT_TRUE(Mentions(parsed.warnings, "APIC", "no bytes"));
  EXPECT_TRUE(Mentions(parsed.warnings, "skipped"));
  SimPhysicalMemory m;
  PhysicalLayout layout;
  const auto p = PlaceAcpiDump(parsed, m, layout);  // short tables do not crash the placement
  EXPECT_TRUE(Mentions(p.warnings, "declares"));
}

// The ACPICA acpidump writes "RSDP @ 0x00000000000F7240"; the older one of pmtools writes
// "RSD PTR @ 0xf7240" (the pointer's own 8-byte signature) and lower-case hex.
struct HeaderForm {
  const char* line;
  const char* signature;  // null: not a header
  std::uint64_t address;
};

TEST(SimBoardAcpiDump, HeaderLinesOfBothAcpidumps) {
  const HeaderForm forms[] = {
      {"RSD PTR @ 0xf7240", "RSDP", 0xF7240},
      {"RSD PTR @ 0x000F7240", "RSDP", 0xF7240},
      {"  RSD PTR @ 0xf7240\r", "RSDP", 0xF7240},
      {"RSDP @ 0x00000000000F7240", "RSDP", 0xF7240},
      {"DSDT @ 0x7fee0180", "DSDT", 0x7FEE0180},
      {"FACP @ 0X7FEE0000", "FACP", 0x7FEE0000},
      {"SSDT @ 0xbf6d98bd", "SSDT", 0xBF6D98BD},
      {"RSD PTR@0xf7240", nullptr, 0},
      {"RSD PTR @ f7240", nullptr, 0},
      {"RSD  PTR @ 0xf7240", nullptr, 0},
      {"RSD @ 0xf7240", nullptr, 0},
  };
  for (const HeaderForm& form : forms) {
    const AcpiDumpText parsed = ParseAcpiDump(std::string(form.line) + "\n  0000: 52 53 44 20\n");
    if (form.signature == nullptr) {
      EXPECT_TRUE(parsed.tables.empty()) << form.line;
      continue;
    }
    ASSERT_EQ(parsed.tables.size(), 1u) << form.line;
    EXPECT_EQ(parsed.tables[0].signature, form.signature) << form.line;
    EXPECT_EQ(parsed.tables[0].address, form.address) << form.line;
    EXPECT_EQ(parsed.tables[0].bytes, (Bytes{0x52, 0x53, 0x44, 0x20})) << form.line;
  }
}

TEST(SimBoardAcpiDump, ThinkpadAsPmtoolsPrintsItKeepsItsRootPointer) {
  // The sample with its root pointer named as pmtools names it, the rest as it is.
  std::ifstream in(kSamples + "/acpi/thinkpad-tp68-with-rsdp/acpidump.txt", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(text.rfind("RSDP @ 0xf7240\n", 0), 0u);
  text.replace(0, 4, "RSD PTR");
  SimPhysicalMemory m;
  PhysicalLayout layout;
  const auto p = PlaceAcpiDump(ParseAcpiDump(text), m, layout);
  EXPECT_FALSE(p.rsdpMade);
  EXPECT_FALSE(p.rsdtMade);
  EXPECT_EQ(p.rsdpAddress, 0xF7240u);
  EXPECT_EQ(RsdtEntries(m, 0xF7240).size(), 13u);
  EXPECT_FALSE(Mentions(p.warnings, "skipped"));
}

// Hex lines after a line the loader does not understand belong to no table it knows: merged
// into the table above, their offsets from 0 would overwrite its header.
struct StrayCase {
  const char* name;
  const char* between;  // the line not understood
};

TEST(SimBoardAcpiDump, HexLinesAfterALineNotUnderstoodAreDroppedAndReported) {
  const StrayCase cases[] = {
      {"header with a bad address", "XSDT @ 0xZZ"},
      {"header of another tool", "Table [XSDT] at 0x7000040"},
      {"hex line without bytes", "  0000: zz yy"},
  };
  const Bytes ssdt = Ssdt(1);
  const Bytes hpet = Ssdt(2);
  for (const StrayCase& c : cases) {
    std::string text = Table("SSDT", 0x7000100, ssdt);
    text += std::string(c.between) + "\n  0000: 58 53 44 54 ff ff ff ff\n  0010: 01 02 03\n";
    text += Table("HPET", 0x7000200, hpet);
    const AcpiDumpText parsed = ParseAcpiDump(text);
    ASSERT_EQ(parsed.tables.size(), 2u) << c.name;
    EXPECT_EQ(parsed.tables[0].bytes, ssdt) << c.name;  // the table above is as it was
    EXPECT_EQ(parsed.tables[1].bytes, hpet) << c.name;  // the next header reads again
    const std::string at = "line " + std::to_string(std::count(text.begin(),
                                                              text.begin() + text.find(c.between),
                                                              '\n') + 1);
    EXPECT_TRUE(Mentions(parsed.warnings, "dropped", ", which is")) << c.name;
    EXPECT_TRUE(Mentions(parsed.warnings, "after " + at)) << c.name;
    // One report for the run of dropped lines, besides the count of skipped lines.
    EXPECT_EQ(std::count_if(parsed.warnings.begin(), parsed.warnings.end(),
                            [](const std::string& w) { return w.find("dropped") != w.npos; }),
              1)
        << c.name;
  }
}

TEST(SimBoardAcpiDump, TotalSizeIsCapped) {
  std::string text;
  for (int t = 0; t < 5; ++t) text += "SSDT @ 0x0\n  00FFFFF0: 00\n";  // 16 MiB each
  const AcpiDumpText parsed = ParseAcpiDump(text);
  EXPECT_EQ(parsed.tables.size(), 4u);
  EXPECT_TRUE(Mentions(parsed.warnings, "64 MiB"));
}

TEST(SimBoardAcpiDump, MissingFileIsReported) {
  SimPhysicalMemory m;
  PhysicalLayout layout;
  const auto p = LoadAcpiDumpFile("/nonexistent/acpidump.txt", m, layout);
  EXPECT_TRUE(Mentions(p.warnings, "cannot read"));
  EXPECT_EQ(p.rsdpAddress, 0u);
}

// SMBIOS.
std::string ProductOf(SimPhysicalMemory& m) {
  for (std::uint64_t at = 0xF0000; at < 0x100000; at += 16) {
    const Bytes e = m.ReadBytes(at, 31);
    if (std::string(e.begin(), e.begin() + 4) != "_SM_" || Sum(e) != 0) continue;
    const Bytes t = m.ReadBytes(U32(e, 0x18), e[0x16] | (e[0x17] << 8));
    std::size_t p = 0;
    while (p + 4 <= t.size()) {
      std::size_t end = p + t[p + 1];
      if (t[p] == 2) {
        std::size_t s = end;
        for (int n = t[p + 5]; --n > 0;) s = std::find(t.begin() + s, t.end(), 0) - t.begin() + 1;
        return std::string(reinterpret_cast<const char*>(&t[s]));
      }
      while (end + 1 < t.size() && (t[end] || t[end + 1])) ++end;
      p = end + 2;
    }
  }
  return "";
}

TEST(SimBoardSmbiosDump, TwoPointEntryPointsArePlacedAndPatched) {
  for (const auto& [folder, product] : std::map<std::string, std::string>{
           {"dell-r730", "072T6D"}, {"intel-s2600wtt", "S2600WTT"}}) {
    SimPhysicalMemory m;
    PhysicalLayout layout;
    const auto p = LoadDmidecodeDumpFile(kSamples + "/smbios/" + folder + "/dmidecode-dump.bin", m,
                                         layout, 0xCFF60000);
    EXPECT_TRUE(p.loaded) << folder;
    EXPECT_EQ(p.anchor, "_SM_");
    EXPECT_EQ(p.tableAddress, 0xCFF60000u);
    EXPECT_GE(p.entryAddress, 0xF0000u);
    const Bytes entry = m.ReadBytes(p.entryAddress, 31);
    EXPECT_EQ(U32(entry, 0x18), 0xCFF60000u);
    EXPECT_EQ(Sum(Bytes(entry.begin() + 16, entry.end())), 0u);
    EXPECT_EQ(ProductOf(m), product) << folder;
    EXPECT_TRUE(p.warnings.empty()) << folder << ": " << p.warnings.front();
  }
}

TEST(SimBoardSmbiosDump, Smbios3OnlyDumpHasNoTwoPointAnchorAndIsReported) {
  SimPhysicalMemory m;
  PhysicalLayout layout;
  const auto p = LoadDmidecodeDumpFile(
      kSamples + "/smbios/beelink-eq12-smbios3-only/dmidecode-dump.bin", m, layout);
  EXPECT_EQ(p.anchor, "_SM3_");
  EXPECT_TRUE(Mentions(p.warnings, "_SM3_"));
  EXPECT_TRUE(Mentions(p.warnings, "5809", "4291"));
  EXPECT_EQ(ProductOf(m), "");
  const Bytes entry = m.ReadBytes(p.entryAddress, 24);
  EXPECT_EQ(std::string(entry.begin(), entry.begin() + 5), "_SM3_");
  EXPECT_EQ(Sum(entry), 0u);
  EXPECT_EQ(U32(entry, 0x10), p.tableAddress);
}

TEST(SimBoardSmbiosDump, GarbageAndShortDumpsAreRejected) {
  SimPhysicalMemory m;
  PhysicalLayout layout;
  EXPECT_FALSE(PlaceDmidecodeDump(Bytes{'x', 'y'}, m, layout).loaded);
  EXPECT_FALSE(PlaceDmidecodeDump(Bytes{'_', 'S', 'M', '_', 0, 0x1F}, m, layout).loaded);
  Bytes huge = BuildSmbiosEntryPoint(SmbiosEntryFields{2, 8, 0xFFFF, 0x20, 1, 4});
  huge.resize(0x28, 0);
  const auto p = PlaceDmidecodeDump(huge, m, layout);
  EXPECT_TRUE(p.loaded);
  EXPECT_TRUE(Mentions(p.warnings, "65535", "holds 8"));
  EXPECT_EQ(m.BackedPageCount(), 2u);  // the 8 bytes and the entry point, nothing more
}

TEST(SimBoardDumps, BoardFromDumpsNamesItselfAndFindsItsQvzx) {
  BoardDescription d = DefaultBoardDescription();
  d.acpidumpPath = kSamples + "/acpi/gigabyte-ga-ma785gm-us2h/acpidump.txt";
  d.dmidecodePath = kSamples + "/smbios/intel-s2600wtt/dmidecode-dump.bin";
  d.addQvzxToDump = true;
  SimBoard board(d);
  EXPECT_EQ(ProductOf(board.Memory()), "S2600WTT");
  ASSERT_TRUE(board.ControlByteAddress());
  EXPECT_EQ(board.ControlByte(), 0);
  EXPECT_TRUE(Mentions(board.Warnings(), "ACPI: ", "TAMG"));
  EXPECT_EQ(board.Memory().Read32(0xE0000000), 0x01008086u);  // ECAM still there
}

}  // namespace
}  // namespace velmora::sim
