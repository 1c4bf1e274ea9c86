// IDENTIFY through an AHCI port: the driver works in memory it allocates itself (never the
// low-memory scratch area the operating system owns), refuses a port whose engines run, puts
// the port's base registers back and gives every allocation and mapping back.
#include <gtest/gtest.h>

#include "driver_test_support.h"
#include "sim/kernel/SimAhciController.h"

namespace velmora::drivertest {
namespace {

constexpr std::uint32_t kAbar = 0xF7D00000;
constexpr std::uint32_t kSmbusBar = 0xF7E00000;

class DriverAhciTest : public DriverTest {
 protected:
  // Beside the controller at 0:31.2, function 3 is an SMBus controller with a BAR at 0x24 too.
  void SetUp() override {
    bus.AttachMemory(kAbar, sim::kAhciAbarSize, ahci);
    AddAhciFunction(kAbar);
    Config(2, 0x20, 0x0000F061);  // BAR4: I/O ports
    Config(3, 0x00, 0x1C228086);
    Config(3, 0x08, 0x0C050005);
    Config(3, 0x24, kSmbusBar);
  }

  IoResult Identify(std::uint8_t port, std::vector<std::uint8_t>& record,
                    std::uint32_t abar = kAbar) {
    record = Record(0x208);
    Put32(record.data(), abar);
    record[4] = port;
    return Control(dp::IOCTL_ATA_IDENTIFY_AHCI, record, 5, 0x208);
  }
  void ExpectNothingLeft() {
    EXPECT_EQ(kernel.LiveAllocations(), 0u);
    EXPECT_EQ(kernel.LiveIoMappings(), 0u);
    EXPECT_EQ(kernel.LockMisuses(), 0);
  }
  bool LowScratchUntouched() {
    for (std::uint64_t address = 0x90000; address < 0x90800; ++address) {
      if (board.memory.count(address) != 0) return false;
    }
    return true;
  }

