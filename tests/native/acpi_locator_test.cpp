#include <gtest/gtest.h>

#include <cstring>

#include "HardwareTestSupport.h"
#include "hw/AcpiBase.h"
#include "sim/SimStartup.h"
#include "sim/board/AcpiTables.h"
#include "sim/board/SimBoard.h"

namespace velmora {
namespace {

using sim::Bytes;

// Hand-placed firmware tables for the odd cases: the default board's pointer is erased and a
// new one at 0xE0000 leads to tables laid out from 0x00300000.
class AcpiImage {
 public:
  explicit AcpiImage(sim::SimBoard& board) : board_(board) {
    board_.WritePhysical(board_.RsdpAddress(), "XXXXXXXX", 8);
  }
  std::uint32_t Place(const Bytes& table, std::uint32_t address = 0) {
    if (address == 0) address = next_;
    board_.WritePhysical(address, table.data(), table.size());
    board_.AddFirmwareRange(address, table.size());
    next_ = std::max(next_, (address + static_cast<std::uint32_t>(table.size()) + 15) & ~15u);
    return address;
  }
  void Pointer(std::uint32_t rsdt, std::uint8_t revision = 0, std::uint64_t xsdt = 0) {
    Place(sim::BuildRsdp({revision, "ZELKOR", rsdt, xsdt}), 0xE0000);
  }

 private:
  sim::SimBoard& board_;
  std::uint32_t next_ = 0x00300000;
};

// On 32-bit Windows XP, which has no firmware table provider: the locator searches the BIOS
// area for the root pointer, unless a test chooses another release.
class AcpiLocatorTest : public ::testing::Test {
 protected:
  TAcpiBase& Locate(const std::string& ini = "", sim::SimMachine* provider = nullptr) {
    acpi.reset();
    start.reset();  // the log is the new start's only once the old one let go of it
    start = std::make_unique<sim::SimStartup>(*board, release,
                                              "[Config]\r\nRwDebug=1\r\nDetectPCIEBase=0\r\n" + ini);
    if (provider != nullptr) start->world.system.AttachFirmware(provider);
    acpi = std::make_unique<TAcpiBase>(start->ConnectDriver(), start->Config());
    return *acpi;
  }
  RwCfg& Cfg() { return start->Config().Config; }
  std::vector<std::string> Signatures() {
    std::vector<std::string> signatures;
    for (const AcpiTableEntry& entry : acpi->Tables) {
      std::uint8_t header[4];
      board->ReadPhysical(entry.Address, header, 4);
      signatures.push_back(SignatureText(header));
    }
    return signatures;
  }

