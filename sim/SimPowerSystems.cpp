// Ready-made power settings of the releases the program meets.
#include "sim/SimPowerLibrary.h"

namespace velmora::sim {
namespace {

// GlobalFlags bits: battery meter in the tray, password on resume, dim the display.
constexpr std::uint32_t kEnableSysTrayBatteryMeter = 0x01;
constexpr std::uint32_t kEnableVideoDimDisplay = 0x10;

SystemPowerCapabilities DesktopCapabilities() {
  SystemPowerCapabilities caps;
  caps.PowerButtonPresent = 1;
  caps.SleepButtonPresent = 1;
  caps.SystemS1 = 1;
  caps.SystemS3 = 1;
  caps.SystemS4 = 1;
  caps.SystemS5 = 1;
  caps.HiberFilePresent = 1;
  caps.FullWake = 1;
  caps.RtcWake = win::kPowerSystemSleeping3;
  caps.DefaultLowLatencyWake = win::kPowerSystemWorking;
  return caps;
}

// Desktop mains policy: sleep S1..S3 after 30 minutes, display off after 10.
SystemPowerPolicy AcPolicy() {
  SystemPowerPolicy policy;
  policy.Revision = 1;
  policy.PowerButton.Action = 6;  // PowerActionShutdownOff
  policy.SleepButton.Action = 2;  // PowerActionSleep
  policy.Idle.Action = 2;
  policy.IdleTimeout = 1800;
  policy.IdleSensitivity = 50;
  policy.MinSleep = win::kPowerSystemSleeping1;
  policy.MaxSleep = win::kPowerSystemSleeping3;
  policy.ReducedLatencySleep = win::kPowerSystemSleeping1;
  policy.VideoTimeout = 600;
  policy.SpindownTimeout = 1200;
  policy.DischargePolicy[0].Enable = 1;
  policy.DischargePolicy[0].BatteryLevel = 10;
  policy.OverThrottled.Action = 2;
  return policy;
}

// Battery policy: shorter timeouts, hibernate allowed as the deepest sleep.
SystemPowerPolicy DcPolicy() {
  SystemPowerPolicy policy = AcPolicy();
  policy.IdleTimeout = 900;
  policy.MinSleep = win::kPowerSystemSleeping2;
  policy.MaxSleep = win::kPowerSystemHibernate;
  policy.VideoTimeout = 300;
  policy.DozeS4Timeout = 3600;
  return policy;
}

PowerPolicy SchemePolicy(std::uint32_t idleTimeoutAc, std::uint32_t videoTimeoutAc) {
  PowerPolicy policy;
  policy.user.Revision = 1;
  policy.user.IdleAc.Action = 2;
  policy.user.IdleTimeoutAc = idleTimeoutAc;
  policy.user.MaxSleepAc = win::kPowerSystemSleeping3;
  policy.user.MaxSleepDc = win::kPowerSystemSleeping3;
  policy.user.VideoTimeoutAc = videoTimeoutAc;
  policy.mach.Revision = 1;
  policy.mach.MinSleepAc = win::kPowerSystemSleeping1;
  policy.mach.MinSleepDc = win::kPowerSystemSleeping1;
  return policy;
}

GlobalPowerPolicy DesktopGlobalPolicy() {
  GlobalPowerPolicy global;
  global.user.Revision = 1;
  global.user.PowerButtonAc.Action = 6;
  global.user.SleepButtonAc.Action = 2;
  global.user.GlobalFlags =
      kEnableSysTrayBatteryMeter | win::kEnablePasswordLogon | kEnableVideoDimDisplay;
  global.mach.Revision = 1;
  global.mach.LidOpenWakeAc = win::kPowerSystemWorking;
  return global;
}

SimPowerSystem Common() {
  SimPowerSystem system;
  system.capabilities = DesktopCapabilities();
  system.acPolicy = AcPolicy();
  system.dcPolicy = DcPolicy();
  system.globalPolicy = DesktopGlobalPolicy();
  // What a scheme that does not set CONSOLELOCK has: the setting's default, the prompt on.
  system.settingDefaults = {{"0e796bdb-100d-47d6-a2d5-f7d2daa51f51", {1, 1}}};
  return system;
}

}  // namespace

SimPowerSystem Windows7Desktop() {
  SimPowerSystem system = Common();
  // Each shipped scheme asks for the password on resume (CONSOLELOCK 1 on mains and battery).
  const SimSchemeSettings lockOnResume = {{"0e796bdb-100d-47d6-a2d5-f7d2daa51f51", {1, 1}}};
  system.schemes = {
      {ParseGuid("{381b4222-f694-41f0-9685-ff5bb260df2e}"), u"Balanced", false, u"", lockOnResume},
      {ParseGuid("{8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c}"), u"High performance", false, u"",
       lockOnResume},
      {ParseGuid("{a1841308-3541-4fab-bc81-f71556f20b4a}"), u"Power saver", false, u"",
       lockOnResume},
  };
  system.activeScheme = system.schemes[0].guid;
  system.appliedSettings = lockOnResume;
  // Vista and 7 still answer the numbered-scheme calls for old programs.
  system.legacySchemes[0] = {u"Balanced", u"", SchemePolicy(1800, 600)};
  system.currentPolicy = system.legacySchemes[0].policy;
  return system;
}

SimPowerSystem WindowsXpDesktop() {
  SimPowerSystem system = Common();
  system.missingExports = {
      "PowerEnumerate",         "PowerReadFriendlyName",  "PowerDeleteScheme",
      "PowerImportPowerScheme", "PowerSetActiveScheme",   "PowerGetActiveScheme",
      "PowerDuplicateScheme",   "PowerWriteFriendlyName", "PowerWriteDescription",
      "PowerCreateSetting",     "PowerWriteACValueIndex", "PowerWriteDCValueIndex",
      "PowerReadACValueIndex",  "PowerReadDCValueIndex"};
  system.legacySchemes[0] = {u"Home/Office Desk", u"", SchemePolicy(0, 1200)};
  system.legacySchemes[1] = {u"Portable/Laptop", u"", SchemePolicy(1800, 900)};
  system.legacySchemes[2] = {u"Presentation", u"", SchemePolicy(0, 0)};
  system.legacySchemes[3] = {u"Always On", u"", SchemePolicy(0, 1200)};
  system.legacySchemes[4] = {u"Minimal Power Management", u"", SchemePolicy(0, 900)};
  system.legacySchemes[5] = {u"Max Battery", u"", SchemePolicy(1200, 900)};
  system.activeLegacyScheme = 0;
  system.currentPolicy = system.legacySchemes[0].policy;
  return system;
}

}  // namespace velmora::sim