  sim::SimAhciController ahci{bus};
};

TEST_F(DriverAhciTest, DiskAnswersIdentifyDeviceWithItsBytesAtFive) {
  ahci.AttachDevice(2, sim::SimAtaKind::kDisk);
  std::array<std::uint16_t, 256> words{};
  for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<std::uint16_t>(0x3100 + i);
  ahci.SetIdentify(2, words);
  std::vector<std::uint8_t> record;
  const IoResult result = Identify(2, record);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 0x208u);
  for (std::size_t i = 0; i < 256; ++i) ASSERT_EQ(U16(record.data() + 5 + 2 * i), words[i]) << i;
  EXPECT_EQ(record[0x205], 0);  // padding: cleared, never what the buffer held
  EXPECT_EQ(ahci.CommandsExecuted(), 1);
  ExpectNothingLeft();
}

TEST_F(DriverAhciTest, WorksInItsOwnAllocationAndNeverInLowMemory) {
  ahci.AttachDevice(0, sim::SimAtaKind::kDisk);
  std::vector<std::uint8_t> record;
  ASSERT_EQ(Identify(0, record).status, dp::kStatusSuccess);
  ASSERT_EQ(kernel.AllocationsMade().size(), 1u);
  const std::uint64_t scratch = kernel.AllocationsMade()[0].physical;
  EXPECT_GE(scratch, sim::kContiguousPoolBase);
  EXPECT_TRUE(LowScratchUntouched());
  // The command list and received-FIS base registers pointed into the allocation meanwhile.
  bool pointedThere = false;
  for (const auto& write : ahci.Writes()) {
    if (write.offset == 0x100 && write.value == scratch) pointedThere = true;
  }
  EXPECT_TRUE(pointedThere);
}

TEST_F(DriverAhciTest, PacketDeviceGetsIdentifyPacketDevice) {
  ahci.AttachDevice(1, sim::SimAtaKind::kPacket);
  std::vector<std::uint8_t> record;
  ASSERT_EQ(Identify(1, record).status, dp::kStatusSuccess);
  EXPECT_EQ(U16(record.data() + 5), 0x85C0);  // word 0 of a packet device
}

TEST_F(DriverAhciTest, PortOwnedByTheStorageDriverIsDeviceBusyAndLeftAlone) {
  ahci.AttachDevice(0, sim::SimAtaKind::kDisk);
  ahci.RunPortForOs(0, 0x7FF00000, 0x7FF00400);
  std::vector<std::uint8_t> record;
  const IoResult result = Identify(0, record);
  EXPECT_EQ(result.status, dp::kStatusDeviceBusy);
  EXPECT_EQ(result.information, 0u);
  EXPECT_TRUE(ahci.Writes().empty());
  EXPECT_EQ(ahci.PortRegister(0, 0x00), 0x7FF00000u);
  EXPECT_EQ(ahci.PortRegister(0, 0x18) & 0xC011u, 0xC011u);
  EXPECT_EQ(kernel.AllocationsMade().size(), 0u);
  ExpectNothingLeft();
}

TEST_F(DriverAhciTest, BaseRegistersArePutBackAndTheEnginesStopped) {
  ahci.AttachDevice(3, sim::SimAtaKind::kDisk);
  ahci.Write(0x100 + 3 * 0x80 + 0x00, reinterpret_cast<const std::uint8_t*>("\x00\x10\x09\x00"), 4);
  ahci.Write(0x100 + 3 * 0x80 + 0x08, reinterpret_cast<const std::uint8_t*>("\x00\x20\x09\x00"), 4);
  std::vector<std::uint8_t> record;
  ASSERT_EQ(Identify(3, record).status, dp::kStatusSuccess);
  EXPECT_EQ(ahci.PortRegister(3, 0x00), 0x00091000u);
  EXPECT_EQ(ahci.PortRegister(3, 0x08), 0x00092000u);
  EXPECT_EQ(ahci.PortRegister(3, 0x18) & 0xC011u, 0u);
}

TEST_F(DriverAhciTest, PortWithoutADeviceIsNotConnected) {
  ahci.AttachDevice(0, sim::SimAtaKind::kDisk);
  std::vector<std::uint8_t> record;
  EXPECT_EQ(Identify(5, record).status, dp::kStatusDeviceNotConnected);  // not implemented
  ahci.AttachDevice(6, sim::SimAtaKind::kNone);
  EXPECT_EQ(Identify(6, record).status, dp::kStatusDeviceNotConnected);  // nothing attached
  EXPECT_EQ(ahci.CommandsExecuted(), 0);
  ExpectNothingLeft();
}

// The request writes to the registers it names and points a port's DMA at memory: only the
// registers of an AHCI controller, found where its PCI function decodes them, are accepted.
TEST_F(DriverAhciTest, OnlyTheAbarOfAnAhciFunctionIsAccepted) {
  ahci.AttachDevice(0, sim::SimAtaKind::kDisk);
  std::vector<std::uint8_t> record;
  for (const std::uint32_t abar : {0x00200000u, kSmbusBar, 0xF061u, kAbar + 0x80, 0u}) {
    EXPECT_EQ(Identify(0, record, abar).status, dp::kStatusAccessDenied) << std::hex << abar;
  }
  EXPECT_EQ(kernel.LiveIoMappings(), 0u);
  EXPECT_TRUE(ahci.Writes().empty());
  Config(2, 0x08, 0x01018A05);  // the same function as an IDE controller
  EXPECT_EQ(Identify(0, record).status, dp::kStatusAccessDenied);
  Config(2, 0x08, 0x01060105);
  EXPECT_EQ(Identify(0, record).status, dp::kStatusSuccess);
}

// A port whose command engine does not stop may still read its command list and write received
// FISes: the scratch memory stays allocated (freed, it would be reused under the controller) and
// the base registers keep pointing at it.
TEST_F(DriverAhciTest, EngineThatDoesNotStopKeepsItsScratchMemory) {
  ahci.AttachDevice(1, sim::SimAtaKind::kDisk);
  ahci.HangCommandEngine(1);
  std::vector<std::uint8_t> record;
  EXPECT_EQ(Identify(1, record).status, dp::kStatusIoDeviceError);
  ASSERT_EQ(kernel.AllocationsMade().size(), 1u);
  EXPECT_EQ(kernel.LiveAllocations(), 1u);
  EXPECT_EQ(ahci.PortRegister(1, 0x00), kernel.AllocationsMade()[0].physical);
  EXPECT_EQ(kernel.LiveIoMappings(), 0u);
  EXPECT_EQ(kernel.LockMisuses(), 0);
}

TEST_F(DriverAhciTest, PortNumberAbove31IsInvalidParameter) {
  std::vector<std::uint8_t> record;
  EXPECT_EQ(Identify(32, record).status, dp::kStatusInvalidParameter);
  EXPECT_EQ(kernel.LiveIoMappings(), 0u);
}

TEST_F(DriverAhciTest, NoContiguousMemoryIsInsufficientResources) {
  ahci.AttachDevice(0, sim::SimAtaKind::kDisk);
  kernel.FailContiguousAllocations();
  std::vector<std::uint8_t> record;
  EXPECT_EQ(Identify(0, record).status, dp::kStatusInsufficientResources);
  EXPECT_EQ(ahci.CommandsExecuted(), 0);
  ExpectNothingLeft();
}

TEST_F(DriverAhciTest, ShortBuffersAreRefusedBeforeAnyMapping) {
  ahci.AttachDevice(0, sim::SimAtaKind::kDisk);
  auto record = Record(0x208);
  Put32(record.data(), kAbar);
  record[4] = 0;
  EXPECT_EQ(Control(dp::IOCTL_ATA_IDENTIFY_AHCI, record, 4, 0x208).status,
            dp::kStatusInvalidParameter);
  EXPECT_EQ(Control(dp::IOCTL_ATA_IDENTIFY_AHCI, record, 5, 0x207).status,
            dp::kStatusBufferTooSmall);
  EXPECT_TRUE(ahci.Writes().empty());
  EXPECT_EQ(kernel.AllocationsMade().size(), 0u);
}

}  // namespace
}  // namespace velmora::drivertest
