// The mode buttons, Apply, Disable and Close on the simulated machine: what each flow leaves in
// the registry, the task scheduler, the power settings, the control byte and the settings file,
// and the message box of every failed preparation.
#include <gtest/gtest.h>

#include "MainFormLifeSupport.h"
#include "power/LogonTask.h"

namespace velmora {
namespace {

using namespace mainformtest;

constexpr char kPowerSettings1[] = "System\\ControlSet001\\Control\\Session Manager\\Power";

void ExpectBox(const MainFormRig& rig, const std::string& text, std::uint32_t style) {
  ASSERT_EQ(rig.Boxes().size(), 1u);
  const sim::SimMessageBox& box = rig.Boxes().back();
  EXPECT_EQ(box.owner, 0u);
  EXPECT_EQ(box.caption, "Zelkor Velmora");
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.type, style);
}

bool WindowsHidden(const MainFormRig& rig) {
  return !rig.view.mainVisible && !rig.view.applicationVisible &&
         rig.tray.Shows(kTrayWindow, kTrayIconId);
}

// Nothing of the feature is on: no autostart, no enable bit, the window still there.
void ExpectNothingApplied(MainFormRig& rig, std::uint8_t controlByte) {
  EXPECT_FALSE(rig.form->Applied);
  EXPECT_FALSE(HasLogonTask(rig));
  EXPECT_FALSE(rig.AutoRun().has_value());
  EXPECT_EQ(rig.ControlByte(), controlByte);
  EXPECT_FALSE(rig.tray.Shows(kTrayWindow, kTrayIconId));
  EXPECT_EQ(rig.view.closes, 0);
}

TEST(MainFormModeButtons, FastRegularAndDisableShowTheChoiceAndOfferApply) {
  MainFormRig rig;
  TvmMainForm& form = rig.Start();
  TImageEn& fast = rig.view.Button(MainButton::kFast);
  TImageEn& regular = rig.view.Button(MainButton::kRegular);
  TImageEn& disable = rig.view.Button(MainButton::kDisable);
  EXPECT_TRUE(rig.view.nonApplyVisible);

  form.DisableImageEnClick();
  EXPECT_EQ(form.Mode(), 0);
  EXPECT_EQ(disable.Status(), ImageEnActive);
  EXPECT_EQ(fast.Status(), ImageEnNormal);
  EXPECT_FALSE(rig.view.nonApplyVisible);
  EXPECT_TRUE(rig.view.PanelVisible(MainButton::kApply));

  form.FastImageEnClick();
  EXPECT_EQ(form.Mode(), 3);
  EXPECT_EQ(disable.Status(), ImageEnNormal);
  EXPECT_EQ(fast.Status(), ImageEnActive);
  EXPECT_EQ(regular.Status(), ImageEnNormal);

  form.RegularImageEnClick();
  EXPECT_EQ(form.Mode(), 4);
  EXPECT_EQ(fast.Status(), ImageEnNormal);
  EXPECT_EQ(regular.Status(), ImageEnActive);
}

TEST(MainFormModeButtons, AModeOtherThanFastOrRegularChangesNothing) {
  MainFormRig rig;
  TvmMainForm& form = rig.Start();
  form.SetMode(7);
  form.ShowModeButtons();
  EXPECT_TRUE(rig.view.nonApplyVisible);
  EXPECT_FALSE(rig.view.PanelVisible(MainButton::kApply));
  EXPECT_EQ(rig.view.Button(MainButton::kFast).Status(), ImageEnNormal);
  EXPECT_EQ(rig.view.Button(MainButton::kRegular).Status(), ImageEnNormal);
}

TEST(MainFormApply, FastOnWindows7ActivatesTheSchemeForcesS3AndRegistersTheTask) {
  MainFormRig rig;
  InstallSchemeFile(rig);
  rig.board.SetControlByte(0x20);
  TvmMainForm& form = rig.Start();
  form.FastImageEnClick();
  form.ApplyImageEnClick();

  const sim::SimPowerSystem& power = rig.power.System();
  ASSERT_EQ(power.importedFiles.size(), 1u);
  EXPECT_EQ(power.importedFiles[0], SchemeFilePath());
  ASSERT_TRUE(power.activeScheme.has_value());
  EXPECT_EQ(power.schemes.back().friendlyName, u"Zelkor Velmora");
  EXPECT_EQ(*power.activeScheme, power.schemes.back().guid);
  EXPECT_EQ(power.acPolicy.MinSleep, 4u);
  EXPECT_EQ(power.acPolicy.MaxSleep, 4u);
  EXPECT_EQ(rig.power.CallCount("WritePwrScheme"), 0);

  ASSERT_TRUE(HasLogonTask(rig));
  EXPECT_EQ(rig.tasks.Task(kAutoStartName)->definition.actions.at(0).path,
            "C:\\Program Files\\Zelkor\\Velmora\\Velmora.exe");
  EXPECT_FALSE(RunValue(rig).has_value());
  EXPECT_EQ(rig.AutoRun(), 1u);
  EXPECT_EQ(rig.ControlByte(), 0x28);  // enabled; no Fast bit with S3
  EXPECT_TRUE(form.Applied);
  EXPECT_TRUE(WindowsHidden(rig));
  EXPECT_TRUE(rig.Boxes().empty());
  // The mode reaches the settings file only at the end.
  EXPECT_EQ(SavedMode(rig), "");
  rig.view.Close();
  EXPECT_EQ(SavedMode(rig), "3");
}

TEST(MainFormApply, FastWithoutS3ChangesNoPowerSettingAndSetsTheFastBit) {
  RigSetup setup;
  setup.power.capabilities.SystemS3 = 0;
  MainFormRig rig(setup);
  TvmMainForm& form = rig.Start();
  const sim::SimPowerSystem before = rig.power.System();
  form.FastImageEnClick();
  form.ApplyImageEnClick();

  EXPECT_EQ(rig.power.CallCount("PowerImportPowerScheme"), 0);
  EXPECT_EQ(rig.power.CallCount("CallNtPowerInformation"), 0);
  EXPECT_EQ(rig.power.System().activeScheme, before.activeScheme);
  EXPECT_EQ(rig.power.System().acPolicy.MinSleep, before.acPolicy.MinSleep);
  EXPECT_EQ(rig.ControlByte(), 0x0C);
  EXPECT_TRUE(HasLogonTask(rig));
  EXPECT_TRUE(WindowsHidden(rig));
}

TEST(MainFormApply, FastOnWindowsXpWritesScheme18AndTheRunValue) {
  MainFormRig rig(XpSetup());
  TvmMainForm& form = rig.Start();
  form.FastImageEnClick();
  form.ApplyImageEnClick();

  const auto scheme = rig.power.System().legacySchemes.find(18);
  ASSERT_NE(scheme, rig.power.System().legacySchemes.end());
  EXPECT_EQ(scheme->second.name, u"Zelkor Velmora");
  EXPECT_EQ(scheme->second.description, u"Zelkor Velmora Power Management");
  EXPECT_EQ(rig.power.System().acPolicy.MaxSleep, 4u);
  EXPECT_EQ(rig.power.CallCount("PowerImportPowerScheme"), 0);
  EXPECT_EQ(RunValue(rig), "\"C:\\Program Files\\Zelkor\\Velmora\\Velmora.exe\"");
  EXPECT_FALSE(HasLogonTask(rig));
  EXPECT_EQ(rig.AutoRun(), 1u);
  EXPECT_EQ(rig.ControlByte(), 0x08);
}

// 64-bit Windows takes its family's route: XP x64 (type 3) writes scheme 18 and imports
// nothing; 7 x64 (type 6) imports the scheme file and writes no numbered scheme.
TEST(MainFormApply, FastOn64BitWindowsTakesItsFamilysSchemeRoute) {
  const struct {
    const char* name;
    sim::SimWindowsRelease release;
    sim::SimPowerSystem power;
    TOsType type;
  } cases[] = {
      {"XP x64", sim::WindowsXpX64(), sim::WindowsXpDesktop(), otNt5X64},
      {"7 x64", sim::Windows7X64(), sim::Windows7Desktop(), otNt6X64},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RigSetup setup;
    setup.release = c.release;
    setup.power = c.power;
    MainFormRig rig(setup);
    const bool nt6 = c.type == otNt6X64;
    if (nt6) InstallSchemeFile(rig);
    TvmMainForm& form = rig.Start();
    ASSERT_EQ(form.Objects().InitFile->OsVersion->OsType, c.type);
    form.FastImageEnClick();
    form.ApplyImageEnClick();
    EXPECT_TRUE(rig.Boxes().empty());
    EXPECT_EQ(rig.power.CallCount("PowerImportPowerScheme"), nt6 ? 1 : 0);
    EXPECT_EQ(rig.power.CallCount("WritePwrScheme"), nt6 ? 0 : 1);
    EXPECT_EQ(rig.power.System().legacySchemes.count(18), nt6 ? 0u : 1u);
    EXPECT_EQ(rig.power.System().acPolicy.MaxSleep, 4u);
    EXPECT_EQ(HasLogonTask(rig), nt6);
    EXPECT_EQ(RunValue(rig).has_value(), !nt6);
    EXPECT_EQ(rig.AutoRun(), 1u);
    EXPECT_EQ(rig.ControlByte(), 0x08);
    EXPECT_TRUE(WindowsHidden(rig));
  }
}

// The feature is on (started by autostart) and a new Fast preparation fails: everything stays
// as it was, and the window stays on screen with its error.
TEST(MainFormApply, AFailedFastPreparationLeavesAnAllOnStateAlone) {
  for (const bool xp : {false, true}) {
    SCOPED_TRACE(xp ? "XP" : "7");
    MainFormRig rig(xp ? XpSetup() : RigSetup());  // 7: no scheme file to import
    if (xp) rig.power.Fail("WritePwrScheme", 0);
    rig.registry.SetDword(reg::kHkeyCurrentUser, kVelmoraUserKey, kAutoRunValue, 1);
    if (!xp) ASSERT_TRUE(RegisterLogonTask(rig.tasks, kAutoStartName, "C:\\x\\Velmora.exe"));
    if (xp) rig.registry.SetString(reg::kHkeyCurrentUser, kRunKey, kAutoStartName, "x");
    rig.board.SetControlByte(0x0C);
    TvmMainForm& form = rig.Start();
    rig.view.ShowWindow(kMainWindow, win::kSwShowNormal);
    form.FastImageEnClick();
    form.ApplyImageEnClick();
    ASSERT_EQ(rig.Boxes().size(), 1u);
    EXPECT_EQ(HasLogonTask(rig), !xp);
    EXPECT_EQ(RunValue(rig).has_value(), xp);
    EXPECT_EQ(rig.AutoRun(), 1u);
    EXPECT_EQ(rig.ControlByte().value_or(0) & 0x08, 0x08);
    EXPECT_TRUE(rig.view.mainVisible);
    EXPECT_FALSE(rig.tray.Shows(kTrayWindow, kTrayIconId));
    EXPECT_EQ(rig.view.closes, 0);
  }
}

TEST(MainFormApply, EachFailedFastPreparationShowsItsErrorAndAppliesNothing) {
  {
    MainFormRig rig;  // no scheme file beside the program
    rig.Start().FastImageEnClick();
    rig.form->ApplyImageEnClick();
    ExpectBox(rig, "Cannot setup power scheme!", 0x1010);
    ExpectNothingApplied(rig, 0x00);
  }
  {
    MainFormRig rig(XpSetup());
    rig.power.Fail("WritePwrScheme", 0);
    rig.Start().FastImageEnClick();
    rig.form->ApplyImageEnClick();
    ExpectBox(rig, "Cannot create power scheme!", 0x1010);
    ExpectNothingApplied(rig, 0x00);
    EXPECT_FALSE(RunValue(rig).has_value());
  }
  {
    MainFormRig rig;
    InstallSchemeFile(rig);
    rig.power.FailCall("CallNtPowerInformation", 2, 0xC0000022);  // the write-back
    rig.Start().FastImageEnClick();
    rig.form->ApplyImageEnClick();
    ExpectBox(rig, "Cannot enable velmora function!", 0x1010);
    ExpectNothingApplied(rig, 0x00);
    // Nothing is rolled back: the scheme stays active.
    EXPECT_EQ(rig.power.System().activeScheme, rig.power.System().schemes.back().guid);
  }
}

// Hibernation off: XP reads the "Heuristics" byte at its next boot; Vista and later ignore that
// byte and switch hibernation on when hiberfil.sys is reserved through the power manager, which
// takes the page-file privilege.
TEST(MainFormApply, RegularSwitchesHibernationOnTheWayTheReleaseReadsIt) {
  const struct {
    bool xp;
    bool hibernationFile;
    int heuristicsByte;  // byte 6 afterwards
    int reserveCalls;
  } cases[] = {
      {false, false, 0, 1},
      {false, true, 0, 0},
      {true, false, 1, 0},
      {true, true, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.xp ? "XP" : "7") + (c.hibernationFile ? ", file" : ", no file"));
    RigSetup setup = c.xp ? XpSetup() : RigSetup();
    setup.power.capabilities.HiberFilePresent = c.hibernationFile ? 1 : 0;
    MainFormRig rig(setup);
    rig.registry.SetValue(reg::kHkeyLocalMachine, kPowerSettings1, "Heuristics",
                          {reg::kRegBinary, std::vector<std::uint8_t>(8, 0)});
    bool privilegeDuringCall = false;
    rig.power.privilegeEnabled = [&](const std::string& name) {
      privilegeDuringCall = rig.tokens.IsEnabled(name);
      return privilegeDuringCall;
    };
    rig.board.SetControlByte(0x04);
    TvmMainForm& form = rig.Start();
    form.RegularImageEnClick();
    form.ApplyImageEnClick();

    const auto heuristics =
        rig.registry.Value(reg::kHkeyLocalMachine, kPowerSettings1, "Heuristics");
    ASSERT_TRUE(heuristics.has_value());
    EXPECT_EQ(heuristics->data.at(6), c.heuristicsByte);
    EXPECT_EQ(rig.power.CallCount("CallNtPowerInformation"), c.reserveCalls);
    if (c.reserveCalls != 0) {
      EXPECT_TRUE(privilegeDuringCall) << "SeCreatePagefilePrivilege was not enabled";
      EXPECT_FALSE(rig.tokens.IsEnabled("SeCreatePagefilePrivilege")) << "left enabled";
      EXPECT_EQ(rig.power.System().capabilities.HiberFilePresent, 1) << "hibernation still off";
    }
    EXPECT_EQ(rig.power.CallCount("PowerImportPowerScheme"), 0);
    EXPECT_EQ(rig.AutoRun(), 1u);
    EXPECT_EQ(rig.ControlByte(), 0x0C);  // enable set, the Fast bit left as it was
    EXPECT_TRUE(WindowsHidden(rig));
  }
}

