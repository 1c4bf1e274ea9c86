#include <gtest/gtest.h>

#include "HardwareTestSupport.h"
#include "power/Cpu.h"
#include "sim/board/SimBoard.h"

namespace velmora {
namespace {

std::uint32_t Word(const char* four) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(four[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(four[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(four[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(four[3])) << 24;
}

TEST(CpuVendorString, RegistersInTheOrderEbxEdxEcx) {
  CpuIdRegisters leaf0;
  leaf0.eax = 0x0D;
  leaf0.ebx = Word("Genu");
  leaf0.edx = Word("ineI");
  leaf0.ecx = Word("ntel");
  EXPECT_EQ(CpuVendorString(leaf0), "GenuineIntel");
}

TEST(CpuVendorCode, EveryListedVendorAndNothingElse) {
  EXPECT_EQ(CpuVendorCode("GenuineIntel"), 1);
  EXPECT_EQ(CpuVendorCode("AuthenticAMD"), 2);
  EXPECT_EQ(CpuVendorCode("CyrixInstead"), 3);
  EXPECT_EQ(CpuVendorCode("UMC UMC UMC "), 4);
  EXPECT_EQ(CpuVendorCode("CentaurHauls"), 5);
  EXPECT_EQ(CpuVendorCode("RiseRiseRise"), 6);
  EXPECT_EQ(CpuVendorCode("GenuineIntel "), -1);
  EXPECT_EQ(CpuVendorCode("UMC UMC UMC"), -1);
  EXPECT_EQ(CpuVendorCode("genuineintel"), -1);
  EXPECT_EQ(CpuVendorCode("AuthenticAmd"), -1);
  EXPECT_EQ(CpuVendorCode("HygonGenuine"), -1);
  EXPECT_EQ(CpuVendorCode(std::string(12, '\0')), -1);
}

class CpuVendorTest : public ::testing::Test {
 protected:
  TCpu& Cpu(const std::string& vendor) {
    sim::BoardDescription description = sim::DefaultBoardDescription();
    description.processor.vendor = vendor;
    board = std::make_unique<sim::SimBoard>(description);
    rig = std::make_unique<hwtest::HardwareRig>(*board, sim::Windows7X86(), "DetectPCIEBase=0\r\n");
    cpu = std::make_unique<TCpu>(rig->Connect());
    return *cpu;
  }
  std::size_t CpuIdRuns() const { return rig->LogLines("RW: ExecuteCpuId ").size(); }

  std::unique_ptr<sim::SimBoard> board;
  std::unique_ptr<hwtest::HardwareRig> rig;
  std::unique_ptr<TCpu> cpu;
};

TEST_F(CpuVendorTest, IntelIsCodeOneAndIntel) {
  TCpu& cpu = Cpu("GenuineIntel");
  EXPECT_EQ(cpu.GetVendor(), 1);
  EXPECT_TRUE(cpu.IsIntel());
}

TEST_F(CpuVendorTest, AmdIsCodeTwoAndNotIntel) {
  TCpu& cpu = Cpu("AuthenticAMD");
  EXPECT_EQ(cpu.GetVendor(), 2);
  EXPECT_FALSE(cpu.IsIntel());
}

TEST_F(CpuVendorTest, LetterCaseMattersOnTheProcessorToo) {
  TCpu& cpu = Cpu("GENUINEINTEL");
  EXPECT_EQ(cpu.GetVendor(), -1);
  EXPECT_FALSE(cpu.IsIntel());
}

TEST_F(CpuVendorTest, ConstructionExecutesNothingAndTheFirstAnswerIsKept) {
  TCpu& cpu = Cpu("CentaurHauls");
  EXPECT_EQ(CpuIdRuns(), 0u);
  EXPECT_EQ(cpu.GetVendor(), 5);
  EXPECT_EQ(cpu.GetVendor(), 5);
  EXPECT_FALSE(cpu.IsIntel());
  EXPECT_EQ(CpuIdRuns(), 1u);
  EXPECT_EQ(rig->LogLines("RW: ExecuteCpuId ").front().substr(0, 28),
            "RW: ExecuteCpuId 0x00000000=");
}

TEST_F(CpuVendorTest, UnknownVendorIsCachedAsWell) {
  TCpu& cpu = Cpu("VIA VIA VIA ");
  EXPECT_EQ(cpu.GetVendor(), -1);
  EXPECT_EQ(cpu.GetVendor(), -1);
  EXPECT_EQ(CpuIdRuns(), 1u);
}

}  // namespace
}  // namespace velmora
