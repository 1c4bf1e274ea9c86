// The power scheme manager against Wine's real PowrProf.DLL. Wine reports fixed capabilities
// (S1, S4 with a hibernation file, S5, no S3), refuses the policy calls, and does not export
// PowerImportPowerScheme or PowerDeleteScheme at all: the binding by name has to cope.
#include <gtest/gtest.h>
#include <powrprof.h>
#include <windows.h>

#include <cstring>

#include "win32/Win32PowerLibrary.h"
#include "win32/Win32Token.h"
#include "power/PowerMan.h"

namespace velmora::win32 {
namespace {

class WinePowrProf : public ::testing::Test {
 protected:
  Win32Token tokens;
  Win32PowerLibrary library;
  TPowerMan power{tokens, library};
};

TEST_F(WinePowrProf, LoadsTheLibraryAndLeavesTheMissingExportsEmpty) {
  ASSERT_NE(power.Library, 0u);
  EXPECT_TRUE(power.HasSlot(PowerSlot::GetPwrCapabilities));
  EXPECT_TRUE(power.HasSlot(PowerSlot::CallNtPowerInformation));
  EXPECT_TRUE(power.HasSlot(PowerSlot::PowerEnumerate));
  EXPECT_TRUE(power.HasSlot(PowerSlot::SetSuspendState));
  EXPECT_FALSE(power.HasSlot(PowerSlot::PowerImportPowerScheme));
  EXPECT_FALSE(power.HasSlot(PowerSlot::PowerDeleteScheme));
  EXPECT_FALSE(power.HasSlot(PowerSlot::PowerDuplicateScheme));
  EXPECT_FALSE(power.HasSlot(PowerSlot::PowerWriteFriendlyName));
  // Every bound slot is the address Windows gives for that very name.
  const HMODULE module = GetModuleHandleA("powrprof.dll");
  ASSERT_NE(module, nullptr);
  for (int i = 0; i < kPowerSlotCount; ++i) {
    EXPECT_EQ(power.Slots[i],
              reinterpret_cast<ProcAddress>(GetProcAddress(module, kPowerLibraryExports[i])))
        << kPowerLibraryExports[i];
  }
}

TEST_F(WinePowrProf, HasNoS3ButHibernationWithItsFile) {
  EXPECT_TRUE(power.IsSleepStateSupported(1));
  EXPECT_FALSE(power.IsSleepStateSupported(3));
  EXPECT_TRUE(power.IsSleepStateSupported(4));
  EXPECT_TRUE(power.IsSleepStateSupported(5));
  EXPECT_FALSE(power.IsSleepStateSupported(0));
  EXPECT_FALSE(power.IsSleepStateSupported(6));
  EXPECT_EQ(power.Capabilities.HiberFilePresent, 1);
}

TEST_F(WinePowrProf, CapabilitiesMatchTheSdkRecordByteForByte) {
  using GetPwrCapabilitiesFn = BOOLEAN(WINAPI*)(SYSTEM_POWER_CAPABILITIES*);
  const auto query = reinterpret_cast<GetPwrCapabilitiesFn>(reinterpret_cast<std::uintptr_t>(
      GetProcAddress(GetModuleHandleA("powrprof.dll"), "GetPwrCapabilities")));
  ASSERT_NE(query, nullptr);
  SYSTEM_POWER_CAPABILITIES native{};
  ASSERT_TRUE(query(&native));
  SystemPowerCapabilities mirror;
  ASSERT_EQ(library.GetPwrCapabilities(power.Slots[static_cast<int>(PowerSlot::GetPwrCapabilities)],
                                       &mirror),
            1);
  EXPECT_EQ(std::memcmp(&native, &mirror, sizeof(native)), 0);
  EXPECT_EQ(mirror.SystemS4, native.SystemS4);
  EXPECT_EQ(mirror.HiberFilePresent, native.HiberFilePresent);
}

TEST_F(WinePowrProf, ThePolicyCallsFailAndReportFailure) {
  EXPECT_FALSE(power.SetAcSleepState(kFastSleepState));
  SystemPowerPolicy policy;
  EXPECT_EQ(library.CallNtPowerInformation(
                power.Slots[static_cast<int>(PowerSlot::CallNtPowerInformation)],
                win::kSystemPowerPolicyAc, nullptr, 0, &policy, sizeof(policy)),
            win::kStatusNotImplemented);
  std::uint32_t index = kLegacySchemeIndex;
  EXPECT_FALSE(power.WriteLegacyScheme(index, kProductSchemeName, kProductSchemeDescription));
  EXPECT_EQ(power.ReadPasswordOnResume(), 0u);
  power.ClearPasswordOnResume();
}

TEST_F(WinePowrProf, ImportingFailsCleanlyWithoutTheImportExport) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::u16string path = PowerSchemeFilePath(folder);
  EXPECT_FALSE(power.ActivateImportedScheme(kProductSchemeName, path));
  EXPECT_EQ(power.SchemeGuid, Guid{});
}

TEST_F(WinePowrProf, SuspendReturnsAtOnce) {
  // Wine's SetSuspendState answers TRUE without suspending anything.
  power.SuspendSystem(false);
  EXPECT_EQ(library.SetSuspendState(power.Slots[static_cast<int>(PowerSlot::SetSuspendState)],
                                    false, false, true),
            1);
}

TEST(WinePowerLibrary, AMissingLibraryBindsNothing) {
  Win32PowerLibrary library;
  EXPECT_EQ(library.LoadLibraryA("NoSuchPowerLibrary.dll"), 0u);
  EXPECT_EQ(library.GetProcAddress(0, "GetPwrCapabilities"), 0u);
  library.LocalFree(0);
}

}  // namespace
}  // namespace velmora::win32