// A hibernation file of the reduced kind (Windows 10) serves only the fast startup: Apply tells
// how to make it full. A file the power manager will not make fails Apply.
TEST(MainFormApply, RegularTellsOfAReducedFileAndFailsWithoutOne) {
  const struct {
    std::uint8_t s4;
    const char* text;
    std::uint32_t style;
  } cases[] = {
      {1, "The hibernation file of this PC serves only the fast startup. To hibernate, run "
          "\"powercfg /h /type full\" as an administrator.", 0x1040},
      {0, "Cannot enable velmora function!", 0x1010},
  };
  for (const auto& c : cases) {
    RigSetup setup;
    setup.power.capabilities.SystemS4 = c.s4;
    setup.power.capabilities.HiberFilePresent = 0;
    setup.power.hiberFileType = win::kHiberFileTypeReduced;
    MainFormRig rig(setup);
    rig.power.privilegeEnabled = [](const std::string&) { return true; };
    TvmMainForm& form = rig.Start();
    form.RegularImageEnClick();
    form.ApplyImageEnClick();
    ExpectBox(rig, c.text, c.style);
    if (c.s4) {
      EXPECT_TRUE(form.Applied);
      EXPECT_EQ(rig.ControlByte(), 0x08);
    } else {
      ExpectNothingApplied(rig, 0x00);
    }
  }
}