  sim::SimWindowsRelease release = sim::WindowsXpX86();
  std::unique_ptr<sim::SimBoard> board = std::make_unique<sim::SimBoard>();
  std::unique_ptr<sim::SimStartup> start;
  std::unique_ptr<TAcpiBase> acpi;
};

TEST_F(AcpiLocatorTest, DefaultBoardChainInDiscoveryOrderWithTheLogToMatch) {
  TAcpiBase& acpi = Locate();
  ASSERT_EQ(acpi.Found, 1);
  EXPECT_EQ(acpi.Tables[0].Address, board->RsdpAddress());
  EXPECT_EQ(acpi.Tables[0].Length, 20u);
  EXPECT_EQ(Signatures(), (std::vector<std::string>{"RSD ", "RSDT", "FACP", "APIC", "ECDT",
                                                    "MCFG", "QVZX", "SSDT", "FACS", "DSDT",
                                                    "SSDT"}));
  std::vector<std::string> expectedLog{"Build RSDP"};
  for (std::size_t i = 1; i < acpi.Tables.size(); ++i) {
    expectedLog.push_back("Build " + Signatures()[i]);
    std::uint32_t length = 0;
    board->ReadPhysical(acpi.Tables[i].Address + 4, &length, 4);
    EXPECT_EQ(acpi.Tables[i].Length, length) << i;
  }
  EXPECT_EQ(start->LogLines("Build "), expectedLog);
  // The SSDT listed in the RSDT is found again by the search after the DSDT: listed twice.
  EXPECT_EQ(acpi.Tables[7].Address, acpi.Tables[10].Address);
}

// Where Windows has a firmware table provider its root table comes first: the RSDT, else the
// XSDT without its entries above 4 GiB. The pointer's and the root table's addresses are then
// unknown, and never read. A provider without a root table leaves the search of the BIOS area.
TEST_F(AcpiLocatorTest, ProviderXsdtIsFollowedBelow4GiBAndNoRootTableMeansTheSearch) {
  release = sim::Windows7X86();
  hwtest::FixedProvider xsdtOnly(*board, {{AcpiTableId("XSDT"),
                                           sim::BuildXsdt({0xCFF80040, 0x120000000, 0xCFF80100})}});
  TAcpiBase& acpi = Locate("", &xsdtOnly);
  EXPECT_EQ(acpi.Tables[1].Address, kNoAddress);
  EXPECT_EQ(Signatures(), (std::vector<std::string>{"????", "????", "FACP", "APIC", "FACS",
                                                    "DSDT", "SSDT"}));
  EXPECT_EQ(start->LogLines("Build ")[1], "Build XSDT");
  EXPECT_TRUE(acpi.FindTable("XSDT"));
  EXPECT_EQ(acpi.Current, 1u);
  EXPECT_TRUE(start->LogLines("RW: Map Memory Error").empty());  // nothing read at no address
  hwtest::FixedProvider none(*board, {});
  EXPECT_EQ(Locate("", &none).Tables[0].Address, board->RsdpAddress());
}

TEST_F(AcpiLocatorTest, PlatformValuesReplaceTheConfiguredOnes) {
  sim::BoardDescription description = sim::DefaultBoardDescription();
  description.acpi.fadt.pm1aEventBlock = 0x10400;  // only the low 16 bits are kept
  description.acpi.fadt.pmTimerBlock = 0x408;
  description.acpi.fadt.sciInterrupt = 11;
  description.acpi.fadt.flags = 0xFFFF00A5;  // TMR_VAL_EXT clear
  description.acpi.madtFields.ioApics = {{2, 0xFEC80000, 24}, {1, 0xFED00000, 0}};
  description.acpi.ecdt = sim::EcdtFields{1, 0x6C, 0x68};
  board = std::make_unique<sim::SimBoard>(description);
  Locate("AcpiPmBase=0x1234\r\nApicAddress=0x11111111\r\n");
  EXPECT_EQ(Cfg().AcpiPmBase, 0x0400);
  EXPECT_EQ(Cfg().PmTimerPort, 0x408);
  EXPECT_EQ(Cfg().PmTimerExt, 0);
  EXPECT_EQ(Cfg().AcpiSciIrq, 11u);
  EXPECT_EQ(Cfg().ApicAddress, 0xFED00000u);  // the I/O APIC whose interrupt base is 0
  EXPECT_EQ(Cfg().EC_SC, 0x6C);
  EXPECT_EQ(Cfg().EC_DATA, 0x68);
  EXPECT_EQ(Cfg().EC_AddressSpaceID, 1);
}

TEST_F(AcpiLocatorTest, TimerWidthFlagIsMaskedTo0x100) {
  Locate();
  EXPECT_EQ(Cfg().PmTimerExt, 0x100);  // default flags 0x1A5
  EXPECT_EQ(Cfg().AcpiPmBase, 0x800);
  EXPECT_EQ(Cfg().PmTimerPort, 0x808);
  EXPECT_EQ(Cfg().ApicAddress, 0xFEC00000u);
}

TEST_F(AcpiLocatorTest, RevisionTwoPointerTakesItsLengthField) {
  sim::BoardDescription description = sim::DefaultBoardDescription();
  description.acpi.rsdpRevision = 2;
  board = std::make_unique<sim::SimBoard>(description);
  EXPECT_EQ(Locate().Tables[0].Length, 36u);
}

TEST_F(AcpiLocatorTest, RootTableOfLength56ListsFiveAndSkipsItsZero) {
  AcpiImage image(*board);
  const std::uint32_t a = image.Place(sim::BuildSsdt(1));
  const std::uint32_t b = image.Place(sim::BuildSsdt(2));
  const std::uint32_t c = image.Place(sim::BuildSsdt(3));
  const std::uint32_t d = image.Place(sim::BuildSsdt(4));
  const Bytes rsdt = sim::BuildRsdt({a, b, 0, c, d});
  ASSERT_EQ(rsdt.size(), 56u);
  image.Pointer(image.Place(rsdt));
  TAcpiBase& acpi = Locate();
  ASSERT_EQ(acpi.Tables.size(), 6u);
  EXPECT_EQ(acpi.Tables[2].Address, a);
  EXPECT_EQ(acpi.Tables[4].Address, c);
  EXPECT_EQ(acpi.Tables[5].Address, d);
}

TEST_F(AcpiLocatorTest, SsdtSearchStartsAtTheDsdtEndRoundedDownToAParagraph) {
  AcpiImage image(*board);
  constexpr std::uint32_t kDsdt = 0xCFF80000;
  Bytes dsdt = sim::BuildDsdt(Bytes(0x1234 - 36, 0x5B));
  ASSERT_EQ(dsdt.size(), 0x1234u);
  const Bytes blank(0x4000, 0xFF);
  image.Place(blank, kDsdt);
  image.Place(dsdt, kDsdt);
  image.Place(sim::BuildSsdt(7), 0xCFF81220);  // before the start: not found
  image.Place(sim::BuildSsdt(8), 0xCFF81230);  // the start itself
  Bytes broken = sim::BuildSsdt(9);
  broken[9] ^= 1;  // bad checksum: left out
  image.Place(broken, 0xCFF81400);
  sim::FadtFields fadt;
  fadt.dsdtAddress = kDsdt;
  fadt.facsAddress = image.Place(sim::BuildFacs(), 0x00310000);
  const std::uint32_t fadtAt = image.Place(sim::BuildFadt(fadt));
  // The SSDTs are listed only in the XSDT, which the locator does not follow: only its search
  // finds them (and the driver reads only tables the firmware lists).
  const std::uint32_t xsdt =
      image.Place(sim::BuildXsdt({fadtAt, 0xCFF81220, 0xCFF81230, 0xCFF81400}));
  image.Pointer(image.Place(sim::BuildRsdt({fadtAt})), 2, xsdt);
  TAcpiBase& acpi = Locate();
  EXPECT_EQ(acpi.DsdtAddress, kDsdt);
  ASSERT_EQ(acpi.Tables.size(), 6u);  // RSDP, RSDT, FACP, FACS, DSDT, one SSDT
  EXPECT_EQ(acpi.Tables[5].Address, 0xCFF81230u);
  EXPECT_EQ(std::memcmp(acpi.DsdtHeader, dsdt.data(), 36), 0);
}

TEST_F(AcpiLocatorTest, ExtendedSsdtDecodingOffMeansNoSearch) {
  TAcpiBase& acpi = Locate("ACPIDecodeSSDTEx=0\r\n");
  EXPECT_EQ(acpi.Tables.size(), 10u);
  EXPECT_EQ(Signatures().back(), "DSDT");
}

TEST_F(AcpiLocatorTest, FindTableReturnsTheFirstInListOrder) {
  TAcpiBase& acpi = Locate();
  ASSERT_TRUE(acpi.FindTable("SSDT"));
  EXPECT_EQ(acpi.Current, 7u);
  ASSERT_TRUE(acpi.FindTable("QVZX"));
  EXPECT_EQ(acpi.CurrentEntry()->Address, acpi.Tables[6].Address);
  EXPECT_FALSE(acpi.FindTable("HPET"));
  EXPECT_EQ(acpi.Current, acpi.Tables.size() - 1);
}

// A table whose header cannot be read is passed over: it matches no signature.
TEST_F(AcpiLocatorTest, FindTablePassesOverATableItCannotRead) {
  TAcpiBase& acpi = Locate();
  const std::uint32_t qvzx = acpi.Tables[6].Address;
  start->world.kernel.FailMapsOf(qvzx, 1);
  EXPECT_FALSE(acpi.FindTable("QVZX"));
  EXPECT_EQ(acpi.Current, acpi.Tables.size() - 1);
  ASSERT_TRUE(acpi.FindTable("RSDT"));
  EXPECT_EQ(acpi.Current, 1u);
}

TEST_F(AcpiLocatorTest, NoPointerLeavesAnEmptyListAndTheConfigurationAlone) {
  board->WritePhysical(board->RsdpAddress(), "XXXXXXXX", 8);
  TAcpiBase& acpi = Locate("AcpiPmBase=0x1234\r\n");
  EXPECT_EQ(acpi.Found, 0);
  EXPECT_TRUE(acpi.Tables.empty());
  EXPECT_FALSE(acpi.FindTable("RSDT"));
  EXPECT_EQ(Cfg().AcpiPmBase, 0x1234);
  EXPECT_EQ(Cfg().PmTimerPort, 0);
  EXPECT_EQ(start->LogLines("Build"), std::vector<std::string>{"Build RSDP"});
}

TEST_F(AcpiLocatorTest, PointerWithABadChecksumIsPassedOverForTheNextOne) {
  AcpiImage image(*board);
  Bytes bad = sim::BuildRsdp({0, "ZELKOR", 0x12345678, 0});
  bad[8] ^= 0x40;
  image.Place(bad, 0xE0000);
  image.Place(sim::BuildRsdp({0, "ZELKOR", image.Place(sim::BuildRsdt({})), 0}), 0xE0010);
  TAcpiBase& acpi = Locate();
  ASSERT_EQ(acpi.Found, 1);
  EXPECT_EQ(acpi.Tables[0].Address, 0xE0010u);
}

TEST_F(AcpiLocatorTest, RootTableListingItselfEndsAndListsItOnce) {
  AcpiImage image(*board);
  constexpr std::uint32_t kRsdt = 0x00300000;
  image.Place(sim::BuildRsdt({kRsdt, kRsdt}), kRsdt);
  image.Pointer(kRsdt);
  TAcpiBase& acpi = Locate();
  EXPECT_EQ(acpi.Tables.size(), 4u);  // pointer, root, and its two entries (never decoded again)
}

TEST_F(AcpiLocatorTest, FadtCycleThroughItsDsdtFieldEnds) {
  AcpiImage image(*board);
  constexpr std::uint32_t kFadt = 0x00300100;
  sim::FadtFields fadt;
  fadt.facsAddress = kFadt;
  fadt.dsdtAddress = kFadt;
  image.Place(sim::BuildFadt(fadt), kFadt);
  image.Pointer(image.Place(sim::BuildRsdt({kFadt})));
  TAcpiBase& acpi = Locate();
  EXPECT_LE(acpi.Tables.size(), 6u);
}

TEST_F(AcpiLocatorTest, AbsurdLengthsAreListedButNeverCopied) {
  AcpiImage image(*board);
  Bytes huge = sim::BuildRsdt({0x00400000});
  huge[4] = 0xFF, huge[5] = 0xFF, huge[6] = 0xFF, huge[7] = 0xFF;
  Bytes tiny = sim::BuildFadt({});
  tiny[4] = 20, tiny[5] = 0, tiny[6] = 0, tiny[7] = 0;
  const std::uint32_t fadt = image.Place(tiny);
  const std::uint32_t rsdt = image.Place(sim::BuildRsdt({image.Place(huge), fadt}));
  image.Pointer(rsdt);
  TAcpiBase& acpi = Locate("AcpiSciIrq=5\r\n");
  // Pointer, root, huge, tiny FADT; neither table is one the driver reads (a table is at least
  // its 36-byte header and at most 4 MiB), so their headers read as all ones.
  ASSERT_EQ(acpi.Tables.size(), 4u);
  EXPECT_EQ(acpi.Tables[2].Length, 0xFFFFFFFFu);
  EXPECT_EQ(acpi.Tables[3].Length, 0xFFFFFFFFu);
  EXPECT_EQ(Cfg().AcpiSciIrq, 5u);  // a 20-byte FADT holds no SCI field
}

TEST_F(AcpiLocatorTest, MadtStructureOfLengthZeroEndsTheWalk) {
  AcpiImage image(*board);
  sim::MadtFields fields;
  fields.ioApics = {{1, 0xFEC00000, 0}, {2, 0xFED00000, 0}};
  Bytes madt = sim::BuildMadt(fields);
  // Zero the length byte of the first structure after the fixed part.
  madt[45] = 0;
  sim::FinishAcpiTable(madt);
  image.Pointer(image.Place(sim::BuildRsdt({image.Place(madt)})));
  Locate("ApicAddress=0x12340000\r\n");
  EXPECT_EQ(Cfg().ApicAddress, 0x12340000u);
}

}  // namespace
}  // namespace velmora
