#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "sim/board/AcpiTables.h"
#include "sim/board/BuiltFirmware.h"
#include "sim/board/SimBoard.h"
#include "sim/board/SmbiosTables.h"

namespace velmora::sim {
namespace {

// Checks written without the builders' helpers: a plain byte sum and little-endian reads.
unsigned Sum(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t size) {
  unsigned sum = 0;
  for (std::size_t i = from; i < from + size; ++i) sum += bytes.at(i);
  return sum & 0xFF;
}
std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) |
         (std::uint32_t{b.at(at + 3)} << 24);
}
std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
std::string Text(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t size) {
  return std::string(b.begin() + at, b.begin() + at + size);
}

// The first 16-byte aligned match with a valid checksum, as firmware readers search.
std::uint64_t Search(SimPhysicalMemory& m, std::uint64_t from, std::uint64_t length,
                     const std::string& anchor, std::size_t checked) {
  for (std::uint64_t at = from; at < from + length; at += 16) {
    const auto bytes = m.ReadBytes(at, checked);
    if (Text(bytes, 0, anchor.size()) == anchor && Sum(bytes, 0, checked) == 0) return at;
  }
  return 0;
}

TEST(SimBoardAcpiBuilders, RsdpRevision0Is20BytesWithValidChecksum) {
  const Bytes rsdp = BuildRsdp(RsdpFields{0, "ZELKOR", 0xCFF80000, 0});
  ASSERT_EQ(rsdp.size(), 20u);
  EXPECT_EQ(Text(rsdp, 0, 8), "RSD PTR ");
  EXPECT_EQ(Sum(rsdp, 0, 20), 0u);
  EXPECT_EQ(rsdp[15], 0);
  EXPECT_EQ(U32(rsdp, 16), 0xCFF80000u);
}

TEST(SimBoardAcpiBuilders, RsdpRevision2HasLength36XsdtAndBothChecksums) {
  const Bytes rsdp = BuildRsdp(RsdpFields{2, "ZELKOR", 0xCFF80000, 0x1CFF80100ull});
  ASSERT_EQ(rsdp.size(), 36u);
  EXPECT_EQ(U32(rsdp, 20), 36u);
  EXPECT_EQ(U32(rsdp, 24), 0xCFF80100u);
  EXPECT_EQ(U32(rsdp, 28), 1u);
  EXPECT_EQ(Sum(rsdp, 0, 20), 0u);
  EXPECT_EQ(Sum(rsdp, 0, 36), 0u);
}

TEST(SimBoardAcpiBuilders, FadtFieldsSitAtTheirOffsets) {
  FadtFields f;
  f.facsAddress = 0x11223344;
  f.dsdtAddress = 0x55667788;
  const Bytes fadt = BuildFadt(f);
  ASSERT_EQ(fadt.size(), 116u);
  EXPECT_EQ(U32(fadt, 4), 116u);
  EXPECT_EQ(Sum(fadt, 0, fadt.size()), 0u);
  EXPECT_EQ(U32(fadt, 36), 0x11223344u);
  EXPECT_EQ(U32(fadt, 40), 0x55667788u);
  EXPECT_EQ(U16(fadt, 46), 9u);
  EXPECT_EQ(U32(fadt, 56), 0x800u);
  EXPECT_EQ(U32(fadt, 76), 0x808u);
  EXPECT_EQ(U32(fadt, 112) & 0x100, 0x100u);
  f.revision = 4;
  const Bytes wide = BuildFadt(f);
  EXPECT_EQ(wide.size(), 244u);
  EXPECT_EQ(U32(wide, 140), 0x55667788u);  // X_DSDT
  EXPECT_EQ(Sum(wide, 0, wide.size()), 0u);
}

