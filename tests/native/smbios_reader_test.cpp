#include <gtest/gtest.h>

#include "HardwareTestSupport.h"
#include "hw/SmbiosBase.h"
#include "sim/SimStartup.h"
#include "sim/board/SimBoard.h"
#include "sim/board/SmbiosTables.h"

namespace velmora {
namespace {

using sim::Bytes;
using sim::SmbiosStructure;

constexpr std::uint32_t kCustomTable = 0x00200000;

// Replaces the default board's table with the given structures, behind a valid entry point.
void InstallTable(sim::SimBoard& board, const Bytes& table, std::uint32_t entryAddress) {
  board.WritePhysical(kCustomTable, table.data(), table.size());
  board.AddFirmwareRange(kCustomTable, table.size());
  sim::SmbiosEntryFields fields;
  fields.tableLength = static_cast<std::uint16_t>(table.size());
  fields.tableAddress = kCustomTable;
  const Bytes entry = sim::BuildSmbiosEntryPoint(fields);
  const std::uint8_t erased[4] = {'X', 'X', 'X', 'X'};
  board.WritePhysical(board.SmbiosEntryAddress(), erased, 4);
  board.WritePhysical(entryAddress, entry.data(), entry.size());
}

SmbiosStructure Baseboard(const std::string& product, std::uint16_t handle = 2) {
  sim::SmbiosIdentity identity;
  identity.baseboardProduct = product;
  return sim::BuildBaseboardInformation(identity, handle);
}

Bytes Table(const std::vector<SmbiosStructure>& structures) {
  return sim::BuildSmbiosTable(structures).bytes;
}

// On 32-bit Windows XP, which has no firmware table provider: the reader searches the BIOS area
// for the entry point.
class SmbiosReaderTest : public ::testing::Test {
 protected:
  std::string BoardNameWith(const std::string& product) {
    InstallTable(board, Table({Baseboard(product), sim::BuildEndOfTable(3)}), 0xF0000);
    return Read().BoardName();
  }
  TSmbiosBase Read() {
    start = std::make_unique<sim::SimStartup>(board, sim::WindowsXpX86(), "");
    return TSmbiosBase(start->ConnectDriver(), start->codePage);
  }

