// IDENTIFY through a legacy ATA command block: disks, packet devices (the abort and the retry
// with IDENTIFY PACKET DEVICE), empty and busy channels, the bounded waits and their statuses,
// and the drive/head register put back whatever happens.
#include <gtest/gtest.h>

#include "driver_test_support.h"
#include "sim/kernel/SimAtaDevice.h"

namespace velmora::drivertest {
namespace {

constexpr std::uint16_t kPrimary = 0x1F0;

class DriverAtaTest : public DriverTest {
 protected:
  sim::SimAtaDevice& Plug(sim::SimAtaKind kind, bool slave = false) {
    device = std::make_unique<sim::SimAtaDevice>(kernel.Clock(), kind, slave);
    bus.AttachPorts(kPrimary, 8, *device);
    return *device;
  }
  IoResult Identify(std::uint8_t driveHead, std::vector<std::uint8_t>& record) {
    record = Record(0x204);
    Put16(record.data(), kPrimary);
    record[2] = driveHead;
    return Control(dp::IOCTL_ATA_IDENTIFY_LEGACY, record, 3, 0x204);
  }
  // The identify words as they must stand at +3, little-endian.
  static void ExpectIdentifyAtThree(const std::vector<std::uint8_t>& record,
                                    const std::array<std::uint16_t, 256>& words) {
    for (std::size_t i = 0; i < 256; ++i) {
      ASSERT_EQ(U16(record.data() + 3 + 2 * i), words[i]) << "word " << i;
    }
    EXPECT_EQ(record[0x203], 0);  // the padding past the data: cleared
  }
  std::size_t CountPortWrites(std::uint16_t port, std::uint32_t value) const {
    std::size_t count = 0;
    for (const auto& access : kernel.PortAccesses()) {
      if (access.write && access.port == port && access.value == value) ++count;
    }
    return count;
  }

  std::unique_ptr<sim::SimAtaDevice> device;
};

TEST_F(DriverAtaTest, DiskAnswersIdentifyDeviceWithItsWordsAtThree) {
  sim::SimAtaDevice& disk = Plug(sim::SimAtaKind::kDisk);
  std::vector<std::uint8_t> record;
  const IoResult result = Identify(0xA0, record);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 0x204u);
  ExpectIdentifyAtThree(record, disk.Identify());
  EXPECT_EQ(U16(record.data()), kPrimary);
  EXPECT_EQ(record[2], 0xA0);
  EXPECT_EQ(disk.Commands(), std::vector<std::uint8_t>{0xEC});
  EXPECT_EQ(disk.WordsRead(), 256u);
}

TEST_F(DriverAtaTest, SelectionWritesDriveHeadAndClearsFeaturesWithTenMicrosecondStalls) {
  Plug(sim::SimAtaKind::kDisk);
  std::vector<std::uint8_t> record;
  ASSERT_EQ(Identify(0xA0, record).status, dp::kStatusSuccess);
  const auto& ports = kernel.PortAccesses();
  ASSERT_GE(ports.size(), 4u);
  EXPECT_EQ(ports[0].port, kPrimary + 6);  // the drive/head register remembered first
  EXPECT_FALSE(ports[0].write);
  EXPECT_EQ(ports[1].port, kPrimary + 7);
  EXPECT_EQ(ports[2].port, kPrimary + 6);
  EXPECT_TRUE(ports[2].write);
  EXPECT_EQ(ports[2].value, 0xA0u);
  EXPECT_EQ(ports[3].port, kPrimary + 1);
  EXPECT_TRUE(ports[3].write);
  EXPECT_EQ(ports[3].value, 0u);
  for (const auto& access : ports) {
    if (access.port == kPrimary)
      EXPECT_EQ(access.width, 2u);
    else
      EXPECT_EQ(access.width, 1u);
  }
}

TEST_F(DriverAtaTest, PacketDeviceIsResetThenAbortsIdentifyAndAnswersIdentifyPacket) {
  sim::SimAtaDevice& cd = Plug(sim::SimAtaKind::kPacket, true);
  std::vector<std::uint8_t> record;
  const IoResult result = Identify(0xB0, record);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 0x204u);
  EXPECT_EQ(cd.Commands(), (std::vector<std::uint8_t>{0x08, 0xEC, 0xA1}));
  ExpectIdentifyAtThree(record, cd.Identify());
}

TEST_F(DriverAtaTest, DriveHeadRegisterIsPutBackAfterSuccessAndFailure) {
  sim::SimAtaDevice& disk = Plug(sim::SimAtaKind::kDisk);
  disk.Out(6, 1, 0xE0);  // the disk driver's own selection
  std::vector<std::uint8_t> record;
  ASSERT_EQ(Identify(0xA0, record).status, dp::kStatusSuccess);
  EXPECT_EQ(disk.DriveHead(), 0xE0);
  ASSERT_EQ(Identify(0xB0, record).status, dp::kStatusDeviceNotConnected);  // no slave
  EXPECT_EQ(disk.DriveHead(), 0xE0);
  EXPECT_EQ(kernel.PortAccesses().back().port, kPrimary + 6);
  EXPECT_TRUE(kernel.PortAccesses().back().write);
}

