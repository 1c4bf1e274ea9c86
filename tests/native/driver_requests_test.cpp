// The driver's request set: what it serves, with which records, and what it answers to the rest.
#include "driver_test_support.h"

namespace velmora::drivertest {
namespace {

std::vector<std::uint8_t> PciRecord(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                                    std::uint16_t offset) {
  dp::PciConfigRequest record{bus, device, function, 0xAA, offset, 0xBBBB, 0xCCCCCCCC};
  std::vector<std::uint8_t> bytes(sizeof record);
  std::memcpy(bytes.data(), &record, sizeof record);
  return bytes;
}

std::uint32_t Value(const std::vector<std::uint8_t>& record) {
  std::uint32_t value;
  std::memcpy(&value, record.data() + 8, 4);
  return value;
}

TEST(DriverRequestsTest, RetiredAndUnknownCodesAreInvalidDeviceRequestsWithNoData) {
  DriverRig rig;
  rig.Open();
  std::vector<std::uint32_t> codes(std::begin(dp::kRetiredControlCodes),
                                   std::end(dp::kRetiredControlCodes));
  codes.insert(codes.end(), {dp::ControlCode(0xA08), dp::ControlCode(0xA20),  // wrong access
                             dp::ControlCode(0xA22, dp::kFileReadAccess), 0x00226829u});
  for (std::uint32_t code : codes) {
    std::vector<std::uint8_t> buffer(0x300, 0x5A);
    const IoResult result = rig.Control(code, buffer, 0x300, 0x300);
    EXPECT_EQ(result.status, dp::kStatusInvalidDeviceRequest) << std::hex << code;
    EXPECT_EQ(result.information, 0u);
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(0x300, 0x5A)) << std::hex << code;
  }
  EXPECT_EQ(rig.Send(IoRequest::Kind::kOther).status, dp::kStatusInvalidDeviceRequest);
  EXPECT_EQ(rig.kernel.PciReads(), 0u);
}

TEST(DriverRequestsTest, ShortRecordsAreRefusedBeforeAnythingIsRead) {
  DriverRig rig;
  rig.Open();
  const std::size_t mappings = rig.kernel.Mappings().size();
  const struct {
    std::uint32_t code, in, out, status;
  } cases[] = {
      {dp::IOCTL_PCI_CONFIG_READ_DWORD, 11, 12, dp::kStatusInvalidParameter},
      {dp::IOCTL_PCI_CONFIG_READ_BYTE, 12, 11, dp::kStatusBufferTooSmall},
      {dp::IOCTL_READ_PHYSICAL_MEMORY, 11, 16, dp::kStatusInvalidParameter},
      {dp::IOCTL_READ_PHYSICAL_MEMORY, 12, 15, dp::kStatusBufferTooSmall},  // asks for 16
      {dp::IOCTL_READABLE_RANGES, 0, 7, dp::kStatusBufferTooSmall},
      {dp::IOCTL_UPDATE_CONTROL_BYTE, 11, 12, dp::kStatusInvalidParameter},
      {dp::IOCTL_UPDATE_CONTROL_BYTE, 12, 11, dp::kStatusBufferTooSmall},
  };
  for (const auto& c : cases) {
    const dp::ReadPhysicalRequest read{0xE0000, 0, 16};
    std::vector<std::uint8_t> buffer(16, 0);
    std::memcpy(buffer.data(), &read, sizeof read);
    const IoResult result = rig.Control(c.code, buffer, c.in, c.out);
    EXPECT_EQ(result.status, c.status) << std::hex << c.code << " " << c.in << "/" << c.out;
    EXPECT_EQ(result.information, 0u);
  }
  for (std::uint32_t length : {0u, dp::kMaxReadLength + 1}) {
    EXPECT_EQ(rig.Read(0xE0000, length).status, dp::kStatusInvalidParameter);
  }
  EXPECT_EQ(rig.Read(0xFFFFFFFFFFFFFFF0u, 0x20).status, dp::kStatusAccessDenied);  // wraps
  EXPECT_EQ(rig.Read(0xE0000, dp::kMaxReadLength).information, dp::kMaxReadLength);
  EXPECT_EQ(rig.kernel.Mappings().size(), mappings + 1);
  EXPECT_EQ(rig.kernel.PciReads(), 0u);
}

TEST(DriverRequestsTest, PciReadsGoThroughTheHalWithTheirWidthAndAbsentFunctionsAnswerAllOnes) {
  DriverRig rig;
  rig.Open();
  const struct {
    std::uint32_t code;
    std::uint8_t device, function;
    std::uint16_t offset;
    std::uint32_t value;  // the record's value field after the answer
  } cases[] = {
      {dp::IOCTL_PCI_CONFIG_READ_DWORD, 0, 0, 0x00, 0x01008086},
      {dp::IOCTL_PCI_CONFIG_READ_WORD, 0, 0, 0x02, 0xCCCC0100},
      {dp::IOCTL_PCI_CONFIG_READ_BYTE, 2, 0, 0x2D, 0xCCCCCC7A},  // the maker's subsystem vendor
      {dp::IOCTL_PCI_CONFIG_READ_DWORD, 0, 0, 0xFC, 0x00000000},  // last register the HAL reads
      {dp::IOCTL_PCI_CONFIG_READ_DWORD, 5, 0, 0x00, 0xFFFFFFFF},  // nothing at 0:5.0
      {dp::IOCTL_PCI_CONFIG_READ_WORD, 5, 0, 0x2C, 0xCCCCFFFF},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> record = PciRecord(0, c.device, c.function, c.offset);
    const IoResult result = rig.Control(c.code, record, 12, 12);
    EXPECT_EQ(result.status, dp::kStatusSuccess);
    EXPECT_EQ(result.information, 12u);
    EXPECT_EQ(Value(record), c.value) << std::hex << c.offset;
  }
  // Extended registers are read through the PCI Express window, never through the HAL.
  for (auto [device, function, offset] : {std::tuple{32, 0, 0}, {0, 8, 0}, {0, 0, 0xFD}, {0, 0, 0x100}}) {
    std::vector<std::uint8_t> record = PciRecord(0, device, function, offset);
    EXPECT_EQ(rig.Control(dp::IOCTL_PCI_CONFIG_READ_DWORD, record, 12, 12).status,
              dp::kStatusInvalidParameter);
  }
  EXPECT_EQ(rig.kernel.PciReads(), std::size(cases));
}

TEST(DriverRequestsTest, EveryRequestHoldsTheLockAndACleanedUpHandleIsServedNoMore) {
  DriverRig rig;
  rig.Open();
  std::vector<std::uint8_t> record = PciRecord(0, 0, 0, 0);
  rig.Control(dp::IOCTL_PCI_CONFIG_READ_DWORD, record, 12, 12);
  rig.Read(0xF0000, 16);
  rig.UpdateControlByte(*rig.board.ControlByteAddress(), 0x08, 0);
  rig.Send(IoRequest::Kind::kCleanup);
  EXPECT_EQ(rig.Read(0xF0000, 16).status, dp::kStatusFileClosed);
  rig.Send(IoRequest::Kind::kClose);
  EXPECT_EQ(rig.kernel.LockAcquisitions(), 7);
  EXPECT_EQ(rig.kernel.LockDepth(), 0);
  EXPECT_EQ(rig.kernel.Misuses(), 0);
  for (const auto& completion : rig.kernel.Completions()) EXPECT_EQ(completion.lockDepth, 1);
}

// The list the client gets: merged where ranges touch, in address order, as far as room allows.
TEST(DriverRequestsTest, ReadableRangesAreMergedAndOrdered) {
  DriverRig rig;
  rig.Open();
  std::vector<std::uint8_t> answer(8 + 16 * 16, 0xEE);
  const IoResult result = rig.Control(dp::IOCTL_READABLE_RANGES, answer, 0, answer.size());
  ASSERT_EQ(result.status, dp::kStatusSuccess);
  std::uint32_t count;
  std::memcpy(&count, answer.data(), 4);
  ASSERT_EQ(result.information, 8 + 16 * count);
  // BIOS area, SMBIOS table, each ACPI table (with the firmware's padding between them), window.
  std::uint64_t end = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    dp::ReadableRange range;
    std::memcpy(&range, answer.data() + 8 + 16 * i, 16);
    EXPECT_GT(range.baseLow, end) << "range " << i << " touches or overlaps the one before";
    end = std::uint64_t{range.baseLow} + range.length;
    if (i == 0) EXPECT_EQ(range.baseLow, 0xE0000u);
    if (i == 0) EXPECT_EQ(range.length, 0x20000u);
  }
  EXPECT_EQ(count, 11u);  // the RSDP lies in the BIOS area, the FACS ends where the MADT starts
  EXPECT_EQ(end, 0xF0000000u);
  std::vector<std::uint8_t> small(8 + 16, 0xEE);
  EXPECT_EQ(rig.Control(dp::IOCTL_READABLE_RANGES, small, 0, small.size()).information, 24u);
  EXPECT_EQ(small[0], count);
}

}  // namespace
}  // namespace velmora::drivertest
