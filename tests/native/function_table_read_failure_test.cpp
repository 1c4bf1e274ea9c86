// The maker's function table is read twice: its 36-byte header while the ACPI locator looks for
// the signature, then the whole table as the platform object's copy. When the copy cannot be
// read whole, half a copy must not yield a control entry: the start is refused as for a board
// without one.
#include <gtest/gtest.h>

#include "MainFormTestSupport.h"
#include "PlatformTestSupport.h"
#include "sim/board/AcpiTables.h"

namespace velmora {
namespace {

using platformtest::PlatformRig;
using sim::QvzxEntry;

constexpr std::uint32_t kWindow = 0x100;  // a stretch of the table the kernel cannot map

// A control entry first, then enough filler to carry the table over three more windows.
sim::BoardDescription BoardWithLongFunctionTable() {
  sim::BoardDescription description = sim::DefaultBoardDescription();
  const QvzxEntry filler{1, sim::Bytes(253, 0x5A)};
  description.acpi.qvzxEntries = {sim::QvzxControlEntry(0x08), filler, filler, filler};
  return description;
}

std::uint32_t QvzxAddressOf(const sim::SimBoard& board) {
  for (const sim::PlacedTable& table : board.AcpiTables()) {
    if (table.signature == "QVZX") return static_cast<std::uint32_t>(table.address);
  }
  return kNoAddress;
}

struct UnreadableWindow {
  const char* name;
  // The stretch that cannot be mapped, from the table's address and length.
  std::uint32_t (*window)(std::uint32_t address, std::uint32_t length);
};

const UnreadableWindow kUnreadableWindows[] = {
    {"first window past the header",
     [](std::uint32_t address, std::uint32_t) { return (address + 36 + kWindow - 1) & ~0xFFu; }},
    {"window of the table's last byte",
     [](std::uint32_t address, std::uint32_t length) { return (address + length - 1) & ~0xFFu; }},
};

TEST(FunctionTableReadFailure, CopyThatCannotBeReadWholeGivesNoControlEntry) {
  for (const UnreadableWindow& c : kUnreadableWindows) {
    PlatformRig rig(BoardWithLongFunctionTable());
    const std::uint32_t address = rig.QvzxAddress();
    const std::uint32_t length = static_cast<std::uint32_t>(36 + 3 + 3 * 255);
    const std::uint32_t window = c.window(address, length);
    ASSERT_GE(window, address + 36) << c.name;  // the header itself stays readable
    rig.rig.world.kernel.FailMapsOf(window, kWindow);

    const TZlkSpec& spec = rig.Build();
    EXPECT_FALSE(spec.HasControlEntry) << c.name;
    EXPECT_TRUE(spec.TableCopy.empty()) << c.name;
    // The copy was tried: the whole table was asked for.
    bool asked = false;
    for (const auto& read : rig.rig.io.reads) {
      asked = asked || (read.physical == address && read.length == length);
    }
    EXPECT_TRUE(asked) << c.name;
  }
}

TEST(FunctionTableReadFailure, StartIsRefusedWithTheFunctionTableBox) {
  mainformtest::RigSetup setup;
  setup.board = BoardWithLongFunctionTable();
  mainformtest::MainFormRig rig(setup);
  const std::uint32_t address = QvzxAddressOf(rig.board);
  ASSERT_NE(address, kNoAddress);
  rig.startup.world.kernel.FailMapsOf((address + 36 + kWindow - 1) & ~0xFFu, kWindow);

  TvmMainForm& form = rig.MakeForm();
  EXPECT_TRUE(form.StartFailed);
  ASSERT_EQ(rig.Boxes().size(), 1u);
  EXPECT_EQ(rig.Boxes()[0].text, "Function table error, you may need to update system BIOS.");
}

}  // namespace
}  // namespace velmora