TEST_F(DriverAtaTest, BusyChannelIsDeviceBusyBeforeAnythingIsWritten) {
  sim::SimAtaDevice& disk = Plug(sim::SimAtaKind::kDisk);
  disk.SetStuckBusy(true);
  std::vector<std::uint8_t> record;
  const IoResult result = Identify(0xA0, record);
  EXPECT_EQ(result.status, dp::kStatusDeviceBusy);
  EXPECT_EQ(result.information, 0u);
  EXPECT_EQ(CountPortWrites(kPrimary + 6, 0xA0), 0u);
  EXPECT_EQ(record[3], 0);  // past the input only cleared: nothing read from the disk
}

TEST_F(DriverAtaTest, FloatingBusIsNotConnectedAfterAtMost0x1000ReadBacks) {
  Plug(sim::SimAtaKind::kNone);
  std::vector<std::uint8_t> record;
  const IoResult result = Identify(0xA0, record);
  EXPECT_EQ(result.status, dp::kStatusDeviceNotConnected);
  std::size_t readBacks = 0;
  for (const auto& access : kernel.PortAccesses()) {
    if (!access.write && access.port == kPrimary + 6) ++readBacks;
  }
  EXPECT_EQ(readBacks, 1u + 0x1000u);  // the saved value, then the polls
  EXPECT_EQ(kernel.StalledMicroseconds(), 20u + 10u * 0x1000u);
}

TEST_F(DriverAtaTest, DriveHeadThatNeverReadsBackIsNotConnected) {
  sim::SimAtaDevice& disk = Plug(sim::SimAtaKind::kDisk);
  disk.SetDriveHeadIgnored(true);
  std::vector<std::uint8_t> record;
  EXPECT_EQ(Identify(0xA0, record).status, dp::kStatusDeviceNotConnected);
  EXPECT_TRUE(disk.Commands().empty());
}

TEST_F(DriverAtaTest, DriveHeadZeroIsNotReadBackAndAZeroStatusMeansNotConnected) {
  sim::SimAtaDevice& cd = Plug(sim::SimAtaKind::kPacket);
  std::vector<std::uint8_t> record;
  EXPECT_EQ(Identify(0x00, record).status, dp::kStatusDeviceNotConnected);
  EXPECT_TRUE(cd.Commands().empty());
  std::size_t readBacks = 0;
  for (const auto& access : kernel.PortAccesses()) {
    if (!access.write && access.port == kPrimary + 6) ++readBacks;
  }
  EXPECT_EQ(readBacks, 1u);  // only the saved value
}

TEST_F(DriverAtaTest, DeviceThatStaysBusyAfterTheCommandIsNotReadyAfter0x8000Polls) {
  sim::SimAtaDevice& disk = Plug(sim::SimAtaKind::kDisk);
  disk.SetCommandMicroseconds(0x8000 * 100 + 1000);
  std::vector<std::uint8_t> record;
  const IoResult result = Identify(0xA0, record);
  EXPECT_EQ(result.status, dp::kStatusDeviceNotReady);
  EXPECT_EQ(result.information, 0u);
  // Selection: 10 + 10 + one read-back stall; the command: 100, then 0x8000 polls of 100 us.
  EXPECT_EQ(kernel.StalledMicroseconds(), 30u + 100u + 0x8000u * 100u);
}

TEST_F(DriverAtaTest, SlowDiskWithinTheBoundIsWaitedFor) {
  sim::SimAtaDevice& disk = Plug(sim::SimAtaKind::kDisk);
  disk.SetCommandMicroseconds(2000000);  // 2 s: within 0x8000 x 100 us
  std::vector<std::uint8_t> record;
  EXPECT_EQ(Identify(0xA0, record).status, dp::kStatusSuccess);
  ExpectIdentifyAtThree(record, disk.Identify());
}

TEST_F(DriverAtaTest, ShortBuffersAreRefusedWithoutTouchingTheChannel) {
  Plug(sim::SimAtaKind::kDisk);
  auto record = Record(0x204);
  Put16(record.data(), kPrimary);
  record[2] = 0xA0;
  EXPECT_EQ(Control(dp::IOCTL_ATA_IDENTIFY_LEGACY, record, 2, 0x204).status,
            dp::kStatusInvalidParameter);
  EXPECT_EQ(Control(dp::IOCTL_ATA_IDENTIFY_LEGACY, record, 3, 0x203).status,
            dp::kStatusBufferTooSmall);
  EXPECT_TRUE(kernel.PortAccesses().empty());
}

}  // namespace
}  // namespace velmora::drivertest