TEST(SimBoardAcpiBuilders, MadtIoApicAndEcdtRegistersAtTheirOffsets) {
  MadtFields madt;
  madt.ioApics = {MadtIoApic{2, 0xFEC00000, 0}, MadtIoApic{3, 0xFEC80000, 24}};
  const Bytes apic = BuildMadt(madt);
  EXPECT_EQ(Sum(apic, 0, apic.size()), 0u);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ioApics;
  for (std::size_t at = 44; at < apic.size(); at += apic[at + 1]) {
    ASSERT_NE(apic[at + 1], 0);
    if (apic[at] == 1) ioApics.emplace_back(U32(apic, at + 4), U32(apic, at + 8));
  }
  ASSERT_EQ(ioApics.size(), 2u);
  EXPECT_EQ(ioApics[0], std::make_pair(0xFEC00000u, 0u));
  EXPECT_EQ(ioApics[1], std::make_pair(0xFEC80000u, 24u));

  const Bytes ecdt = BuildEcdt(EcdtFields{});
  EXPECT_EQ(Sum(ecdt, 0, ecdt.size()), 0u);
  EXPECT_EQ(ecdt[36], 1);  // system I/O
  EXPECT_EQ(U32(ecdt, 40), 0x66u);
  EXPECT_EQ(U32(ecdt, 52), 0x62u);
}

TEST(SimBoardAcpiBuilders, QvzxEntriesArePackedTypeLengthData) {
  const Bytes qvzx = BuildQvzx({QvzxEntry{1, {0xAA, 0xBB}}, QvzxEntry{3, {0x00, 0x00}},
                                QvzxControlEntry(0x13), QvzxEntry{4, {}}});
  EXPECT_EQ(Text(qvzx, 0, 4), "QVZX");
  EXPECT_EQ(U32(qvzx, 4), qvzx.size());
  EXPECT_EQ(Sum(qvzx, 0, qvzx.size()), 0u);
  const std::vector<std::uint8_t> entries(qvzx.begin() + 36, qvzx.end());
  const std::vector<std::uint8_t> expected = {1, 4, 0xAA, 0xBB, 3, 4, 0, 0, 3, 3, 0x13, 4, 2};
  EXPECT_EQ(entries, expected);
  EXPECT_EQ(QvzxControlByteOffset(qvzx), 36u + 10u);  // the type-3 entry of length 4 is skipped
}

TEST(SimBoardAcpiBuilders, QvzxLastControlEntryCountsAndZeroLengthEndsTheWalk) {
  const Bytes two = BuildQvzx({QvzxControlEntry(1), QvzxControlEntry(2)});
  EXPECT_EQ(two[QvzxControlByteOffset(two)], 2);
  const Bytes broken = BuildQvzx({QvzxEntry{9, {}, 0}, QvzxControlEntry(5)});
  EXPECT_EQ(QvzxControlByteOffset(broken), 40u);
  const Bytes stuck = BuildQvzx({QvzxEntry{9, {}, 1}, QvzxControlEntry(5)});
  // Length 1 is walked as written: the walk falls out of step and finds no control entry.
  EXPECT_EQ(QvzxControlByteOffset(stuck), 0u);
  const Bytes zero = BuildQvzx({QvzxEntry{0, {0}, 0xFF}, QvzxControlEntry(5)});
  EXPECT_EQ(QvzxControlByteOffset(zero), 0u);  // runs past the table: nothing found after it
}

TEST(SimBoardSmbiosBuilders, EntryPointChecksumsAndFields) {
  const Bytes entry = BuildSmbiosEntryPoint(SmbiosEntryFields{2, 6, 0x1234, 0xCFF60000, 4, 0x60});
  ASSERT_EQ(entry.size(), 31u);
  EXPECT_EQ(Text(entry, 0, 4), "_SM_");
  EXPECT_EQ(entry[5], 0x1F);
  EXPECT_EQ(Sum(entry, 0, 31), 0u);
  EXPECT_EQ(Text(entry, 16, 5), "_DMI_");
  EXPECT_EQ(Sum(entry, 16, 15), 0u);
  EXPECT_EQ(U16(entry, 0x16), 0x1234u);
  EXPECT_EQ(U32(entry, 0x18), 0xCFF60000u);
  EXPECT_EQ(U16(entry, 0x1C), 4u);
}

