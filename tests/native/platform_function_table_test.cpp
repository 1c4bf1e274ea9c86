#include <gtest/gtest.h>

#include "PlatformTestSupport.h"
#include "power/FunctionTable.h"
#include "sim/board/AcpiTables.h"

namespace velmora {
namespace {

using platformtest::PlatformRig;
using sim::QvzxEntry;

sim::BoardDescription BoardWithEntries(std::vector<QvzxEntry> entries) {
  sim::BoardDescription description = sim::DefaultBoardDescription();
  description.acpi.qvzxEntries = std::move(entries);
  return description;
}

// The pure walk over a table image.
std::optional<std::uint32_t> Walk(const std::vector<QvzxEntry>& entries) {
  return FindControlEntry(sim::BuildQvzx(entries));
}

TEST(FunctionTableWalk, EntriesOfOtherTypesOnlyGiveNoControlEntry) {
  EXPECT_EQ(Walk({QvzxEntry{1, {0x01, 0x00}}, QvzxEntry{4, {0x22}}, QvzxEntry{1, {}}}),
            std::nullopt);
}

TEST(FunctionTableWalk, TypeThreeOfLengthFourIsSkippedForTheNextOfLengthThree) {
  EXPECT_EQ(Walk({QvzxEntry{3, {0x08, 0x00}}, sim::QvzxControlEntry(0x08)}), 36u + 4u);
}

TEST(FunctionTableWalk, LastOfTwoControlEntriesWins) {
  EXPECT_EQ(Walk({sim::QvzxControlEntry(1), QvzxEntry{2, {9, 9, 9}}, sim::QvzxControlEntry(2)}),
            36u + 3u + 5u);
}

TEST(FunctionTableWalk, EntryOfLengthZeroEndsTheWalkKeepingWhatWasFound) {
  sim::Bytes table =
      sim::BuildQvzx({sim::QvzxControlEntry(1), QvzxEntry{7, {0, 0}}, sim::QvzxControlEntry(2)});
  table[36 + 3 + 1] = 0;  // the length byte of the middle entry
  EXPECT_EQ(FindControlEntry(table), 36u);
  table[36 + 1] = 0;  // now the very first entry
  EXPECT_EQ(FindControlEntry(table), std::nullopt);
}

TEST(FunctionTableWalk, EntryRunningPastTheTableEndsTheWalk) {
  // The first entry claims 0x50 bytes: the control entry inside its claimed span is not one.
  EXPECT_EQ(Walk({QvzxEntry{1, {}, 0x50}, sim::QvzxControlEntry(1)}), std::nullopt);
  EXPECT_EQ(Walk({sim::QvzxControlEntry(1), QvzxEntry{1, {}, 0x50}}), 36u);
}

TEST(FunctionTableWalk, ControlEntryCutOffByTheCopyIsNotTaken) {
  sim::Bytes table = sim::BuildQvzx({QvzxEntry{1, {5}}, sim::QvzxControlEntry(1)});
  table.pop_back();  // the control byte itself is missing from the copy
  EXPECT_EQ(FindControlEntry(table), std::nullopt);
}

TEST(FunctionTableWalk, LengthFieldBelowTheHeaderOrATruncatedHeaderWalksNothing) {
  sim::Bytes table = sim::BuildQvzx({sim::QvzxControlEntry(1)});
  table[4] = 20;
  EXPECT_EQ(FindControlEntry(table), std::nullopt);
  EXPECT_EQ(FindControlEntry(sim::Bytes(6, 0)), std::nullopt);
  EXPECT_EQ(FindControlEntry({}), std::nullopt);
}

TEST(FunctionTableWalk, LengthFieldShorterThanTheCopyStopsAtWhatItAnnounces) {
  sim::Bytes table = sim::BuildQvzx({QvzxEntry{1, {5}}, sim::QvzxControlEntry(1)});
  table[4] = 36 + 3;  // announces the first entry only
  EXPECT_EQ(FindControlEntry(table), std::nullopt);
}

TEST(PlatformFunctionTable, ControlEntryAddressIsTheTableAddressPlusItsOffset) {
  PlatformRig rig(BoardWithEntries({QvzxEntry{1, {1, 0}}, QvzxEntry{3, {0, 0}},
                                    sim::QvzxControlEntry(0), sim::QvzxControlEntry(0x10)}));
  TZlkSpec& spec = rig.Build();
  ASSERT_TRUE(spec.HasControlEntry);
  EXPECT_EQ(spec.ControlEntryAddress, rig.QvzxAddress() + 36 + 4 + 4 + 3);
  EXPECT_EQ(spec.ControlEntryAddress + 2, *rig.board.ControlByteAddress());
  EXPECT_EQ(spec.TableCopy.size(), 36u + 4 + 4 + 3 + 3);
  EXPECT_TRUE(spec.IsBootRequest());  // the second control entry's byte
}

TEST(PlatformFunctionTable, TableOfTypesOneAndFourOnlyHasNoControlEntry) {
  PlatformRig rig(BoardWithEntries({QvzxEntry{1, {1, 0}}, QvzxEntry{4, {0, 0, 0}}}));
  EXPECT_FALSE(rig.Build().HasControlEntry);
}

TEST(PlatformFunctionTable, NoFunctionTableAtAll) {
  sim::BoardDescription description = sim::DefaultBoardDescription();
  description.acpi.qvzx = false;
  PlatformRig rig(description);
  TZlkSpec& spec = rig.Build();
  EXPECT_FALSE(spec.HasControlEntry);
  EXPECT_TRUE(spec.TableCopy.empty());
  EXPECT_TRUE(spec.IsMakerBoard);
}

TEST(PlatformFunctionTable, EntryOfLengthZeroInMemoryEndsTheWalk) {
  PlatformRig rig(BoardWithEntries({QvzxEntry{7, {0, 0}}, sim::QvzxControlEntry(0)}));
  const std::uint8_t zero = 0;
  rig.board.WritePhysical(rig.QvzxAddress() + 36 + 1, &zero, 1);
  EXPECT_FALSE(rig.Build().HasControlEntry);
}

TEST(PlatformFunctionTable, BrokenTableLengthsAreNotCopied) {
  for (const std::uint32_t length : {0u, 35u, 0xFFFFFFF0u}) {
    PlatformRig rig(sim::DefaultBoardDescription());
    rig.board.WritePhysical(rig.QvzxAddress() + 4, &length, 4);
    TZlkSpec& spec = rig.Build();
    EXPECT_FALSE(spec.HasControlEntry) << length;
    EXPECT_TRUE(spec.TableCopy.empty()) << length;
    // At most the header was asked for, never a copy of the length the header claims.
    for (const auto& read : rig.rig.io.reads) {
      EXPECT_FALSE(read.physical == rig.QvzxAddress() && read.length > 36) << read.length;
    }
  }
}

TEST(PlatformFunctionTable, IntelProcessorSwitchesTheSsdtSearchOff) {
  PlatformRig rig(sim::DefaultBoardDescription(), "DetectPCIEBase=0\r\nACPIDecodeSSDTEx=1\r\n");
  rig.Build();
  EXPECT_EQ(rig.rig.Config().Config.ACPIDecodeSSDTEx, 0);
  // The SSDT listed in the root table is met once; the search after the DSDT would meet it again.
  EXPECT_EQ(rig.rig.LogLines("Build SSDT").size(), 1u);
}

TEST(PlatformFunctionTable, OtherProcessorsKeepTheConfiguredSsdtSearch) {
  sim::BoardDescription description = sim::DefaultBoardDescription();
  description.processor.vendor = "AuthenticAMD";
  {
    PlatformRig rig(description);
    rig.Build();
    EXPECT_EQ(rig.rig.Config().Config.ACPIDecodeSSDTEx, 1);
    EXPECT_EQ(rig.rig.LogLines("Build SSDT").size(), 2u);
  }
  {
    PlatformRig rig(description, "DetectPCIEBase=0\r\nACPIDecodeSSDTEx=0\r\n");
    rig.Build();
    EXPECT_EQ(rig.rig.Config().Config.ACPIDecodeSSDTEx, 0);
  }
}

}  // namespace
}  // namespace velmora
