// What the driver reads and writes on a board: the firmware it found itself, nothing else.
#include "driver_test_support.h"

namespace velmora::drivertest {
namespace {

constexpr std::uint32_t kDenied = dp::kStatusAccessDenied;
constexpr std::uint32_t kServed = dp::kStatusSuccess;

// The maker's board with a firmware memory map reserved in pages, as UEFI firmware reports it:
// the RAM after the ACPI tables starts in the same 64 KiB block as the tables.
sim::BoardDescription PageGranularBoard() {
  sim::BoardDescription board = sim::DefaultBoardDescription();
  board.firmwareMapUnit = 0x1000;
  return board;
}

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  std::uint32_t value;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

TEST(DriverFirmwareReadsTest, OnlyWhatTheFirmwareDescribesIsReadAndNeverRam) {
  DriverRig rig(PageGranularBoard());
  ASSERT_EQ(rig.Open().status, kServed);
  std::vector<std::uint8_t> entry;
  ASSERT_EQ(rig.Read(rig.board.SmbiosEntryAddress(), 31, &entry).status, kServed);
  const std::uint32_t smbiosTable = Le32(entry, 0x18);
  const std::uint32_t smbiosLength = Le32(entry, 0x16) & 0xFFFF;
  std::uint64_t lastTableEnd = 0;
  for (const sim::PlacedTable& table : rig.board.AcpiTables()) {
    EXPECT_EQ(rig.Read(table.address, table.length).status, kServed) << table.signature;
    if (table.signature != "RSDP")
      lastTableEnd = std::max(lastTableEnd, table.address + table.length);
  }
  ASSERT_EQ(lastTableEnd & ~std::uint64_t{0xFFFF}, 0xCFF80000u);
  const struct {
    const char* what;
    std::uint64_t address;
    std::uint32_t length;
    std::uint32_t status;
  } cases[] = {
      {"BIOS area, lower half", 0xE0000, 0x10000, kServed},
      {"BIOS area, upper half", 0xF0000, 0x10000, kServed},
      {"SMBIOS structure table", smbiosTable, smbiosLength, kServed},
      {"PCI Express window, host bridge", 0xE0000000, 4, kServed},
      {"PCI Express window, last page", 0xEFFFF000, 0x1000, kServed},
      {"RAM below 1 MiB", 0x7C00, 16, kDenied},
      {"RAM at 1 MiB", 0x100000, 16, kDenied},
      {"BIOS area running into RAM", 0xFFFF0, 32, kDenied},
      {"RAM after the tables, same 64 KiB block", 0xCFF81000, 16, kDenied},
      {"RAM above 4 GiB", 0x100000000, 16, kDenied},
      {"option ROM area (reserved, listed nowhere)", 0xC0000, 16, kDenied},
      {"after the last table (reserved, listed nowhere)", lastTableEnd, 16, kDenied},
      {"last table and one byte more", lastTableEnd - 4, 5, kDenied},
      {"past the PCI Express window", 0xF0000000, 4, kDenied},
      {"HPET", 0xFED00000, 4, kDenied},
      {"local APIC", 0xFEE00000, 4, kDenied},
      {"a device's BAR", 0xF7D00000, 4, kDenied},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bytes;
    const IoResult result = rig.Read(c.address, c.length, &bytes);
    EXPECT_EQ(result.status, c.status) << c.what;
    EXPECT_EQ(result.information, c.status == kServed ? c.length : 0u) << c.what;
  }
  std::vector<std::uint8_t> id;
  ASSERT_EQ(rig.Read(0xE0000000, 4, &id).status, kServed);
  EXPECT_EQ(Le32(id, 0), 0x01008086u);
  EXPECT_EQ(rig.kernel.RamMappings(), 0);
  EXPECT_EQ(rig.kernel.LiveMappings(), 0u);
  EXPECT_TRUE(rig.kernel.Writes().empty());
  EXPECT_EQ(rig.kernel.Misuses(), 0);
}

TEST(DriverFirmwareReadsTest, TheOneWriteIsTheControlByteOfAListedQvzxTable) {
  DriverRig rig;
  // A control entry's shape in a table with another signature: the SSDT's first body bytes.
  std::uint64_t ssdt = 0;
  for (const sim::PlacedTable& table : rig.board.AcpiTables()) {
    if (table.signature == "SSDT") ssdt = table.address;
  }
  const std::uint8_t lookalike[3] = {3, 3, 0};
  rig.board.WritePhysical(ssdt + 36, lookalike, 3);
  ASSERT_EQ(rig.Open().status, kServed);
  const std::uint64_t control = *rig.board.ControlByteAddress();
  rig.board.SetControlByte(0x13);
  dp::ControlByteRequest answer{};
  ASSERT_EQ(rig.UpdateControlByte(control, 0x08, 0x01, &answer).status, kServed);
  EXPECT_EQ(answer.before, 0x13);
  EXPECT_EQ(answer.after, 0x1A);
  EXPECT_EQ(*rig.board.ControlByte(), 0x1A);
  for (std::uint64_t address : {control - 1, control + 1, ssdt + 38}) {
    EXPECT_EQ(rig.UpdateControlByte(address, 0x08, 0).status, kDenied) << std::hex << address;
  }
  // Bits the program never changes: the firmware's own (5-7) and its request (set).
  for (auto [set, clear] : {std::pair{0x10, 0}, {0x20, 0}, {0, 0x80}, {0x04, 0x04}}) {
    EXPECT_EQ(rig.UpdateControlByte(control, set, clear).status, dp::kStatusInvalidParameter);
  }
  ASSERT_EQ(rig.kernel.Writes().size(), 1u);
  EXPECT_EQ(rig.kernel.Writes()[0].physical, control);
  EXPECT_EQ(rig.kernel.Mappings().back().access, driver::Access::kReadWrite);
  EXPECT_EQ(*rig.board.ControlByte(), 0x1A);
  EXPECT_EQ(rig.kernel.Misuses(), 0);
}

// UEFI firmware without legacy support leaves no root pointer in the BIOS area: the tables come
// from the system's firmware table provider, and where the system has none (XP) nothing does.
TEST(DriverFirmwareReadsTest, WithoutALegacyRootPointerTheProviderNamesTheTables) {
  sim::BoardDescription uefi = sim::DefaultBoardDescription();
  uefi.legacyCopies = false;
  for (const bool provider : {true, false}) {
    DriverRig rig(uefi);
    rig.kernel.RemoveFirmwareTableProvider(!provider);
    rig.Open();
    for (const sim::PlacedTable& table : rig.board.AcpiTables()) {
      // The provider hands out the RSDT's entries, not where it lies; the root pointer's bytes
      // are in the BIOS area, cleared.
      const bool readable = table.signature == "RSDP" || (provider && table.signature != "RSDT");
      EXPECT_EQ(rig.Read(table.address, table.length).status, readable ? kServed : kDenied)
          << table.signature << (provider ? " with" : " without") << " the provider";
    }
    EXPECT_EQ(rig.UpdateControlByte(*rig.board.ControlByteAddress(), 0x08, 0).status,
              provider ? kServed : kDenied);
  }
}

// Root tables that point into RAM, at themselves or at a table claiming 256 MiB: the list stays
// bounded and nothing of RAM is ever mapped, even to read a header.
TEST(DriverFirmwareReadsTest, FirmwareThatPointsAnywhereMapsNoRamAndListsNoMore) {
  DriverRig rig;
  const std::uint64_t rsdt = 0xCFF80000;
  std::uint64_t madt = 0;
  for (const sim::PlacedTable& table : rig.board.AcpiTables()) {
    if (table.signature == "APIC") madt = table.address;
  }
  // RAM below and above 1 MiB, and the RSDT itself.
  const std::uint32_t entries[] = {0x0007C000, 0x00200000, static_cast<std::uint32_t>(rsdt)};
  rig.board.WritePhysical(rsdt + 36, entries, sizeof entries);
  const std::uint32_t huge = 0x10000000;
  rig.board.WritePhysical(madt + 4, &huge, 4);
  rig.Open();
  EXPECT_EQ(rig.Read(0x0007C000, 16).status, kDenied);
  EXPECT_EQ(rig.Read(0x00200000, 16).status, kDenied);
  EXPECT_EQ(rig.Read(madt, 16).status, kDenied);
  EXPECT_EQ(rig.Read(rsdt, 0x3C).status, kServed);
  EXPECT_EQ(rig.kernel.RamMappings(), 0);
  EXPECT_EQ(rig.kernel.Misuses(), 0);
}

// Root table entries that name device registers as tables: the PCI Express window (known from
// the provider's MCFG before any entry is followed) and the HPET at the top of the 4 GiB space.
// Neither is read as a table nor listed; the window stays readable as the window, uncached.
TEST(DriverFirmwareReadsTest, TablesNamedInDeviceMemoryAreNeitherReadNorListed) {
  DriverRig rig;
  const std::uint64_t rsdt = 0xCFF80000, window = 0xE0000000, hpet = 0xFED00000;
  const std::uint32_t entries[] = {static_cast<std::uint32_t>(window),
                                   static_cast<std::uint32_t>(hpet)};
  rig.board.WritePhysical(rsdt + 36, entries, sizeof entries);
  rig.Open();
  EXPECT_EQ(rig.Read(hpet, 16).status, kDenied);
  EXPECT_EQ(rig.Read(window, 16).status, kServed);
  for (const sim::SimKernel::Mapping& mapping : rig.kernel.Mappings()) {
    const bool inWindow = mapping.physical >= window && mapping.physical < window + (256u << 20);
    EXPECT_FALSE(inWindow && mapping.caching == driver::Caching::kCached)
        << std::hex << mapping.physical;
    EXPECT_LT(mapping.physical, 0xFEC00000u) << std::hex << mapping.physical;
  }
}

}  // namespace
}  // namespace velmora::drivertest