TEST(SimBoardSmbiosBuilders, StructureWithoutStringsEndsWithTwoZeros) {
  const Bytes end = BuildEndOfTable(9).Serialise();
  const std::vector<std::uint8_t> expected = {127, 4, 9, 0, 0, 0};
  EXPECT_EQ(end, expected);
  SmbiosIdentity id;
  id.baseboardProduct = "ZV-H61M";
  id.baseboardVersion = "";
  const Bytes board = BuildBaseboardInformation(id, 2).Serialise();
  EXPECT_EQ(board[0], 2);
  EXPECT_EQ(board[5], 2);  // product is string 2
  EXPECT_EQ(board[6], 0);  // empty version: no string
  const std::string strings(board.begin() + board[1], board.end());
  EXPECT_EQ(strings, std::string("Zelkor Technology Co., Ltd.\0ZV-H61M\0\0", 37));
}

// Reads the baseboard product the way a 2.x reader does.
std::string BaseboardProduct(SimPhysicalMemory& m) {
  const std::uint64_t entry = Search(m, 0xF0000, 0x10000, "_SM_", 31);
  if (entry == 0) return "<no entry point>";
  const auto e = m.ReadBytes(entry, 31);
  const auto table = m.ReadBytes(U32(e, 0x18), U16(e, 0x16));
  std::size_t at = 0;
  while (at + 4 <= table.size()) {
    std::size_t end = at + table[at + 1];
    if (table[at] == 2) {
      int number = table.at(at + 5);
      std::size_t s = end;
      while (--number > 0) s = std::find(table.begin() + s, table.end(), 0) - table.begin() + 1;
      return std::string(reinterpret_cast<const char*>(table.data() + s));
    }
    while (end + 1 < table.size() && (table[end] != 0 || table[end + 1] != 0)) ++end;
    at = end + 2;
  }
  return "<no baseboard>";
}

TEST(SimBoardDefault, SmbiosNamesTheBoard) {
  SimBoard board;
  EXPECT_EQ(BaseboardProduct(board.Memory()), "ZV-H61M");
  EXPECT_GE(board.SmbiosEntryAddress(), 0xF0000u);
  EXPECT_LE(board.SmbiosEntryAddress(), 0xFFFF0u);
}

TEST(SimBoardDefault, AcpiChainFromTheRootPointerIsComplete) {
  SimBoard board;
  SimPhysicalMemory& m = board.Memory();
  const std::uint64_t rsdpAt = Search(m, 0xE0000, 0x20000, "RSD PTR ", 20);
  ASSERT_NE(rsdpAt, 0u);
  EXPECT_GE(rsdpAt, 0xF0000u);
  const auto rsdp = m.ReadBytes(rsdpAt, 20);
  EXPECT_EQ(rsdp[15], 0);
  const std::uint32_t rsdtAt = U32(rsdp, 16);
  const auto rsdtHead = m.ReadBytes(rsdtAt, 36);
  const auto rsdt = m.ReadBytes(rsdtAt, U32(rsdtHead, 4));
  EXPECT_EQ(Text(rsdt, 0, 4), "RSDT");
  EXPECT_EQ(Sum(rsdt, 0, rsdt.size()), 0u);
  std::map<std::string, std::uint32_t> found;
  for (std::size_t at = 36; at + 4 <= rsdt.size(); at += 4) {
    const std::uint32_t address = U32(rsdt, at);
    const auto head = m.ReadBytes(address, 36);
    const auto table = m.ReadBytes(address, U32(head, 4));
    EXPECT_EQ(Sum(table, 0, table.size()), 0u) << Text(head, 0, 4);
    found.emplace(Text(head, 0, 4), address);
  }
  for (const char* sig : {"FACP", "APIC", "ECDT", "QVZX", "SSDT", "MCFG"}) {
    EXPECT_TRUE(found.count(sig)) << sig;
  }
  const auto fadt = m.ReadBytes(found["FACP"], 116);
  EXPECT_EQ(U32(fadt, 56), 0x800u);
  EXPECT_EQ(U32(fadt, 76), 0x808u);
  EXPECT_EQ(U16(fadt, 46), 9u);
  EXPECT_EQ(Text(m.ReadBytes(U32(fadt, 36), 4), 0, 4), "FACS");
  EXPECT_EQ(U32(fadt, 36) % 64, 0u);
  const std::uint32_t dsdtAt = U32(fadt, 40);
  const auto dsdtHead = m.ReadBytes(dsdtAt, 36);
  EXPECT_EQ(Text(dsdtHead, 0, 4), "DSDT");
  EXPECT_EQ(Sum(m.ReadBytes(dsdtAt, U32(dsdtHead, 4)), 0, U32(dsdtHead, 4)), 0u);
  // The SSDT search starts at (DSDT + length) rounded down to 16 and steps by 16.
  const std::uint32_t start = (dsdtAt + U32(dsdtHead, 4)) & ~0xFu;
  std::uint64_t ssdt = 0;
  for (std::uint64_t at = start; at < start + 0x10000 && ssdt == 0; at += 16) {
    if (Text(m.ReadBytes(at, 4), 0, 4) == "SSDT") ssdt = at;
  }
  EXPECT_EQ(ssdt, found["SSDT"]);
}

