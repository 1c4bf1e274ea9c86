#include <gtest/gtest.h>

#include "PlatformTestSupport.h"

namespace velmora {
namespace {

using platformtest::Function;
using platformtest::PlatformRig;

// A board with just a host bridge (Intel's own subsystem vendor) and the given functions.
sim::BoardDescription BoardWith(std::vector<sim::PciFunctionDescription> functions) {
  sim::BoardDescription description = sim::DefaultBoardDescription();
  description.pciFunctions = {Function(0, 0, 0, 0x8086)};
  for (const auto& function : functions) description.pciFunctions.push_back(function);
  return description;
}

TEST(PlatformMakerBoard, SingleFunctionDeviceWithTheSecondVendorIdOnFunctionZero) {
  PlatformRig rig(BoardWith({Function(3, 7, 0, 0x7A61)}));
  EXPECT_TRUE(rig.Build().IsMakerBoard);
}

TEST(PlatformMakerBoard, FunctionThreeOfASingleFunctionDeviceIsNotExamined) {
  PlatformRig rig(BoardWith({Function(0, 5, 0, 0x1043), Function(0, 5, 3, 0x7A61)}));
  EXPECT_FALSE(rig.Build().IsMakerBoard);
}

TEST(PlatformMakerBoard, MultiFunctionBitOpensFunctionsOneToSeven) {
  PlatformRig rig(BoardWith({Function(0, 5, 0, 0x1043, 0x80), Function(0, 5, 7, 0x7A5E)}));
  EXPECT_TRUE(rig.Build().IsMakerBoard);
}

TEST(PlatformMakerBoard, OtherSubsystemVendorsAndTheirNeighboursDoNotCount) {
  PlatformRig rig(BoardWith({Function(0, 1, 0, 0x7A5F), Function(0, 2, 0, 0x7A60),
                             Function(0, 3, 0, 0x5E7A), Function(0, 4, 0, 0x7A62)}));
  EXPECT_FALSE(rig.Build().IsMakerBoard);
}

TEST(PlatformMakerBoard, ScanStopsAtTheFirstMatch) {
  // Devices 0 and 2 answer; the maker's device is 0:2.0, so devices 0, 1, 2 are probed only.
  PlatformRig rig(BoardWith({Function(0, 2, 0, 0x7A5E), Function(9, 0, 0, 0x7A61)}));
  const DriverRequestCounts before = rig.readWrite.Requests();
  EXPECT_TRUE(rig.Build().IsMakerBoard);
  const DriverRequestCounts& after = rig.readWrite.Requests();
  EXPECT_EQ(after.pciDword - before.pciDword, 3u);
  EXPECT_EQ(after.pciByte - before.pciByte, 2u);  // header types of the two present devices
  EXPECT_EQ(after.pciWord - before.pciWord, 2u);
}

TEST(PlatformMakerBoard, NoMakerDeviceScansEveryBusAndDevice) {
  PlatformRig rig(BoardWith({Function(0, 31, 0, 0x8086, 0x80), Function(0, 31, 3, 0x8086),
                             Function(255, 31, 0, 0x1043)}));
  const DriverRequestCounts before = rig.readWrite.Requests();
  EXPECT_FALSE(rig.Build().IsMakerBoard);
  const DriverRequestCounts& after = rig.readWrite.Requests();
  EXPECT_EQ(after.pciDword - before.pciDword, 256u * 32u);
  EXPECT_EQ(after.pciByte - before.pciByte, 3u);  // absent devices are not asked further
  EXPECT_EQ(after.pciWord - before.pciWord, 1u + 8u + 1u);
}

TEST(PlatformMakerBoard, MakerFunctionOnTheLastBusIsFound) {
  PlatformRig rig(BoardWith({Function(255, 31, 0, 0x7A5E)}));
  EXPECT_TRUE(rig.Build().IsMakerBoard);
}

TEST(PlatformMakerBoard, ReferenceBoardPassesAndKeepsItsName) {
  PlatformRig rig(sim::DefaultBoardDescription());
  TZlkSpec& spec = rig.Build();
  EXPECT_TRUE(spec.IsMakerBoard);
  EXPECT_TRUE(spec.HasControlEntry);
  EXPECT_EQ(spec.BoardName, "ZV-H61M");
}

}  // namespace
}  // namespace velmora