  sim::SimBoard board;
  std::unique_ptr<sim::SimStartup> start;
};

TEST_F(SmbiosReaderTest, DefaultBoardIsFoundAndNamed) {
  const TSmbiosBase smbios = Read();
  EXPECT_EQ(smbios.Found, 1);
  EXPECT_EQ(smbios.EntryPointAddress, board.SmbiosEntryAddress());
  EXPECT_EQ(smbios.BoardName(), "ZV-H61M");
  ASSERT_NE(smbios.FindStructure(0, 0), nullptr);
  EXPECT_EQ(smbios.FindStructure(2, 1), nullptr);
}

TEST_F(SmbiosReaderTest, AnchorWithABadChecksumIsPassedOver) {
  InstallTable(board, Table({Baseboard("REAL-BOARD")}), 0xF0100);
  Bytes decoy = sim::BuildSmbiosEntryPoint({2, 6, 64, 0x300000, 1, 64});
  decoy[4] ^= 0x55;  // breaks the checksum
  board.WritePhysical(0xF0000, decoy.data(), decoy.size());
  const TSmbiosBase smbios = Read();
  EXPECT_EQ(smbios.EntryPointAddress, 0xF0100u);
  EXPECT_EQ(smbios.BoardName(), "REAL-BOARD");
}

// The search runs 0x400 bytes past the BIOS area. The driver reads nothing there (on a PC it is
// RAM), even where the memory is the firmware's: an anchor there is not found.
TEST_F(SmbiosReaderTest, AnchorJustPastTheBiosAreaIsNotFound) {
  InstallTable(board, Table({Baseboard("EDGE")}), 0x100400);
  board.AddFirmwareRange(0x100000, 0x1000);
  EXPECT_EQ(Read().Found, 0);
  InstallTable(board, Table({Baseboard("TOO-FAR")}), 0x100410);
  board.WritePhysical(0x100400, "XXXX", 4);
  EXPECT_EQ(Read().Found, 0);
}

TEST_F(SmbiosReaderTest, NoAnchorMeansNothingFound) {
  board.WritePhysical(board.SmbiosEntryAddress(), "XXXX", 4);
  const TSmbiosBase smbios = Read();
  EXPECT_EQ(smbios.Found, 0);
  EXPECT_EQ(smbios.EntryPointAddress, kNoAddress);
  EXPECT_EQ(smbios.FindStructure(2, 0), nullptr);
  EXPECT_EQ(smbios.BoardName(), "");
}

TEST_F(SmbiosReaderTest, BoardNameLosesBlanksOnceThenTrailingFullStops) {
  EXPECT_EQ(BoardNameWith("KV7MB-TE "), "KV7MB-TE");
  EXPECT_EQ(BoardNameWith("  KV7MB-TE\t"), "KV7MB-TE");
  EXPECT_EQ(BoardNameWith("KV7MB-TE."), "KV7MB-TE");
  EXPECT_EQ(BoardNameWith("KV7MB-TE.."), "KV7MB-TE");
  EXPECT_EQ(BoardNameWith("KV7MB-TE. ."), "KV7MB-TE. ");
  EXPECT_EQ(BoardNameWith("..."), "");
}

TEST_F(SmbiosReaderTest, ProductStringNumberZeroOrBeyondTheSetGivesNoName) {
  SmbiosStructure board2 = Baseboard("HIDDEN");
  board2.formatted[1] = 0;  // byte 5 of the structure: the product string number
  InstallTable(board, Table({board2}), 0xF0000);
  EXPECT_EQ(Read().BoardName(), "");
  board2.formatted[1] = 9;
  InstallTable(board, Table({board2}), 0xF0000);
  EXPECT_EQ(Read().BoardName(), "");
}

TEST_F(SmbiosReaderTest, TableWithoutABaseboardGivesNoName) {
  sim::SmbiosIdentity identity;
  InstallTable(board, Table({sim::BuildBiosInformation(identity, 0), sim::BuildEndOfTable(1)}),
               0xF0000);
  EXPECT_EQ(Read().BoardName(), "");
}

TEST_F(SmbiosReaderTest, SecondBaseboardIsOccurrenceOne) {
  InstallTable(board, Table({Baseboard("FIRST", 2), Baseboard("SECOND", 3)}), 0xF0000);
  const TSmbiosBase smbios = Read();
  const std::uint8_t* second = smbios.FindStructure(2, 1);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(smbios.GetString(second, second[5]), "SECOND");
  EXPECT_EQ(smbios.BoardName(), "FIRST");
  EXPECT_EQ(smbios.FindStructure(2, 2), nullptr);
}

TEST_F(SmbiosReaderTest, WalkGoesOnPastTheEndOfTableStructure) {
  InstallTable(board, Table({sim::BuildEndOfTable(1), Baseboard("AFTER-END", 2)}), 0xF0000);
  EXPECT_EQ(Read().BoardName(), "AFTER-END");
}

TEST_F(SmbiosReaderTest, StructureSizesCountFormattedAreaAndStrings) {
  SmbiosStructure noStrings{127, 9, {}, {}};
  InstallTable(board, Table({Baseboard("ABC"), noStrings}), 0xF0000);
  const TSmbiosBase smbios = Read();
  const std::uint8_t* board2 = smbios.FindStructure(2, 0);
  const std::uint8_t* end = smbios.FindStructure(127, 0);
  ASSERT_NE(board2, nullptr);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(smbios.StructureSize(end), 4u + 2u);  // header and two zero bytes
  EXPECT_EQ(board2 + smbios.StructureSize(board2), end);
}

TEST_F(SmbiosReaderTest, StringsThatNeverEndStopAtTheEndOfTheCopy) {
  Bytes table = Table({Baseboard("UNENDING")});
  table.resize(table.size() - 2);  // drop the terminating zeros of the string set
  InstallTable(board, table, 0xF0000);
  const TSmbiosBase smbios = Read();
  const std::uint8_t* board2 = smbios.FindStructure(2, 0);
  ASSERT_NE(board2, nullptr);
  EXPECT_EQ(smbios.StructureSize(board2), table.size());
  EXPECT_EQ(smbios.GetString(board2, 9), "");
}

TEST_F(SmbiosReaderTest, FormattedLengthPastTheTableOrZeroDoesNotRunAway) {
  Bytes table = Table({Baseboard("X")});
  table[1] = 0xFF;  // formatted area claims more than the table holds
  InstallTable(board, table, 0xF0000);
  EXPECT_EQ(Read().BoardName(), "");
  table[1] = 0;
  InstallTable(board, table, 0xF0000);
  EXPECT_EQ(Read().BoardName(), "");
}

TEST_F(SmbiosReaderTest, UnreadableTableCountsAsNotFound) {
  InstallTable(board, Table({Baseboard("UNREAD")}), 0xF0000);
  start = std::make_unique<sim::SimStartup>(board, sim::WindowsXpX86(), "");
  TReadWrite& rw = start->ConnectDriver();
  start->world.kernel.FailMapsOf(kCustomTable, 0x100);
  const TSmbiosBase smbios(rw, start->codePage);
  EXPECT_EQ(smbios.Found, 0);
  EXPECT_EQ(smbios.BoardName(), "");
}

// An entry point at 0xF00F0 lies across two 256-byte windows; the search reads only the first,
// so when the second cannot be mapped the anchor is found but its 31 bytes cannot be read. A
// valid entry point at 0xF0200 waits behind it: a reader that takes the unread bytes as anything
// (a checksum that fails or passes) goes on to read more memory.
struct UnreadableEntryCase {
  const char* name;
  Bytes entry;
};

Bytes HalfThatSumsToZero() {
  Bytes entry(sim::kSmbiosEntrySize, 0x11);  // the unreadable half: no valid sum with it
  entry[0] = '_';
  entry[1] = 'S';
  entry[2] = 'M';
  entry[3] = '_';
  unsigned sum = 0;
  for (int i = 0; i < 15; ++i) sum += entry[i];
  entry[15] = static_cast<std::uint8_t>(0x100 - sum % 256);  // the readable 16 bytes add up to 0
  return entry;
}

Bytes ValidEntryTo(std::uint32_t tableAddress, std::uint16_t length) {
  sim::SmbiosEntryFields fields;
  fields.tableLength = length;
  fields.tableAddress = tableAddress;
  return sim::BuildSmbiosEntryPoint(fields);
}

TEST(SmbiosReaderUnreadableEntryPoint, FailedReadMeansNoEntryPointAndNothingMoreIsRead) {
  const Bytes hidden = Table({Baseboard("HIDDEN")});
  const Bytes lure = Table({Baseboard("LURE")});
  const UnreadableEntryCase cases[] = {
      {"readable half sums to zero", HalfThatSumsToZero()},
      {"valid entry point out of reach",
       ValidEntryTo(kCustomTable, static_cast<std::uint16_t>(hidden.size()))},
  };
  for (const UnreadableEntryCase& c : cases) {
    sim::SimBoard board;
    board.WritePhysical(board.SmbiosEntryAddress(), "XXXX", 4);
    board.WritePhysical(kCustomTable, hidden.data(), hidden.size());
    board.WritePhysical(kCustomTable + 0x1000, lure.data(), lure.size());
    board.WritePhysical(0xF00F0, c.entry.data(), c.entry.size());
    const Bytes second = ValidEntryTo(kCustomTable + 0x1000, static_cast<std::uint16_t>(lure.size()));
    board.WritePhysical(0xF0200, second.data(), second.size());
    hwtest::HardwareRig rig(board, sim::WindowsXpX86(), "");
    TReadWrite& rw = rig.Connect();
    rig.world.kernel.FailMapsOf(0xF0100, 0x100);
    rig.io.reads.clear();

    const TSmbiosBase smbios(rw, rig.codePage);
    EXPECT_EQ(smbios.Found, 0) << c.name;
    EXPECT_EQ(smbios.EntryPointAddress, kNoAddress) << c.name;
    EXPECT_TRUE(smbios.Table.empty()) << c.name;
    EXPECT_EQ(smbios.BoardName(), "") << c.name;
    // The search's read ahead (refused), its window, then the entry point (refused).
    ASSERT_EQ(rig.io.reads.size(), 3u) << c.name;
    EXPECT_EQ(rig.io.reads.back().physical, 0xF00F0u) << c.name;
    EXPECT_EQ(rig.io.reads.back().length, 31u) << c.name;
  }
}

// Where Windows has a firmware table provider its table comes first (the board's own, not the
// one the test put behind the entry point); without a provider, or where it holds no table, the
// BIOS area is searched.
TEST(SmbiosReaderSources, ProviderTableComesFirstAndTheSearchIsTheFallback) {
  const struct {
    sim::SimWindowsRelease release;
    bool tablesHeld;
    const char* boardName;
  } cases[] = {{sim::WindowsXpX64(), true, "ZV-H61M"},
               {sim::WindowsXpX86(), true, "SCANNED"},
               {sim::Windows7X86(), false, "SCANNED"}};
  for (const auto& c : cases) {
    sim::SimBoard board;
    InstallTable(board, Table({Baseboard("SCANNED")}), 0xF0000);
    sim::SimStartup start(board, c.release, "");
    if (!c.tablesHeld) start.world.system.AttachFirmware(nullptr);
    const TSmbiosBase smbios(start.ConnectDriver(), start.codePage);
    const bool provided = std::string(c.boardName) == "ZV-H61M";
    EXPECT_EQ(smbios.BoardName(), c.boardName) << c.release.minor;
    EXPECT_EQ(smbios.TableFromProvider, provided) << c.release.minor;
    EXPECT_EQ(smbios.EntryPointAddress, provided ? kNoAddress : 0xF0000u) << c.release.minor;
  }
}

TEST_F(SmbiosReaderTest, ProductTextIsReadInTheAnsiCodePage) {
  EXPECT_EQ(BoardNameWith("Gr\xFC\xDF" "e"), "Gr\xC3\xBC\xC3\x9F" "e");
}

}  // namespace
}  // namespace velmora