TEST(SimBoardDefault, QvzxHoldsOneControlEntryTheBoardCanDrive) {
  SimBoard board;
  ASSERT_TRUE(board.ControlByteAddress());
  const std::uint64_t control = *board.ControlByteAddress();
  SimPhysicalMemory& m = board.Memory();
  EXPECT_EQ(m.Read8(control - 2), 3);
  EXPECT_EQ(m.Read8(control - 1), 3);
  EXPECT_EQ(m.Read8(control), 0);
  board.WritePhysical(control, "\x13", 1);
  board.RaiseBootRequest();
  EXPECT_EQ(board.ControlByte(), 0x13);
  board.SetControlByte(0x08);
  board.RaiseBootRequest();
  EXPECT_EQ(board.ControlByte(), 0x18);
}

TEST(SimBoardDefault, MadtAndEcdtCarryTheBoardValues) {
  SimBoard board;
  std::map<std::string, std::uint64_t> at;
  for (const PlacedTable& t : board.AcpiTables()) at.emplace(t.signature, t.address);
  SimPhysicalMemory& m = board.Memory();
  const auto ecdt = m.ReadBytes(at["ECDT"], 56);
  EXPECT_EQ(U32(ecdt, 40), 0x66u);
  EXPECT_EQ(U32(ecdt, 52), 0x62u);
  const auto head = m.ReadBytes(at["APIC"], 36);
  const auto apic = m.ReadBytes(at["APIC"], U32(head, 4));
  bool ioApic = false;
  for (std::size_t p = 44; p < apic.size() && apic[p + 1] != 0; p += apic[p + 1]) {
    if (apic[p] == 1) ioApic = U32(apic, p + 4) == 0xFEC00000u && U32(apic, p + 8) == 0;
  }
  EXPECT_TRUE(ioApic);
}

TEST(SimBoardDefault, Revision2BoardHasAnXsdtListingTheSameTables) {
  BoardDescription d = DefaultBoardDescription();
  d.acpi.rsdpRevision = 2;
  SimBoard board(d);
  const auto rsdp = board.Memory().ReadBytes(board.RsdpAddress(), 36);
  EXPECT_EQ(Sum(rsdp, 0, 36), 0u);
  const std::uint32_t xsdtAt = U32(rsdp, 24);
  const std::uint32_t rsdtAt = U32(rsdp, 16);
  const auto xsdt = board.Memory().ReadBytes(xsdtAt, 36);
  const auto rsdt = board.Memory().ReadBytes(rsdtAt, 36);
  EXPECT_EQ(Text(xsdt, 0, 4), "XSDT");
  EXPECT_EQ((U32(xsdt, 4) - 36) / 8, (U32(rsdt, 4) - 36) / 4);
}

}  // namespace
}  // namespace velmora::sim
