// Binding "PowrProf.DLL" by name: whatever the running Windows lacks must only make the
// operations that need it report failure.
#include <gtest/gtest.h>

#include "PowerTestSupport.h"

namespace velmora {
namespace {

using testing::PowerManOnSim;

// Runs every operation once; on a full library nothing may go through a wrong address.
void RunEveryOperation(TPowerMan& power) {
  std::uint32_t index = kLegacySchemeIndex;
  power.IsSleepStateSupported(3);
  power.WriteLegacyScheme(index, kProductSchemeName, kProductSchemeDescription);
  power.ActivateImportedScheme(kProductSchemeName, u"C:\\Velmora\\ZlkVelmora.pow");
  power.SetAcSleepState(kFastSleepState);
  power.ReadPasswordOnResume();
  power.ClearPasswordOnResume();
  power.SuspendSystem(false);
}

TEST(PowerBinding, LoadsPowrProfByNameAndRoutesEveryCallToItsOwnExport) {
  PowerManOnSim sim;
  sim.System().schemeFiles[u"C:\\Velmora\\ZlkVelmora.pow"] = {kProductSchemeName, true};
  RunEveryOperation(sim.Power());
  EXPECT_EQ(sim.library.LibraryRequests(), std::vector<std::string>{"PowrProf.DLL"});
  EXPECT_EQ(sim.library.MisroutedCalls(), 0);
  for (const char* name :
       {"GetPwrCapabilities", "GetCurrentPowerPolicies", "ReadPwrScheme", "WritePwrScheme",
        "PowerEnumerate", "PowerReadFriendlyName", "PowerImportPowerScheme", "PowerSetActiveScheme",
        "CallNtPowerInformation", "PowerGetActiveScheme", "PowerReadACValueIndex",
        "PowerReadDCValueIndex", "PowerWriteACValueIndex", "PowerWriteDCValueIndex",
        "SetSuspendState"}) {
    EXPECT_GT(sim.library.CallCount(name), 0) << name;
  }
}

TEST(PowerBinding, WithoutTheLibraryEveryOperationFailsQuietly) {
  PowerManOnSim sim;
  sim.System().libraryPresent = false;
  TPowerMan& power = sim.Power();
  std::uint32_t index = kLegacySchemeIndex;
  EXPECT_EQ(power.Library, 0u);
  EXPECT_FALSE(power.IsSleepStateSupported(3));
  EXPECT_FALSE(power.WriteLegacyScheme(index, kProductSchemeName, kProductSchemeDescription));
  EXPECT_FALSE(power.ActivateImportedScheme(kProductSchemeName, u"C:\\ZlkVelmora.pow"));
  EXPECT_FALSE(power.SetAcSleepState(kFastSleepState));
  EXPECT_EQ(power.ReadPasswordOnResume(), 0u);
  power.ClearPasswordOnResume();
  power.SuspendSystem(true);
  EXPECT_TRUE(sim.library.Calls().empty());
  EXPECT_TRUE(sim.System().suspendCalls.empty());
  sim.Destroy();
  EXPECT_EQ(sim.library.FreeLibraryCalls(), 0);
}

TEST(PowerBinding, AMissingSuspendExportOnlyStopsTheSuspend) {
  PowerManOnSim sim;
  sim.System().missingExports = {"SetSuspendState"};
  TPowerMan& power = sim.Power();
  power.SuspendSystem(false);
  EXPECT_TRUE(sim.System().suspendCalls.empty());
  EXPECT_TRUE(power.IsSleepStateSupported(3));
  EXPECT_TRUE(power.SetAcSleepState(kFastSleepState));
  EXPECT_EQ(sim.library.MisroutedCalls(), 0);
}

TEST(PowerBinding, MissingFriendlyNameReaderMeansNoSchemeMatchesAndTheFileIsImported) {
  PowerManOnSim sim;
  sim.System().missingExports = {"PowerReadFriendlyName"};
  sim.System().schemes.push_back(
      {sim::ParseGuid("{11111111-2222-3333-4444-555555555555}"), kProductSchemeName, false, u"", {}});
  sim.System().schemeFiles[u"C:\\ZlkVelmora.pow"] = {kProductSchemeName, true};
  EXPECT_TRUE(sim.Power().ActivateImportedScheme(kProductSchemeName, u"C:\\ZlkVelmora.pow"));
  EXPECT_EQ(sim.System().importedFiles.size(), 1u);
  EXPECT_EQ(sim.library.MisroutedCalls(), 0);
}

TEST(PowerBinding, MissingActivationExportFailsAfterTheImportWithoutLeaks) {
  PowerManOnSim sim;
  sim.System().missingExports = {"PowerSetActiveScheme"};
  sim.System().schemeFiles[u"C:\\ZlkVelmora.pow"] = {kProductSchemeName, true};
  EXPECT_FALSE(sim.Power().ActivateImportedScheme(kProductSchemeName, u"C:\\ZlkVelmora.pow"));
  EXPECT_EQ(sim.library.OutstandingAllocations(), 0u);
  EXPECT_EQ(sim.library.MisroutedCalls(), 0);
}

TEST(PowerBinding, MissingPasswordPolicyExportsReadZeroAndChangeNothing) {
  PowerManOnSim sim;
  sim.System().missingExports = {"ReadGlobalPwrPolicy", "PowerWriteDCValueIndex"};
  const sim::SimSchemeSettings applied = sim.System().appliedSettings;
  EXPECT_EQ(sim.Power().ReadPasswordOnResume(), 0u);
  sim.Power().ClearPasswordOnResume();
  EXPECT_EQ(sim.System().globalPolicy.user.GlobalFlags & win::kEnablePasswordLogon,
            win::kEnablePasswordLogon);
  EXPECT_EQ(sim.System().appliedSettings, applied);
  EXPECT_EQ(sim.library.CallCount("PowerWriteACValueIndex"), 0);
  EXPECT_EQ(sim.library.MisroutedCalls(), 0);
}

TEST(PowerBinding, TheShutdownPrivilegeLastsExactlyAsLongAsTheObject) {
  PowerManOnSim sim;
  EXPECT_FALSE(sim.tokens.IsEnabled(win::kSeShutdownName));
  sim.Power();
  EXPECT_TRUE(sim.tokens.IsEnabled(win::kSeShutdownName));
  EXPECT_TRUE(sim.library.Loaded());
  sim.Destroy();
  EXPECT_FALSE(sim.library.Loaded());
  EXPECT_EQ(sim.library.FreeLibraryCalls(), 1);
  EXPECT_FALSE(sim.tokens.IsEnabled(win::kSeShutdownName));
}

}  // namespace
}  // namespace velmora
