#include <gtest/gtest.h>

#include "HardwareTestSupport.h"
#include "KernelTestSupport.h"

namespace velmora {
namespace {

using hwtest::HardwareRig;
namespace dp = driver_protocol;

constexpr char kNoDetection[] = "DetectPCIEBase=0\r\n";

void Put(kerneltest::FakeBoard& board, std::uint32_t address, const std::string& bytes) {
  board.WritePhysical(address, bytes.data(), bytes.size());
}

void PutDword(kerneltest::FakeBoard& board, std::uint32_t address, std::uint32_t value) {
  board.WritePhysical(address, &value, 4);
}

// The client's own arithmetic (search positions, windows, logging) on a board without firmware
// tables: its reads are answered by a driver that reads every byte but those a test makes
// unreadable (RecordingIo::readAnywhere). PCI reads go to the real driver.
class ReadWriteTest : public ::testing::Test {
 protected:
  TReadWrite& Connect(HardwareRig& rig) {
    rig.io.readAnywhere = &board;
    return rig.Connect();
  }

  kerneltest::FakeBoard board;
};

TEST_F(ReadWriteTest, FourByteSearchAtStep16Tests4161PositionsEndingAt0x100400) {
  for (std::uint32_t a = 0xF0000; a <= 0x100800; a += 16) Put(board, a, "_SM_");
  HardwareRig rig(board, sim::Windows7X86(), kNoDetection);
  TReadWrite& rw = Connect(rig);
  EXPECT_EQ(rw.MemoryFindString(0xF0000, 0x10000, "_SM_", 0, 16), 0xF0000u);
  EXPECT_EQ(rw.MemoryFindString(0xF0000, 0x10000, "_SM_", 4160, 16), 0x100400u);
  EXPECT_EQ(rw.MemoryFindString(0xF0000, 0x10000, "_SM_", 4161, 16), kNoAddress);
}

TEST_F(ReadWriteTest, EightByteSearchAtStep16Tests8456PositionsEndingAt0x101070) {
  for (std::uint32_t a = 0xE0000; a <= 0x102000; a += 16) Put(board, a, "RSD PTR ");
  HardwareRig rig(board, sim::Windows7X86(), kNoDetection);
  TReadWrite& rw = Connect(rig);
  EXPECT_EQ(rw.MemoryFindString(0xE0000, 0x20000, "RSD PTR ", 8455, 16), 0x101070u);
  EXPECT_EQ(rw.MemoryFindString(0xE0000, 0x20000, "RSD PTR ", 8456, 16), kNoAddress);
}

TEST_F(ReadWriteTest, ByteStepSearchOver300BytesTests298Positions) {
  Put(board, 0x10000, std::string(400, 'A'));
  HardwareRig rig(board, sim::Windows7X86(), kNoDetection);
  TReadWrite& rw = Connect(rig);
  EXPECT_EQ(rw.MemoryFindString(0x10000, 300, "AAAA", 297, 1), 0x10000u + 297);
  EXPECT_EQ(rw.MemoryFindString(0x10000, 300, "AAAA", 298, 1), kNoAddress);
  // A step of 0 is a step of 1.
  EXPECT_EQ(rw.MemoryFindString(0x10000, 300, "AAAA", 297, 0), 0x10000u + 297);
}

TEST_F(ReadWriteTest, PatternAcrossTwoWindowsIsFoundAndSkipCountsMatches) {
  Put(board, 0x200FE, "WXYZ");  // straddles the windows 0x20000 and 0x20100
  Put(board, 0x20180, "WXYZ");
  HardwareRig rig(board, sim::Windows7X86(), kNoDetection);
  TReadWrite& rw = Connect(rig);
  EXPECT_EQ(rw.MemoryFindString(0x20000, 0x400, "WXYZ", 0, 1), 0x200FEu);
  EXPECT_EQ(rw.MemoryFindString(0x20000, 0x400, "WXYZ", 1, 1), 0x20180u);
  EXPECT_EQ(rw.MemoryFindString(0x20000, 0x400, "WXYZ", 2, 1), kNoAddress);
}

TEST_F(ReadWriteTest, EmptySearchReadsNothing) {
  HardwareRig rig(board, sim::Windows7X86(), kNoDetection);
  TReadWrite& rw = Connect(rig);
  const std::uint32_t before = rw.Requests().Total();
  EXPECT_EQ(rw.MemoryFindString(0xF0000, 0, "_SM_", 0, 16), kNoAddress);
  EXPECT_EQ(rw.Requests().Total(), before);
}

TEST_F(ReadWriteTest, PatternOfAWholeWindowIsNotSearchedInsteadOfLoopingForever) {
  Put(board, 0x30000, std::string(256, 'B'));
  HardwareRig rig(board, sim::Windows7X86(), kNoDetection);
  TReadWrite& rw = Connect(rig);
  const std::string pattern(256, 'B');
  EXPECT_EQ(rw.MemoryFindString(0x30000, 0x1000, pattern.c_str(), 0, 1), kNoAddress);
}

// On NT a block is one read of exactly its bytes; on 9x the virtual device driver maps the
// 256-byte windows that hold them.
TEST_F(ReadWriteTest, BlockIsOneExactReadOnNtAndTwoWindowsAcrossA256ByteBoundaryOn9x) {
  Put(board, 0xFFFF8, "0123456789ABCDEF");
  for (const bool nt : {true, false}) {
    HardwareRig rig(board, nt ? sim::Windows7X86() : sim::Windows98(), kNoDetection);
    TReadWrite& rw = Connect(rig);
    rig.io.reads.clear();
    char block[16];
    ASSERT_TRUE(rw.MemoryReadBlock(0xFFFF8, block, 16));
    EXPECT_EQ(std::string(block, 16), "0123456789ABCDEF");
    using Reads = std::vector<std::pair<std::uint64_t, std::uint32_t>>;
    Reads reads;
    for (const auto& read : rig.io.reads) reads.emplace_back(read.physical, read.length);
    const Reads expected = nt ? Reads{{0xFFFF8, 16}} : Reads{{0xFFF00, 0}, {0x100000, 0}};
    EXPECT_EQ(reads, expected);
    EXPECT_EQ(rig.world.process.LiveViewCount(), 0u);
  }
}

// The search reads only what the driver lists, each range ahead in pieces of up to 64 KiB: the
// root pointer's search through the BIOS area is two reads, and nothing past it is asked for.
TEST_F(ReadWriteTest, SearchReadsAheadOnlyWhatTheDriverReads) {
  Put(board, 0xFE010, "RSD PTR ");
  HardwareRig rig(board, sim::Windows7X86(), kNoDetection);
  rig.io.unreadable = {{0x100000, 0x10000000}};
  TReadWrite& rw = Connect(rig);
  rig.io.reads.clear();
  EXPECT_EQ(rw.MemoryFindString(0xE0000, 0x20000, "RSD PTR ", 0, 16), 0xFE010u);
  EXPECT_EQ(rw.MemoryFindString(0xE0000, 0x20000, "RSD PTR ", 1, 16), kNoAddress);
  ASSERT_EQ(rig.io.reads.size(), 4u);
  EXPECT_EQ(rig.io.reads[0].physical, 0xE0000u);
  EXPECT_EQ(rig.io.reads[1].physical, 0xF0000u);
  EXPECT_EQ(rig.io.reads[1].length, 0x10000u);
  EXPECT_TRUE(rig.LogLines("RW: Map Memory Error").empty());
}

TEST_F(ReadWriteTest, BlockInWordAndDwordUnitsRefusesAPartialUnit) {
  Put(board, 0x40000, "abcdefgh");
  HardwareRig rig(board, sim::Windows7X86(), kNoDetection);
  TReadWrite& rw = Connect(rig);
  char block[8] = {};
  EXPECT_TRUE(rw.MemoryReadBlock(0x40000, block, 8, 3));
  EXPECT_EQ(std::string(block, 8), "abcdefgh");
  EXPECT_FALSE(rw.MemoryReadBlock(0x40000, block, 7, 2));
}

TEST_F(ReadWriteTest, SingleAccessesReadExactlyWhatTheyNeedAndLog) {
  Put(board, 0x50010, "\x5A");
  PutDword(board, 0x50020, 0x12345678);
  Put(board, 0x50030, "\x13");
  HardwareRig rig(board, sim::Windows7X86(), kNoDetection);
  TReadWrite& rw = Connect(rig);
  rig.io.reads.clear();
  EXPECT_EQ(rw.MemoryReadByte(0x50010), 0x5A);
  EXPECT_EQ(rw.MemoryReadDword(0x50020), 0x12345678u);
  std::uint8_t before = 0;
  EXPECT_TRUE(rw.MemoryUpdateByte(0x50030, 0x08, 0x01, before));
  EXPECT_EQ(before, 0x13);
  EXPECT_EQ(board.memory[0x50030], 0x1A);
  ASSERT_EQ(rig.io.reads.size(), 2u);
  EXPECT_EQ(rig.io.reads[0].length, 1u);
  EXPECT_EQ(rig.io.reads[1].length, 4u);
  EXPECT_EQ(rig.io.Count(dp::IOCTL_UPDATE_CONTROL_BYTE), 1u);
  EXPECT_EQ(rig.LogLines("RW: Memory"),
            (std::vector<std::string>{"RW: MemoryReadByte 0x00050010=0x5A",
                                      "RW: MemoryReadDword 0x00050020=0x12345678",
                                      "RW: MemoryReadByte 0x00050030=0x13",
                                      "RW: MemoryWriteByte 0x00050030=0x1A"}));
}

TEST_F(ReadWriteTest, FailedReadsAreLoggedAndReported) {
  HardwareRig rig(board, sim::Windows7X86(), kNoDetection);
  rig.io.unreadable = {{0x60000, 0x61000}};
  TReadWrite& rw = Connect(rig);
  std::uint8_t before = 0;
  EXPECT_FALSE(rw.MemoryUpdateByte(0x60010, 0x08, 0, before));
  char block[4];
  EXPECT_FALSE(rw.MemoryReadBlock(0x60100, block, 4));
  EXPECT_EQ(rw.MemoryReadByte(0x60020), 0xFF);
  EXPECT_EQ(rw.MemoryReadDword(0x60020), 0xFFFFFFFFu);
  const auto errors = rig.LogLines("RW: Map Memory Error: ");
  ASSERT_EQ(errors.size(), 4u);
  EXPECT_EQ(errors[0], "RW: Map Memory Error: 0x00060010");
  EXPECT_EQ(errors[1], "RW: Map Memory Error: 0x00060100");
  EXPECT_EQ(rig.LogLines("RW: MemoryReadByte ")[0], "RW: MemoryReadByte 0x00060010=0xFF");
}

// A candidate is compared only when every byte of it was read.
TEST_F(ReadWriteTest, SearchComparesOnlyCandidatesItCouldRead) {
  Put(board, 0x70010, "FIND");
  Put(board, 0x701FE, "FIND");
  Put(board, 0x70210, "FIND");
  HardwareRig rig(board, sim::Windows7X86(), kNoDetection);
  rig.io.unreadable = {{0x70000, 0x70100}, {0x70200, 0x70201}};
  TReadWrite& rw = Connect(rig);
  EXPECT_EQ(rw.MemoryFindString(0x70000, 0x400, "FIND", 0, 2), 0x70210u);
  for (const auto& read : rig.io.reads) {
    EXPECT_FALSE(read.physical < 0x70100 && read.physical + read.length > 0x70000);
  }
}

TEST_F(ReadWriteTest, PciReadsOnNtGoThroughTheDriverWithTheirWidthAndLog) {
  board.config[dp::PciConfigAddress(0, 0x1F, 3, 0)] = 0x1C228086;
  board.config[dp::PciConfigAddress(0, 0x1F, 3, 0x40)] = 0xAABBCCDD;
  HardwareRig rig(board, sim::Windows7X86(), kNoDetection);
  TReadWrite& rw = Connect(rig);
  EXPECT_EQ(rw.PciReadByte(0, 0x1F, 0x41, 3), 0xCC);
  EXPECT_EQ(rw.PciReadWord(0, 0x1F, 0x42, 3), 0xAABB);
  EXPECT_EQ(rw.PciReadDword(0, 0x1F, 0x40, 3), 0xAABBCCDDu);
  EXPECT_EQ(rw.PciReadDword(0, 0x1E, 0x40, 3), 0xFFFFFFFFu);
  EXPECT_EQ(rig.LogLines("RW: Pci"),
            (std::vector<std::string>{"RW: PciReadByte 0x00,0x1F,0x03, 0x0041=0xCC",
                                      "RW: PciReadWord 0x00,0x1F,0x03, 0x0042=0xAABB",
                                      "RW: PciReadDword 0x00,0x1F,0x03, 0x0040=0xAABBCCDD",
                                      "RW: PciReadDword 0x00,0x1E,0x03, 0x0040=0xFFFFFFFF"}));
  EXPECT_EQ(rw.PciBytesReturned, 12u);
}

TEST_F(ReadWriteTest, RejectedPciRequestReadsAsAbsentNotAsTheLastValue) {
  board.config[dp::PciConfigAddress(0, 0, 0, 0)] = 0x01008086;
  HardwareRig rig(board, sim::Windows7X86(), kNoDetection);
  TReadWrite& rw = Connect(rig);
  EXPECT_EQ(rw.PciReadDword(0, 0, 0, 0), 0x01008086u);
  rig.io.refused.insert(dp::IOCTL_PCI_CONFIG_READ_DWORD);
  rig.io.refused.insert(dp::IOCTL_PCI_CONFIG_READ_WORD);
  EXPECT_EQ(rw.PciReadDword(0, 1, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(rw.PciReadWord(0, 1, 0, 0), 0xFFFF);
}

TEST_F(ReadWriteTest, PciReadsOnNineXUseThePortsDirectly) {
  board.config[dp::PciConfigAddress(0, 0x1F, 3, 0x40)] = 0x44332211;
  board.config[dp::PciConfigAddress(0, 0x1F, 3, 0x140)] = 0x88776655;
  HardwareRig rig(board, sim::Windows98(), kNoDetection);
  TReadWrite& rw = Connect(rig);
  ASSERT_NE(rw.DeviceHandle(), kInvalidHandleValue);
  board.ports.clear();
  EXPECT_EQ(rw.PciReadByte(0, 0x1F, 0x40, 3), 0x11);
  EXPECT_EQ(rw.LegacyConfigAddress, 0x8000FB40u);
  EXPECT_EQ(rw.LegacyDataPort, 0xCFC);
  EXPECT_EQ(rw.PciReadByte(0, 0x1F, 0x142, 3), 0x77);
  EXPECT_EQ(rw.LegacyConfigAddress, 0x8100FB40u);
  EXPECT_EQ(rw.LegacyDataPort, 0xCFE);
  ASSERT_EQ(board.ports.size(), 4u);
  EXPECT_TRUE(board.ports[0].write);
  EXPECT_EQ(board.ports[0].port, 0xCF8);
  EXPECT_EQ(board.ports[0].value, 0x8000FB40u);
  EXPECT_EQ(board.ports[1].port, 0xCFC);
  EXPECT_EQ(board.ports[3].port, 0xCFE);
  EXPECT_EQ(rig.io.Count(dp::IOCTL_PCI_CONFIG_READ_BYTE), 0u);
}

TEST_F(ReadWriteTest, NineXMapsThroughTheFourByteRequest) {
  Put(board, 0xF1234, "\x42");
  HardwareRig rig(board, sim::Windows98(), kNoDetection);
  TReadWrite& rw = Connect(rig);
  rig.io.reads.clear();
  EXPECT_EQ(rw.MemoryReadByte(0xF1234), 0x42);
  ASSERT_EQ(rig.io.reads.size(), 1u);
  EXPECT_EQ(rig.io.reads[0].physical, 0xF1234u);
  EXPECT_EQ(rig.io.reads[0].length, 0u);  // the 4-byte form carries no length
}

TEST_F(ReadWriteTest, PciExpressReadComposesTheWindowAddress) {
  PutDword(board, 0xE0113010, 0xCAFEF00D);
  HardwareRig rig(board, sim::Windows7X86(), "DetectPCIEBase=0\r\nPCIEBaseAddress=0xE0000000\r\n");
  TReadWrite& rw = Connect(rig);
  EXPECT_EQ(rw.PcieBase, 0xE0000000u);
  EXPECT_EQ(rw.PciExpressReadDword(1, 2, 0x13, 3), 0xCAFEF00Du);  // aligned, not shifted
  EXPECT_EQ(rw.PcieAddress, 0xE0113010u);
}

TEST_F(ReadWriteTest, WithoutAWindowExtendedRegistersGiveAllOnesWithoutARequest) {
  board.config[dp::PciConfigAddress(0, 0, 0, 0)] = 0x01008086;
  board.config[dp::PciConfigAddress(0, 0, 0, 0x10)] = 0x1234;
  HardwareRig rig(board, sim::Windows7X86(), "DetectPCIEBase=0\r\nPCIEBaseAddress=0\r\n");
  TReadWrite& rw = Connect(rig);
  EXPECT_EQ(rw.PcieBase, kNoAddress);
  const std::uint32_t before = rw.Requests().Total();
  EXPECT_EQ(rw.PciExpressReadDword(0, 0, 0x100, 0), 0xFFFFFFFFu);
  EXPECT_EQ(rw.Requests().Total(), before);
  EXPECT_EQ(rw.PciExpressReadDword(0, 0, 0x10, 0), 0x1234u);  // falls back to the legacy read
}

TEST_F(ReadWriteTest, DetectionFindsTheWindowAt0xE0000000AndStoresIt) {
  board.config[dp::PciConfigAddress(0, 0, 0, 0)] = 0x01008086;
  board.config[dp::PciConfigAddress(0, 0, 0, 8)] = 0x06000002;
  PutDword(board, 0xE0000000, 0x01008086);
  PutDword(board, 0xE0000008, 0x06000002);
  HardwareRig rig(board, sim::Windows7X86(), "PCIEBaseAddress=0xF0000000\r\n");
  TReadWrite& rw = Connect(rig);
  EXPECT_EQ(rw.PcieBase, 0xE0000000u);
  EXPECT_EQ(rig.Config().Config.PCIEBaseAddress, 0xE0000000u);
  const auto reads = rig.LogLines("RW: MemoryReadDword ");
  ASSERT_EQ(reads.size(), 17u);  // 15 refused candidates from 0xFE000000 down, then id and class
  EXPECT_EQ(reads.front(), "RW: MemoryReadDword 0xFE000000=0xFFFFFFFF");
  EXPECT_EQ(reads[14], "RW: MemoryReadDword 0xE2000000=0xFFFFFFFF");
  EXPECT_EQ(rig.LogLines("RW: Detect").size(), 1u);
  EXPECT_EQ(rig.LogLines("RW: PCIE Memory Base: "),
            std::vector<std::string>{"RW: PCIE Memory Base: 0xE0000000"});
}

TEST_F(ReadWriteTest, DetectionWithoutAMatchingWindowLeavesNone) {
  board.config[dp::PciConfigAddress(3, 4, 0, 0)] = 0x12341234;  // first device on bus 3
  board.config[dp::PciConfigAddress(3, 4, 0, 8)] = 0x0C030000;
  HardwareRig rig(board, sim::Windows7X86(), "");
  TReadWrite& rw = Connect(rig);
  EXPECT_EQ(rw.PcieBase, kNoAddress);
  EXPECT_EQ(rig.Config().Config.PCIEBaseAddress, kNoAddress);
  EXPECT_EQ(rig.LogLines("RW: MemoryReadDword ").size(), 23u);  // every candidate, once
}

TEST_F(ReadWriteTest, CpuIdRunsInTheProcessAndLogsAllFourRegisters) {
  HardwareRig rig(board, sim::Windows7X86(), kNoDetection);
  TReadWrite& rw = Connect(rig);
  CpuIdRegisters registers;
  registers.eax = 0;
  EXPECT_TRUE(rw.ExecuteCpuId(registers));
  EXPECT_EQ(registers.ebx, 0x756E6547u);
  EXPECT_EQ(rig.LogLines("RW: ExecuteCpuId"),
            std::vector<std::string>{
                "RW: ExecuteCpuId 0x00000000=0x00000000,0x756E6547,0x00000002,0x00000003"});
}

TEST_F(ReadWriteTest, NoDriverMeansNoDetection) {
  HardwareRig rig(board, sim::Windows7X86(), "");
  rig.world.services.RefuseManager();
  TReadWrite& rw = Connect(rig);
  EXPECT_EQ(rw.DeviceHandle(), kInvalidHandleValue);
  EXPECT_EQ(rw.Requests().Total(), 0u);
  EXPECT_TRUE(rig.LogLines("RW: Detect").empty());
}

}  // namespace
}  // namespace velmora
