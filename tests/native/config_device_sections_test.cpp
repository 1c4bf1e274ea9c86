#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "ConfigTestSupport.h"
#include "config/DeviceSections.h"

namespace velmora {
namespace {

using configtest::ConfigMachine;

constexpr std::array<std::uint8_t, kMaxDimmSlots> kDefaultSpd = {
    0xA0, 0xA2, 0xA4, 0xA6, 0xA8, 0xAA, 0xAC, 0xAE, 0, 0, 0, 0, 0, 0, 0, 0};

TEST(DeviceSectionsTest, NoSectionsGivesEmptyListsAndEightDefaultSlots) {
  ConfigMachine machine;
  const auto ini = machine.Load("[Config]\nEC_SC=0x66\n");
  EXPECT_TRUE(ini->IoIDList.empty());
  EXPECT_TRUE(ini->PciIDList.empty());
  EXPECT_TRUE(ini->MemIDList.empty());
  EXPECT_TRUE(ini->IosList.empty());
  EXPECT_TRUE(ini->MemList.empty());
  EXPECT_TRUE(ini->SioConfigKeys.empty());
  EXPECT_EQ(ini->DimmSlotCount, 8);
  EXPECT_EQ(ini->DimmSpdAddress, kDefaultSpd);
}

TEST(DeviceSectionsTest, IoIdSectionFields) {
  ConfigMachine machine;
  const auto ini = machine.Load(
      "[IOID1]\nName=ITE 8728\nIndexPort=0x2E\nDataPort=0x1002F\n"
      "EnterConfig=87 01 55 55\nExitConfig=02 02\n[IOID2]\nName=Second\n");
  ASSERT_EQ(ini->IoIDList.size(), 2u);
  const IoIDStruc& chip = ini->IoIDList[0];
  EXPECT_EQ(chip.Name, "ITE 8728");
  EXPECT_EQ(chip.IndexPort, 0x2E);
  EXPECT_EQ(chip.DataPort, 0x2F);  // low 16 bits
  EXPECT_EQ(chip.EnterConfig, "87 01 55 55");
  EXPECT_EQ(chip.ExitConfig, "02 02");
  EXPECT_EQ(ini->IoIDList[1].Name, "Second");
  EXPECT_EQ(ini->IoIDList[1].IndexPort, 0);
}

TEST(DeviceSectionsTest, PciIdWithOnlyBusTakesDefaults) {
  ConfigMachine machine;
  const auto ini = machine.Load("[PCIID1]\nBus=0x80\n");
  ASSERT_EQ(ini->PciIDList.size(), 1u);
  const PciIDStruc& r = ini->PciIDList[0];
  EXPECT_EQ(r.Bus, 0x80);
  EXPECT_EQ(r.AddressStep, 1);
  EXPECT_EQ(r.Name, "");
  EXPECT_EQ(r.Dev, 0);
  EXPECT_EQ(r.Fun, 0);
  EXPECT_EQ(r.ID, 0u);
  EXPECT_EQ(r.IndexRegister, 0);
  EXPECT_EQ(r.DataRegister, 0);
  EXPECT_EQ(r.StartAddress, 0u);
  EXPECT_EQ(r.AccessMode, 0u);
}

TEST(DeviceSectionsTest, SameKeysHaveDifferentWidthsInPciIdAndMemId) {
  ConfigMachine machine;
  const auto ini = machine.Load(
      "[PCIID1]\nAddressStep=0x101\nIndexRegister=0x1C4\nDataRegister=0x1C8\nID=0x3A188086\n"
      "StartAddress=0xFFFFFFFF\nAccessMode=0x10002\n"
      "[MEMID1]\nAddressStep=0x101\nIndexRegister=0xFED1C400\nDataRegister=0xFED1C404\n"
      "StartAddress=0x10\nName=RCBA\n");
  ASSERT_EQ(ini->PciIDList.size(), 1u);
  ASSERT_EQ(ini->MemIDList.size(), 1u);
  const PciIDStruc& pci = ini->PciIDList[0];
  EXPECT_EQ(pci.AddressStep, 1);
  EXPECT_EQ(pci.IndexRegister, 0xC4);
  EXPECT_EQ(pci.DataRegister, 0xC8);
  EXPECT_EQ(pci.ID, 0x3A188086u);
  EXPECT_EQ(pci.StartAddress, 0xFFFFFFFFu);
  EXPECT_EQ(pci.AccessMode, 0x10002u);
  const MemIDStruc& mem = ini->MemIDList[0];
  EXPECT_EQ(mem.AddressStep, 0x101u);
  EXPECT_EQ(mem.IndexRegister, 0xFED1C400u);
  EXPECT_EQ(mem.DataRegister, 0xFED1C404u);
  EXPECT_EQ(mem.StartAddress, 0x10u);
  EXPECT_EQ(mem.Name, "RCBA");
}

TEST(DeviceSectionsTest, MemIdAddressStepDefaultsToOne) {
  ConfigMachine machine;
  const auto ini = machine.Load("[MEMID1]\nName=x\n");
  ASSERT_EQ(ini->MemIDList.size(), 1u);
  EXPECT_EQ(ini->MemIDList[0].AddressStep, 1u);
}

TEST(DeviceSectionsTest, AcpiPmBaseEntryComesFirst) {
  ConfigMachine machine;
  const auto ini = machine.Load(
      "[Config]\nAcpiPmBase=0x400\n[IOS1]\nName=SIO\nIoBase=0x290\n[IOS2]\nName=GPIO\n"
      "IoBase=0x10500\n");
  ASSERT_EQ(ini->IosList.size(), 3u);
  EXPECT_EQ(ini->IosList[0].Name, "ACPI PM Base (0x0400)");
  EXPECT_EQ(ini->IosList[0].IoBase, 0x400);
  EXPECT_EQ(ini->IosList[1].Name, "SIO");
  EXPECT_EQ(ini->IosList[1].IoBase, 0x290);
  EXPECT_EQ(ini->IosList[2].Name, "GPIO");
  EXPECT_EQ(ini->IosList[2].IoBase, 0x500);
}

TEST(DeviceSectionsTest, AcpiPmBaseNameIsFourUpperCaseHexDigitsAtLeast) {
  EXPECT_EQ(AcpiPmBaseEntryName(0x800), "ACPI PM Base (0x0800)");
  EXPECT_EQ(AcpiPmBaseEntryName(0x1), "ACPI PM Base (0x0001)");
  EXPECT_EQ(AcpiPmBaseEntryName(0xFFFF), "ACPI PM Base (0xFFFF)");
  EXPECT_EQ(AcpiPmBaseEntryName(0xab0), "ACPI PM Base (0x0AB0)");
}

TEST(DeviceSectionsTest, AcpiPmBaseTruncatedToZeroAddsNoEntry) {
  ConfigMachine machine;
  const auto ini = machine.Load("[Config]\nAcpiPmBase=0x10000\n");
  EXPECT_TRUE(ini->IosList.empty());
}

TEST(DeviceSectionsTest, FamilyStartsAtOne) {
  ConfigMachine machine;
  const auto ini = machine.Load("[IOID2]\nName=b\n[IOID0]\nName=z\n");
  EXPECT_TRUE(ini->IoIDList.empty());
}

TEST(DeviceSectionsTest, GapEndsTheFamily) {
  ConfigMachine machine;
  const auto ini = machine.Load("[MEM1]\nName=a\nMemoryBase=0xFED00000\n[MEM3]\nName=c\n");
  ASSERT_EQ(ini->MemList.size(), 1u);
  EXPECT_EQ(ini->MemList[0].Name, "a");
  EXPECT_EQ(ini->MemList[0].MemoryBase, 0xFED00000u);
}

TEST(DeviceSectionsTest, EmptySectionCountsAsMissing) {
  ConfigMachine machine;
  const auto ini = machine.Load("[MEM1]\n[MEM2]\nName=b\n");
  EXPECT_TRUE(ini->MemList.empty());
}

TEST(DeviceSectionsTest, KeylessLineMakesSectionPresent) {
  ConfigMachine machine;
  const auto ini = machine.Load("[ios1]\nreserved\n");
  ASSERT_EQ(ini->IosList.size(), 1u);
  EXPECT_EQ(ini->IosList[0].Name, "");
  EXPECT_EQ(ini->IosList[0].IoBase, 0);
}

TEST(DeviceSectionsTest, NumberedNamesHaveNoLeadingZeros) {
  ConfigMachine machine;
  std::string text;
  for (int n = 1; n <= 12; ++n)
    text += "[PCIID" + std::to_string(n) + "]\nDev=" + std::to_string(n) + "\n";
  text += "[PCIID013]\nDev=99\n";
  const auto ini = machine.Load(text);
  ASSERT_EQ(ini->PciIDList.size(), 12u);
  EXPECT_EQ(ini->PciIDList[9].Dev, 10);
  EXPECT_EQ(ini->PciIDList[11].Dev, 12);
}

TEST(DeviceSectionsTest, SioConfigKeysStartAtZero) {
  ConfigMachine machine;
  const auto ini = machine.Load("[SIOConfigKey]\nConfigKey1=87 87\nConfigKey2=55\n");
  EXPECT_TRUE(ini->SioConfigKeys.empty());
}

TEST(DeviceSectionsTest, SioConfigKeysUntilFirstEmpty) {
  ConfigMachine machine;
  const auto ini = machine.Load(
      "[SIOConfigKey]\nConfigKey0=87 87\nconfigkey1= 0x55 \nConfigKey2=\nConfigKey3=AA\n");
  EXPECT_EQ(ini->SioConfigKeys, (std::vector<std::string>{"87 87", "0x55"}));
}

TEST(DeviceSectionsTest, DimmSlotsFromSection) {
  ConfigMachine machine;
  const auto ini = machine.Load("[DIMMSPD]\nDimmSlotNum=2\nDimm2Address=0xA6\nDimm3Address=0xB0\n");
  EXPECT_EQ(ini->DimmSlotCount, 2);
  EXPECT_EQ(ini->DimmSpdAddress[0], 0xA0);
  EXPECT_EQ(ini->DimmSpdAddress[1], 0xA6);
  EXPECT_EQ(ini->DimmSpdAddress[2], 0);
}

TEST(DeviceSectionsTest, DimmSlotNumZeroGivesEmptyTable) {
  ConfigMachine machine;
  const auto ini = machine.Load("[DIMMSPD]\nDimmSlotNum=0\nDimm1Address=0x50\n");
  EXPECT_EQ(ini->DimmSlotCount, 0);
  EXPECT_EQ(ini->DimmSpdAddress, (std::array<std::uint8_t, kMaxDimmSlots>{}));
}

TEST(DeviceSectionsTest, DimmValuesKeepLowEightBits) {
  ConfigMachine machine;
  const auto ini = machine.Load("[DIMMSPD]\nDimmSlotNum=0x104\nDimm1Address=0x1A2\n");
  EXPECT_EQ(ini->DimmSlotCount, 4);
  EXPECT_EQ(ini->DimmSpdAddress[0], 0xA2);
  EXPECT_EQ(ini->DimmSpdAddress[3], 0xA6);
}

TEST(DeviceSectionsTest, DimmSlotNumAboveSixteenIsClamped) {
  ConfigMachine machine;
  std::string text = "[DIMMSPD]\nDimmSlotNum=255\n";
  for (int i = 1; i <= 20; ++i)
    text += "Dimm" + std::to_string(i) + "Address=" + std::to_string(i) + "\n";
  const auto ini = machine.Load(text);
  EXPECT_EQ(ini->DimmSlotCount, 16);
  EXPECT_EQ(ini->DimmSpdAddress[15], 16);
}

TEST(DeviceSectionsTest, SeventeenSlotsUseDefaultsUpToSixteen) {
  ConfigMachine machine;
  const auto ini = machine.Load("[DIMMSPD]\nDimmSlotNum=17\n");
  EXPECT_EQ(ini->DimmSlotCount, 16);
  EXPECT_EQ(ini->DimmSpdAddress[15], 0xBE);
}

}  // namespace
}  // namespace velmora