// Without the logon task (or the Run value) the feature cannot work: Apply says so and leaves the
// control byte as it was, the Fast bit of a machine without S3 included.
TEST(MainFormApply, AnAutostartThatCannotBeRegisteredFailsApply) {
  for (const bool xp : {false, true}) {
    RigSetup setup = xp ? XpSetup() : RigSetup();
    setup.power.capabilities.SystemS3 = 0;
    MainFormRig rig(setup);
    rig.tasks.FailCall("ITaskFolder::RegisterTaskDefinition", com::kEAccessDenied);
    rig.registry.FailCalls("RegSetValueExW", reg::kErrorAccessDenied);
    TvmMainForm& form = rig.Start();
    form.FastImageEnClick();
    form.ApplyImageEnClick();
    ExpectBox(rig, "Cannot enable velmora function!", 0x1010);
    ExpectNothingApplied(rig, 0x00);
    EXPECT_FALSE(RunValue(rig).has_value());
  }
}

TEST(MainFormApply, OnlyTheLastChosenModeIsPreparedAndModeZeroPreparesNothing) {
  {
    MainFormRig rig;
    TvmMainForm& form = rig.Start();
    form.FastImageEnClick();
    form.RegularImageEnClick();
    form.ApplyImageEnClick();
    EXPECT_EQ(rig.power.CallCount("PowerEnumerate"), 0);
    EXPECT_TRUE(rig.Boxes().empty());
    EXPECT_TRUE(form.Applied);
  }
  {
    MainFormRig rig;
    TvmMainForm& form = rig.Start();
    const std::size_t powerCalls = rig.power.Calls().size();
    form.ApplyImageEnClick();  // nothing chosen: as when Apply shows at an autostart activation
    EXPECT_EQ(rig.power.Calls().size(), powerCalls);
    EXPECT_TRUE(HasLogonTask(rig));
    EXPECT_EQ(rig.ControlByte(), 0x08);
    EXPECT_TRUE(WindowsHidden(rig));
  }
}

