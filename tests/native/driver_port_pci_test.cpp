// Port reads and writes of the three widths, PCI configuration writes and the PCI pair
// request: the exact ports, widths, values, record offsets and byte counts; the configuration
// address every PCI request composes.
#include <gtest/gtest.h>

#include "driver_test_support.h"

namespace velmora::drivertest {
namespace {

class DriverPortTest : public DriverTest {
 protected:
  const kerneltest::FakeBoard::PortAccess& Access(std::size_t i) { return board.ports.at(i); }
};

TEST_F(DriverPortTest, PortReadsAnswerTheirWidthAtOffsetFourAndEightBytes) {
  struct Case {
    std::uint32_t code;
    unsigned width;
    std::uint32_t expected;
  };
  // The fake board floats every port outside the PCI mechanism to all ones.
  for (const Case& c : {Case{dp::IOCTL_PORT_READ_BYTE, 1, 0xAAAAAAFF},
                        Case{dp::IOCTL_PORT_READ_WORD, 2, 0xAAAAFFFF},
                        Case{dp::IOCTL_PORT_READ_DWORD, 4, 0xFFFFFFFF}}) {
    board.ports.clear();
    auto record = Record(8);
    Put16(record.data(), 0x2E);
    const IoResult result = Control(c.code, record, 8, 8);
    EXPECT_EQ(result.status, dp::kStatusSuccess);
    EXPECT_EQ(result.information, 8u);
    ASSERT_EQ(board.ports.size(), 1u);
    EXPECT_EQ(Access(0).port, 0x2E);
    EXPECT_EQ(Access(0).width, c.width);
    EXPECT_FALSE(Access(0).write);
    EXPECT_EQ(U32(record.data() + 4), c.expected) << c.width;
    EXPECT_EQ(U16(record.data() + 2), 0xAAAA);  // the bytes between are not written
  }
}

TEST_F(DriverPortTest, PortReadOfPciDataPortGivesTheSelectedRegister) {
  board.config[0x80000000] = 0x12345678;
  board.PortOut(0xCF8, 4, 0x80000000);
  auto record = Record(8);
  Put16(record.data(), 0xCFE);
  ASSERT_EQ(Control(dp::IOCTL_PORT_READ_WORD, record, 2, 8).status, dp::kStatusSuccess);
  EXPECT_EQ(U16(record.data() + 4), 0x1234);
}

TEST_F(DriverPortTest, PortWritesSendOnlyTheirWidthAndAnswerNoBytes) {
  struct Case {
    std::uint32_t code;
    unsigned width;
    std::uint32_t in;
    std::uint32_t expected;
  };
  for (const Case& c :
       {Case{dp::IOCTL_PORT_WRITE_BYTE, 1, 5, 0x44}, Case{dp::IOCTL_PORT_WRITE_WORD, 2, 6, 0x3344},
        Case{dp::IOCTL_PORT_WRITE_DWORD, 4, 8, 0x11223344}}) {
    board.ports.clear();
    auto record = Record(8);
    Put16(record.data(), 0x80);
    Put32(record.data() + 4, 0x11223344);
    const IoResult result = Control(c.code, record, c.in, 0);
    EXPECT_EQ(result.status, dp::kStatusSuccess);
    EXPECT_EQ(result.information, 0u);
    ASSERT_EQ(board.ports.size(), 1u);
    EXPECT_TRUE(Access(0).write);
    EXPECT_EQ(Access(0).port, 0x80);
    EXPECT_EQ(Access(0).width, c.width);
    EXPECT_EQ(Access(0).value, c.expected);
  }
}

std::vector<std::uint8_t> PciWrite(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                                   std::uint16_t reg, std::uint32_t value) {
  auto record = Record(12);
  record[0] = bus;
  record[1] = device;
  record[2] = function;
  Put16(record.data() + 4, reg);
  Put32(record.data() + 8, value);
  return record;
}

TEST_F(DriverPortTest, PciWritesSelectTheRegisterThenWriteTheDataPortWithTheirWidth) {
  struct Case {
    std::uint32_t code;
    unsigned width;
    std::uint32_t in;
    std::uint16_t dataPort;
    std::uint32_t value;
  };
  for (const Case& c : {Case{dp::IOCTL_PCI_CONFIG_WRITE_BYTE, 1, 9, 0xCFE, 0xDD},
                        Case{dp::IOCTL_PCI_CONFIG_WRITE_WORD, 2, 10, 0xCFE, 0xCCDD},
                        Case{dp::IOCTL_PCI_CONFIG_WRITE_DWORD, 4, 12, 0xCFC, 0xAABBCCDD}}) {
    board.ports.clear();
    const std::uint16_t reg = c.width == 4 ? 0x40 : 0x42;
    auto record = PciWrite(0, 0x1F, 3, reg, 0xAABBCCDD);
    const IoResult result = Control(c.code, record, c.in, 0);
    EXPECT_EQ(result.status, dp::kStatusSuccess);
    EXPECT_EQ(result.information, 0u);
    ASSERT_EQ(board.ports.size(), 2u);
    EXPECT_EQ(Access(0).port, 0xCF8);
    EXPECT_EQ(Access(0).width, 4u);
    EXPECT_EQ(Access(0).value, 0x8000FB40u);
    EXPECT_TRUE(Access(1).write);
    EXPECT_EQ(Access(1).port, c.dataPort);
    EXPECT_EQ(Access(1).width, c.width);
    EXPECT_EQ(Access(1).value, c.value);
  }
}

// The configuration address of every PCI request: device and function cut to their 5 and 3
// bits (device 0x21 must not become device 1 of the next bus, function 9 not device + 1), and
// an extended register (0x100..0xFFF) only where the processor passes CF8 bits 24-27 on: AMD
// family 10h and later with NB_CFG bit 46 set. Elsewhere the chipset drops those bits and the
// access would land on register & 0xFF, so it is refused before port 0xCF8 is touched; the
// processor is identified first, since reading NB_CFG elsewhere raises #GP.
TEST_F(DriverPortTest, PciAddressesKeepEveryFieldInItsBitsAndExtendedRegistersWhereDecoded) {
  constexpr std::uint32_t kNbCfg = 0xC001001F;
  constexpr std::uint64_t kEnableCf8ExtCfg = std::uint64_t{1} << 46;
  enum class Cpu { kIntel, kAmdK8, kAmdWithout, kAmdWith };
  struct Case {
    const char* what;
    Cpu cpu;
    std::uint8_t bus, device, function;
    std::uint16_t reg;
    std::uint32_t address;  // 0: refused
  };
  const Case cases[] = {
      {"plain", Cpu::kIntel, 2, 0x1F, 7, 0xFC, 0x8002FFFC},
      {"device 0x21", Cpu::kIntel, 0, 0x21, 0, 0x00, 0x80000800},
      {"device 0xFF", Cpu::kIntel, 5, 0xFF, 0, 0x10, 0x8005F810},
      {"function 9", Cpu::kIntel, 0, 0, 9, 0x00, 0x80000100},
      {"function 0xFF", Cpu::kIntel, 0, 3, 0xFF, 0x04, 0x80001F04},
      {"0x100 Intel", Cpu::kIntel, 0, 0, 0, 0x100, 0},
      {"0xFFF Intel", Cpu::kIntel, 0, 0, 0, 0xFFF, 0},
      {"0x100 K8", Cpu::kAmdK8, 0, 0, 0, 0x100, 0},
      {"0x100 AMD, bit clear", Cpu::kAmdWithout, 0, 0, 0, 0x100, 0},
      {"0x100 AMD, bit set", Cpu::kAmdWith, 0, 0, 0, 0x100, 0x81000000},
      {"0x142 AMD, bit set", Cpu::kAmdWith, 0, 0x1F, 3, 0x142, 0x8100FB40},
      {"0xFFC AMD, bit set", Cpu::kAmdWith, 0xFF, 0x3F, 0xF, 0xFFC, 0x8FFFFFFC},
      {"0x1000 AMD, bit set", Cpu::kAmdWith, 0, 0, 0, 0x1000, 0},
      {"0xFF AMD, bit clear", Cpu::kAmdWithout, 0, 0, 0, 0xFF, 0x800000FC},
  };
  const std::uint32_t codes[] = {dp::IOCTL_PCI_CONFIG_READ_BYTE,  dp::IOCTL_PCI_CONFIG_READ_WORD,
                                 dp::IOCTL_PCI_CONFIG_READ_DWORD, dp::IOCTL_PCI_CONFIG_WRITE_BYTE,
                                 dp::IOCTL_PCI_CONFIG_WRITE_WORD, dp::IOCTL_PCI_CONFIG_WRITE_DWORD,
                                 dp::IOCTL_PCI_CONFIG_PAIR};
  for (const Case& c : cases) {
    if (c.cpu == Cpu::kIntel) {
      kernel.Cpu().SetVendor(sim::SimCpuVendor::kIntel);
    } else {
      kernel.Cpu().SetVendor(sim::SimCpuVendor::kAmd);
      if (c.cpu == Cpu::kAmdK8) kernel.Cpu().SetSignature(0x00060FB1);  // family 0Fh
    }
    if (c.cpu == Cpu::kAmdWith || c.cpu == Cpu::kAmdWithout) {
      kernel.Cpu().WriteMsr(kNbCfg, c.cpu == Cpu::kAmdWith ? kEnableCf8ExtCfg : 0);
    }
    for (std::uint32_t code : codes) {
      SCOPED_TRACE(testing::Message() << c.what << ", code 0x" << std::hex << code);
      const int faults = kernel.Cpu().GeneralProtectionFaults();
      board.ports.clear();
      std::vector<std::uint8_t> record = PciWrite(c.bus, c.device, c.function, c.reg, 0);
      std::uint32_t length = 12;
      if (code == dp::IOCTL_PCI_CONFIG_PAIR) {  // a read, then an entry that does nothing
        record.resize(24, 0);
        record[3] = dp::kPciPairRead;
        length = 24;
      }
      const bool write = code == dp::IOCTL_PCI_CONFIG_WRITE_BYTE ||
                         code == dp::IOCTL_PCI_CONFIG_WRITE_WORD ||
                         code == dp::IOCTL_PCI_CONFIG_WRITE_DWORD;
      const IoResult result = Control(code, record, length, write ? 0 : length);
      EXPECT_EQ(kernel.Cpu().GeneralProtectionFaults(), faults);
      if (c.address == 0) {
        EXPECT_EQ(result.status, dp::kStatusInvalidParameter);
        EXPECT_EQ(result.information, 0u);
        EXPECT_TRUE(board.ports.empty());
        continue;
      }
      EXPECT_EQ(result.status, dp::kStatusSuccess);
      ASSERT_EQ(board.ports.size(), 2u);
      EXPECT_EQ(Access(0).port, 0xCF8);
      EXPECT_EQ(Access(0).width, 4u);
      EXPECT_EQ(Access(0).value, c.address);
    }
  }
}

std::vector<std::uint8_t> Pair(std::uint8_t op1, std::uint16_t reg1, std::uint32_t value1,
                               std::uint8_t op2, std::uint16_t reg2, std::uint32_t value2) {
  auto record = Record(24);
  const std::uint8_t entries[2][3] = {{0, 2, 1}, {1, 0, 0}};
  const std::uint8_t ops[2] = {op1, op2};
  const std::uint16_t regs[2] = {reg1, reg2};
  const std::uint32_t values[2] = {value1, value2};
  for (int i = 0; i < 2; ++i) {
    std::uint8_t* entry = record.data() + 12 * i;
    entry[0] = entries[i][0];
    entry[1] = entries[i][1];
    entry[2] = entries[i][2];
    entry[3] = ops[i];
    Put16(entry + 4, regs[i]);
    Put32(entry + 8, values[i]);
  }
  return record;
}

TEST_F(DriverPortTest, PciPairWritesTheFirstEntryThenReadsTheSecondAndAnswersBoth) {
  board.config[0x80010000] = 0x71238086;  // bus 1, device 0, function 0, register 0
  auto record = Pair(2, 0x44, 0x0000BEEF, 1, 0x00, 0);
  const IoResult result = Control(dp::IOCTL_PCI_CONFIG_PAIR, record, 24, 24);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_EQ(result.information, 24u);
  ASSERT_EQ(board.ports.size(), 4u);
  EXPECT_EQ(Access(0).value, 0x80001144u);  // bus 0, device 2, function 1, register 0x44
  EXPECT_EQ(Access(1).port, 0xCFC);
  EXPECT_TRUE(Access(1).write);
  EXPECT_EQ(Access(1).width, 4u);
  EXPECT_EQ(Access(1).value, 0xBEEFu);
  EXPECT_EQ(Access(2).value, 0x80010000u);
  EXPECT_FALSE(Access(3).write);
  EXPECT_EQ(Access(3).width, 4u);
  EXPECT_EQ(U32(record.data() + 20), 0x71238086u);
  EXPECT_EQ(U32(record.data() + 8), 0xBEEFu);  // a written value stays as it was
}

TEST_F(DriverPortTest, PciPairEntryWithAnotherOperationDoesNothing) {
  auto record = Pair(0, 0x10, 1, 3, 0x10, 2);
  const IoResult result = Control(dp::IOCTL_PCI_CONFIG_PAIR, record, 24, 24);
  EXPECT_EQ(result.status, dp::kStatusSuccess);
  EXPECT_TRUE(board.ports.empty());
  EXPECT_EQ(U32(record.data() + 8), 1u);
  EXPECT_EQ(U32(record.data() + 20), 2u);
}

TEST_F(DriverPortTest, PciPairNeedsBothEntriesInAndOut) {
  auto record = Pair(1, 0, 0, 1, 0, 0);
  EXPECT_EQ(Control(dp::IOCTL_PCI_CONFIG_PAIR, record, 23, 24).status, dp::kStatusInvalidParameter);
  EXPECT_EQ(Control(dp::IOCTL_PCI_CONFIG_PAIR, record, 24, 4).status, dp::kStatusBufferTooSmall);
  EXPECT_TRUE(board.ports.empty());
}

}  // namespace
}  // namespace velmora::drivertest
