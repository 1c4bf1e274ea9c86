// Sleep-state capabilities, the mains sleep state, the password-on-resume flag and the suspend
// call, on a simulated desktop.
#include <gtest/gtest.h>

#include <cstring>

#include "PowerTestSupport.h"

namespace velmora {
namespace {

const std::string kConsoleLock = "0e796bdb-100d-47d6-a2d5-f7d2daa51f51";

using testing::PowerManOnSim;

bool SamePolicy(const SystemPowerPolicy& a, const SystemPowerPolicy& b) {
  return std::memcmp(&a, &b, sizeof(SystemPowerPolicy)) == 0;
}

TEST(PowerSleepStates, EachStateAsksItsOwnCapability) {
  for (int state = 1; state <= 5; ++state) {
    PowerManOnSim sim;
    SystemPowerCapabilities caps;
    caps.HiberFilePresent = 1;
    std::uint8_t* flags[] = {&caps.SystemS1, &caps.SystemS2, &caps.SystemS3, &caps.SystemS4,
                             &caps.SystemS5};
    *flags[state - 1] = 1;
    sim.System().capabilities = caps;
    for (int asked = 0; asked <= 6; ++asked) {
      EXPECT_EQ(sim.Power().IsSleepStateSupported(asked), asked == state)
          << "S" << state << " only, asked " << asked;
    }
  }
}

TEST(PowerSleepStates, HibernationNeedsBothS4AndTheHibernationFile) {
  PowerManOnSim sim;
  sim.System().capabilities.HiberFilePresent = 0;
  EXPECT_FALSE(sim.Power().IsSleepStateSupported(4));
  sim.System().capabilities.HiberFilePresent = 1;
  sim.System().capabilities.SystemS4 = 0;
  EXPECT_FALSE(sim.Power().IsSleepStateSupported(4));
  sim.System().capabilities.SystemS4 = 1;
  EXPECT_TRUE(sim.Power().IsSleepStateSupported(4));
  EXPECT_EQ(sim.Power().Capabilities.HiberFilePresent, 1);
}

TEST(PowerSleepStates, OutOfRangeStatesAndAFailedQueryAreUnsupported) {
  PowerManOnSim sim;
  EXPECT_FALSE(sim.Power().IsSleepStateSupported(0));
  EXPECT_FALSE(sim.Power().IsSleepStateSupported(6));
  EXPECT_FALSE(sim.Power().IsSleepStateSupported(-1));
  sim.library.Fail("GetPwrCapabilities", 0);
  EXPECT_FALSE(sim.Power().IsSleepStateSupported(3));
}

TEST(PowerAcSleepState, ForcesS3OnMainsAndLeavesEverythingElseAlone) {
  PowerManOnSim sim;
  // S1 up to hibernation allowed before: both ends must move.
  sim.System().acPolicy.MinSleep = win::kPowerSystemSleeping1;
  sim.System().acPolicy.MaxSleep = win::kPowerSystemHibernate;
  SystemPowerPolicy expectedAc = sim.System().acPolicy;
  const SystemPowerPolicy dcBefore = sim.System().dcPolicy;
  expectedAc.MinSleep = win::kPowerSystemSleeping3;
  expectedAc.MaxSleep = win::kPowerSystemSleeping3;
  EXPECT_TRUE(sim.Power().SetAcSleepState(kFastSleepState));
  EXPECT_TRUE(SamePolicy(sim.System().acPolicy, expectedAc));
  EXPECT_TRUE(SamePolicy(sim.System().dcPolicy, dcBefore));
  EXPECT_EQ(sim.library.CallCount("CallNtPowerInformation"), 2);
}

TEST(PowerAcSleepState, AFailedReadWritesNothing) {
  PowerManOnSim sim;
  const SystemPowerPolicy before = sim.System().acPolicy;
  sim.library.FailCall("CallNtPowerInformation", 1, win::kStatusAccessDenied);
  EXPECT_FALSE(sim.Power().SetAcSleepState(kFastSleepState));
  EXPECT_EQ(sim.library.CallCount("CallNtPowerInformation"), 1);
  EXPECT_TRUE(SamePolicy(sim.System().acPolicy, before));
}

TEST(PowerAcSleepState, AFailedWriteIsAFailure) {
  PowerManOnSim sim;
  sim.library.FailCall("CallNtPowerInformation", 2, win::kStatusAccessDenied);
  EXPECT_FALSE(sim.Power().SetAcSleepState(kFastSleepState));
  sim.library.Fail("CallNtPowerInformation", win::kStatusNotImplemented);
  EXPECT_FALSE(sim.Power().SetAcSleepState(kFastSleepState));
}

// XP: the global flag as it is (0x04), the other bits ignored. Windows 7: the active scheme's
// CONSOLELOCK on mains (0x04) and battery (0x08).
TEST(PowerPassword, ReadGivesWhereThePromptIsOn) {
  PowerManOnSim xp(sim::WindowsXpDesktop());
  xp.System().globalPolicy.user.GlobalFlags = 0x15;
  EXPECT_EQ(xp.Power().ReadPasswordOnResume(), 4u);
  xp.System().globalPolicy.user.GlobalFlags = ~win::kEnablePasswordLogon;
  EXPECT_EQ(xp.Power().ReadPasswordOnResume(), 0u);
  xp.System().globalPolicy.user.GlobalFlags = 0x15;
  xp.library.Fail("ReadGlobalPwrPolicy", 0);
  EXPECT_EQ(xp.Power().ReadPasswordOnResume(), 0u);
  PowerManOnSim seven;
  EXPECT_EQ(seven.Power().ReadPasswordOnResume(), kPasswordOnResumeAc | kPasswordOnResumeDc);
  seven.System().schemes[0].settings.at(kConsoleLock) = {0, 1};
  EXPECT_EQ(seven.Power().ReadPasswordOnResume(), kPasswordOnResumeDc);
}

// The prompt comes back only where it was on before and is still off: a change the user made
// since stands.
TEST(PowerPassword, RestoreTurnsBackOnOnlyWhatIsStillOff) {
  struct Case {
    std::uint32_t saved;
    sim::SimSettingIndex now, after;
  } cases[] = {{12, {0, 0}, {1, 1}}, {12, {0, 1}, {1, 1}}, {4, {0, 0}, {1, 0}},
               {12, {1, 0}, {1, 1}}, {0, {0, 0}, {0, 0}}};
  for (const Case& c : cases) {
    PowerManOnSim seven;
    seven.System().schemes[0].settings.at(kConsoleLock) = c.now;
    seven.Power().RestorePasswordOnResume(c.saved);
    EXPECT_EQ(seven.System().schemes[0].settings.at(kConsoleLock), c.after) << c.saved;
  }
  for (const std::uint32_t flags : {0x11u, 0x15u}) {
    PowerManOnSim xp(sim::WindowsXpDesktop());
    xp.System().globalPolicy.user.GlobalFlags = flags;
    xp.Power().RestorePasswordOnResume(4);
    EXPECT_EQ(xp.System().globalPolicy.user.GlobalFlags, 0x15u);
  }
}

// Only the prompt changes. XP: the global policy alone (activating scheme 0 with the current
// policy would move the user to scheme 0 and undo the forced S3). Windows 7: the active
// scheme's CONSOLELOCK, which the global flag does not govern there.
TEST(PowerPassword, ClearChangesOnlyThePromptWhereTheReleaseKeepsIt) {
  const std::string consoleLock = kConsoleLock;
  for (const bool xp : {true, false}) {
    SCOPED_TRACE(xp ? "XP" : "7");
    PowerManOnSim sim(xp ? sim::WindowsXpDesktop() : sim::Windows7Desktop());
    sim.System().globalPolicy.user.GlobalFlags = 0x15;
    sim.System().activeLegacyScheme = 18;
    sim.System().currentPolicy.user.IdleTimeoutAc = 1234;
    const PowerPolicy current = sim.System().currentPolicy;
    const std::optional<Guid> active = sim.System().activeScheme;
    sim.Power().ClearPasswordOnResume();

    EXPECT_TRUE(sim.System().setActivePwrSchemeCalls.empty());
    EXPECT_EQ(sim.System().activeLegacyScheme, 18u);
    EXPECT_EQ(std::memcmp(&sim.System().currentPolicy, &current, sizeof(PowerPolicy)), 0);
    EXPECT_EQ(sim.System().activeScheme, active);
    EXPECT_EQ(sim.library.OutstandingAllocations(), 0u);
    if (xp) {
      EXPECT_EQ(sim.System().globalPolicy.user.GlobalFlags, 0x11u);
      EXPECT_EQ(sim.library.CallCount("WriteGlobalPwrPolicy"), 1);
    } else {
      EXPECT_EQ(sim.System().appliedSettings.at(consoleLock), (sim::SimSettingIndex{0, 0}));
      EXPECT_EQ(sim.System().schemes[1].settings.at(consoleLock), (sim::SimSettingIndex{1, 1}))
          << "another scheme changed";
      EXPECT_EQ(sim.library.CallCount("WriteGlobalPwrPolicy"), 0);
    }
  }
}

TEST(PowerPassword, ClearDoesNothingWhenThePoliciesCannotBeRead) {
  PowerManOnSim xp(sim::WindowsXpDesktop());
  xp.library.Fail("ReadGlobalPwrPolicy", 0);
  xp.Power().ClearPasswordOnResume();
  EXPECT_EQ(xp.library.CallCount("WriteGlobalPwrPolicy"), 0);
  PowerManOnSim seven;
  seven.library.Fail("PowerGetActiveScheme", 2);
  seven.Power().ClearPasswordOnResume();
  EXPECT_EQ(seven.library.CallCount("PowerWriteACValueIndex"), 0);
  EXPECT_EQ(seven.library.CallCount("PowerSetActiveScheme"), 0);
}

TEST(PowerSuspend, SleepAndHibernateAreNotForcedAndDisableWakeEvents) {
  PowerManOnSim sim;
  sim.Power().SuspendSystem(false);
  sim.Power().SuspendSystem(true);
  ASSERT_EQ(sim.System().suspendCalls.size(), 2u);
  const sim::SimSuspendCall& sleep = sim.System().suspendCalls[0];
  const sim::SimSuspendCall& hibernate = sim.System().suspendCalls[1];
  EXPECT_FALSE(sleep.hibernate);
  EXPECT_TRUE(hibernate.hibernate);
  for (const sim::SimSuspendCall& call : sim.System().suspendCalls) {
    EXPECT_FALSE(call.forceCritical);
    EXPECT_TRUE(call.disableWakeEvent);
  }
}

TEST(PowerLegacyScheme, StoresACopyOfSchemeZeroUnderIndex18WithoutActivatingIt) {
  PowerManOnSim sim(sim::WindowsXpDesktop());
  sim.System().activeLegacyScheme = 3;
  sim.System().currentPolicy = sim.System().legacySchemes[3].policy;
  std::uint32_t index = kLegacySchemeIndex;
  EXPECT_TRUE(sim.Power().WriteLegacyScheme(index, kProductSchemeName, kProductSchemeDescription));
  ASSERT_EQ(sim.System().legacySchemes.count(18), 1u);
  const sim::SimLegacyScheme& written = sim.System().legacySchemes[18];
  EXPECT_EQ(written.name, u"Zelkor Velmora");
  EXPECT_EQ(written.description, u"Zelkor Velmora Power Management");
  EXPECT_EQ(
      std::memcmp(&written.policy, &sim.System().legacySchemes[0].policy, sizeof(PowerPolicy)), 0);
  EXPECT_EQ(sim.System().activeLegacyScheme, 3u);
  EXPECT_EQ(sim.library.Calls(), (std::vector<std::string>{"GetCurrentPowerPolicies",
                                                           "ReadPwrScheme", "WritePwrScheme"}));
}

TEST(PowerLegacyScheme, ReplacesAnEarlierScheme18) {
  PowerManOnSim sim(sim::WindowsXpDesktop());
  sim.System().legacySchemes[18] = {u"Old", u"old", sim.System().legacySchemes[2].policy};
  std::uint32_t index = kLegacySchemeIndex;
  EXPECT_TRUE(sim.Power().WriteLegacyScheme(index, kProductSchemeName, kProductSchemeDescription));
  EXPECT_EQ(sim.System().legacySchemes[18].name, u"Zelkor Velmora");
  EXPECT_EQ(sim.System().legacySchemes.size(), 7u);
}

TEST(PowerLegacyScheme, ReadPwrSchemeMustAnswerExactlyOne) {
  PowerManOnSim sim(sim::WindowsXpDesktop());
  sim.library.Fail("ReadPwrScheme", 2);
  std::uint32_t index = kLegacySchemeIndex;
  EXPECT_FALSE(sim.Power().WriteLegacyScheme(index, kProductSchemeName, kProductSchemeDescription));
  EXPECT_EQ(sim.library.CallCount("WritePwrScheme"), 0);
  EXPECT_EQ(sim.System().legacySchemes.count(18), 0u);
}

TEST(PowerLegacyScheme, EachFailingStepStopsTheWrite) {
  for (const char* failing : {"GetCurrentPowerPolicies", "ReadPwrScheme", "WritePwrScheme"}) {
    PowerManOnSim sim(sim::WindowsXpDesktop());
    sim.library.Fail(failing, 0);
    std::uint32_t index = kLegacySchemeIndex;
    EXPECT_FALSE(
        sim.Power().WriteLegacyScheme(index, kProductSchemeName, kProductSchemeDescription))
        << failing;
    EXPECT_EQ(sim.System().legacySchemes.count(18), 0u) << failing;
  }
}

TEST(PowerLegacyScheme, XpHasNoGuidSchemesSoTheImportFailsWithoutAnyCall) {
  PowerManOnSim sim(sim::WindowsXpDesktop());
  EXPECT_FALSE(sim.Power().ActivateImportedScheme(kProductSchemeName, u"C:\\ZlkVelmora.pow"));
  EXPECT_TRUE(sim.library.Calls().empty());
  EXPECT_TRUE(sim.Power().SetAcSleepState(kFastSleepState));
  EXPECT_EQ(sim.System().acPolicy.MinSleep, 4u);
}

}  // namespace
}  // namespace velmora