TEST(MainFormApply, WithDisablePressedTurnsTheFeatureOffAndEnds) {
  MainFormRig rig;
  InstallSchemeFile(rig);
  WriteSettings(rig, "[Config]\r\nVelmoraMode=3\r\n");
  TvmMainForm& form = rig.Start();
  form.ApplyImageEnClick();  // on first
  ASSERT_TRUE(HasLogonTask(rig));
  rig.board.SetControlByte(0x2C);
  const sim::SimPowerSystem before = rig.power.System();

  form.DisableImageEnClick();
  form.ApplyImageEnClick();
  EXPECT_FALSE(HasLogonTask(rig));
  EXPECT_EQ(rig.AutoRun(), 0u);
  EXPECT_EQ(rig.ControlByte(), 0x24);
  EXPECT_EQ(rig.power.System().activeScheme, before.activeScheme);
  EXPECT_EQ(rig.view.closes, 1);
  EXPECT_EQ(SavedMode(rig), "0");
}

TEST(MainFormApply, DisableThenFastPreparesFastInsteadOfTurningOff) {
  MainFormRig rig;
  InstallSchemeFile(rig);
  TvmMainForm& form = rig.Start();
  form.DisableImageEnClick();
  form.FastImageEnClick();
  form.ApplyImageEnClick();
  EXPECT_EQ(rig.power.System().importedFiles.size(), 1u);
  EXPECT_EQ(rig.view.closes, 0);
  EXPECT_EQ(rig.AutoRun(), 1u);
}

TEST(MainFormClose, BeforeApplyTurnsOffAfterApplyGoesToTheTray) {
  {
    MainFormRig rig(XpSetup());
    rig.registry.SetString(reg::kHkeyCurrentUser, kRunKey, kAutoStartName, "x");
    rig.board.SetControlByte(0x0C);
    TvmMainForm& form = rig.Start();
    form.RegularImageEnClick();
    form.CloseImageEnClick();
    EXPECT_FALSE(RunValue(rig).has_value());
    EXPECT_EQ(rig.AutoRun(), 0u);
    EXPECT_EQ(rig.ControlByte(), 0x04);
    EXPECT_EQ(rig.view.closes, 1);
    EXPECT_EQ(SavedMode(rig), "4");
  }
  {
    MainFormRig rig;
    TvmMainForm& form = rig.Start();
    form.RegularImageEnClick();
    form.ApplyImageEnClick();
    form.CloseImageEnClick();
    EXPECT_EQ(rig.view.closes, 0);
    EXPECT_TRUE(HasLogonTask(rig));
    EXPECT_EQ(rig.ControlByte(), 0x08);
    EXPECT_TRUE(WindowsHidden(rig));
  }
}

// A run started by autostart, closed before any Apply: the feature goes off and the program ends.
TEST(MainFormClose, BeforeApplyInARunStartedByAutostartTurnsTheFeatureOff) {
  for (const bool xp : {false, true}) {
    SCOPED_TRACE(xp ? "XP" : "7");
    MainFormRig rig(xp ? XpSetup() : RigSetup());
    rig.registry.SetDword(reg::kHkeyCurrentUser, kVelmoraUserKey, kAutoRunValue, 1);
    if (!xp) ASSERT_TRUE(RegisterLogonTask(rig.tasks, kAutoStartName, "C:\\x\\Velmora.exe"));
    if (xp) rig.registry.SetString(reg::kHkeyCurrentUser, kRunKey, kAutoStartName, "x");
    rig.board.SetControlByte(0x0C);
    TvmMainForm& form = rig.Start();
    form.CloseImageEnClick();
    EXPECT_FALSE(HasLogonTask(rig));
    EXPECT_FALSE(RunValue(rig).has_value());
    EXPECT_EQ(rig.AutoRun(), 0u);
    EXPECT_EQ(rig.ControlByte().value_or(0xFF) & 0x08, 0);
    EXPECT_EQ(rig.view.closes, 1);
  }
}

TEST(MainFormAutoStart, AutoRunCountsAsOnWhenNonZero) {
  MainFormRig rig;
  TvmMainForm& form = rig.Start();
  EXPECT_FALSE(form.IsAutoStartOn());
  EXPECT_TRUE(rig.registry.KeyExists(reg::kHkeyCurrentUser, kVelmoraUserKey));
  rig.registry.SetDword(reg::kHkeyCurrentUser, kVelmoraUserKey, kAutoRunValue, 5);
  EXPECT_TRUE(form.IsAutoStartOn());
}

// An uninstaller's shutdown message can be handled before the window was first shown.
TEST(MainFormAutoStart, TurningOffBeforeTheFirstShowingStillClearsTheRecord) {
  MainFormRig rig;
  rig.registry.SetDword(reg::kHkeyCurrentUser, kVelmoraUserKey, kAutoRunValue, 1);
  TvmMainForm& form = rig.MakeForm();
  form.FormCreate();
  ASSERT_EQ(form.Objects().AdvReg, nullptr);
  form.DisableAutoStart();
  EXPECT_EQ(rig.AutoRun(), 0u);
  EXPECT_FALSE(form.PrepareFastMode());
  EXPECT_FALSE(form.PrepareRegularMode());
}

// The shell refusing the plain icon must not leave a hidden window without an icon.
TEST(MainFormHideToTray, ARefusedIconIsReplacedByOneThatRetries) {
  MainFormRig rig;
  TvmMainForm& form = rig.Start();
  rig.tray.RefuseAdds(4);  // the plain icon, then the replacement and two retries
  form.HideToTray();
  EXPECT_FALSE(rig.view.mainVisible);
  EXPECT_FALSE(rig.tray.Shows(kTrayWindow, kTrayIconId));
  rig.timers.Advance(2 * kSecondMs);
  EXPECT_FALSE(rig.tray.Shows(kTrayWindow, kTrayIconId));
  rig.timers.Advance(kSecondMs);
  ASSERT_TRUE(rig.tray.Shows(kTrayWindow, kTrayIconId));
  EXPECT_EQ(rig.tray.Icon(kTrayWindow, kTrayIconId)->tip, "Zelkor Velmora");
}

}  // namespace
}  // namespace velmora
