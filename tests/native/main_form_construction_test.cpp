// The main window's construction on simulated boards and Windows: the application-wide objects,
// the settings file, the board variant, the refusals, the framework events, the release order
// and the two instance messages.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "MainFormTestSupport.h"
#include "app/InstanceProtocol.h"
#include "config/DebugLog.h"
#include "controls/TrayIconMod.h"
#include "sim/ForwardingFiles.h"

namespace velmora {
namespace {

using mainformtest::BoardNamed;
using mainformtest::BoardWithoutControlEntry;
using mainformtest::BoardWithoutMakerDevice;
using mainformtest::kApplicationWindow;
using mainformtest::kMainWindow;
using mainformtest::MainFormRig;
using mainformtest::RigSetup;

constexpr char kProgramFolder[] = "C:\\Program Files\\Zelkor\\Velmora\\";
constexpr char kNotForThisPlatform[] = "This utility is not for this platform!";
constexpr char kFunctionTableError[] = "Function table error, you may need to update system BIOS.";

RigSetup WorldWith(sim::BoardDescription board, std::string ini = "") {
  RigSetup setup;
  setup.board = std::move(board);
  setup.ini = std::move(ini);
  return setup;
}

// Which application-wide objects exist, by their number in the creation order.
std::string LiveObjects(const ApplicationObjects& o) {
  const bool live[] = {bool(o.InitFile), bool(o.ReadWrite), bool(o.Cpu),
                       bool(o.ZlkSpec),  bool(o.Cfg),       bool(o.ImageControl),
                       bool(o.CpuUsage), bool(o.AdvReg),    bool(o.PowerMan)};
  std::string text;
  for (int i = 0; i < 9; ++i) {
    if (live[i]) text += (text.empty() ? "" : " ") + std::to_string(i + 1);
  }
  return text;
}

std::string SettingsMode(MainFormRig& rig, const std::string& file) {
  return rig.profiles.GetPrivateProfileStringW("Config", "VelmoraMode", "absent", 64,
                                               kProgramFolder + file);
}

void ExpectPlatformBox(const sim::SimMessageBox& box, const std::string& text,
                       const std::string& caption = "Zelkor Velmora") {
  EXPECT_EQ(box.owner, 0u);
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.caption, caption);
  EXPECT_EQ(box.type, 0x1010u);
}

// ---- A board that passes ---------------------------------------------------------------------

TEST(MainFormConstruction, ReferenceBoardCreatesObjectsOneToSevenAndShowsNoBox) {
  MainFormRig rig;
  TvmMainForm& form = rig.MakeForm();
  EXPECT_FALSE(form.StartFailed);
  EXPECT_FALSE(form.RegularOnly);
  EXPECT_EQ(LiveObjects(form.Objects()), "1 2 3 4 5 6 7");
  EXPECT_TRUE(rig.Boxes().empty());
  EXPECT_EQ(form.ExeDir, kProgramFolder);
  EXPECT_EQ(form.IdleTicks, 0);
  EXPECT_FALSE(form.Applied);
  EXPECT_FALSE(form.OwnSuspend);
  EXPECT_EQ(form.Objects().ZlkSpec->BoardName, "ZV-H61M");
  EXPECT_EQ(form.Objects().InitFile->OsVersion->OsType, otNt6X86);
  EXPECT_TRUE(rig.view.PanelVisible(MainButton::kFast));
  EXPECT_EQ(rig.view.panelTop[mainformtest::Index(MainButton::kRegular)], 329);
}

TEST(MainFormConstruction, TimerStartsDisabledAtOneSecondAndTrayIconHidden) {
  MainFormRig rig;
  TvmMainForm& form = rig.MakeForm();
  EXPECT_FALSE(form.Timer().Enabled());
  EXPECT_FALSE(form.Timer().Running());
  EXPECT_EQ(form.Timer().Interval(), 1000u);
  EXPECT_EQ(rig.timers.ActiveTimers(), 0u);
  EXPECT_FALSE(form.TrayIcon().Visible());
  EXPECT_EQ(form.TrayIcon().Window, mainformtest::kTrayWindow);
  EXPECT_EQ(form.TrayIcon().CallbackMessage, mainformtest::kTrayCallbackMessage);
  EXPECT_EQ(form.TrayIcon().Icon, mainformtest::kTrayIconImage);
  EXPECT_TRUE(rig.tray.Calls().empty());
}

TEST(MainFormConstruction, ConfigurationFileIsTheExecutablesNameWithIni) {
  MainFormRig rig(WorldWith(sim::DefaultBoardDescription(), "[Config]\r\nRwDebug=1\r\n"));
  rig.MakeForm();
  // RwDebug=1 was read from Velmora.ini: the log beside the program exists.
  EXPECT_TRUE(rig.ProgramFile("RwDebug.rw").has_value());
}

TEST(MainFormConstruction, FrameworkEventsCreateObjectsEightAndNineOnFirstShowOnly) {
  MainFormRig rig;
  TvmMainForm& form = rig.MakeForm();
  form.FormCreate();
  EXPECT_TRUE(rig.view.doubleBuffered);
  EXPECT_EQ(rig.view.terminates, 0);
  EXPECT_EQ(LiveObjects(form.Objects()), "1 2 3 4 5 6 7");
  form.FormShow();
  EXPECT_EQ(LiveObjects(form.Objects()), "1 2 3 4 5 6 7 8 9");
  EXPECT_TRUE(rig.power.Loaded());
  const TAdvReg* registry = form.Objects().AdvReg.get();
  const TPowerMan* power = form.Objects().PowerMan.get();
  form.FormShow();  // shown again after a restore: the same objects stay
  EXPECT_EQ(form.Objects().AdvReg.get(), registry);
  EXPECT_EQ(form.Objects().PowerMan.get(), power);
  EXPECT_EQ(rig.power.LibraryRequests().size(), 1u);
}

TEST(MainFormConstruction, EveryButtonIsWiredAndNeverRepeats) {
  MainFormRig rig;
  rig.MakeForm();
  for (MainButton button : mainformtest::kAllButtons) {
    TImageEn& imageEn = rig.view.Button(button);
    EXPECT_TRUE(static_cast<bool>(imageEn.OnClick)) << mainformtest::Index(button);
    EXPECT_FALSE(static_cast<bool>(imageEn.OnMouseRepeatClick));
    EXPECT_EQ(imageEn.DelayBeforeRepeat, 2000);
    EXPECT_EQ(imageEn.ClickRepeatRate, 200);
  }
}

void Click(MainFormRig& rig, MainButton button) {
  TImageEn& imageEn = rig.view.Button(button);
  imageEn.MouseDown(TMouseButton::mbLeft, ssLeft, 3, 3);
  imageEn.MouseUp(TMouseButton::mbLeft, 0, 3, 3);
}

TEST(MainFormConstruction, EachButtonsClickReachesItsOwnHandler) {
  MainFormRig rig;
  TvmMainForm& form = rig.Start();
  Click(rig, MainButton::kMinimize);
  EXPECT_EQ(rig.view.sent, (std::vector<mainformtest::SentMessage>{
                               {kMainWindow, win::kWmSysCommand, win::kScMinimize, 0}}));
  Click(rig, MainButton::kFast);
  EXPECT_EQ(form.Mode(), 3);
  Click(rig, MainButton::kRegular);
  EXPECT_EQ(form.Mode(), 4);
  Click(rig, MainButton::kDisable);
  EXPECT_EQ(form.Mode(), 0);
  EXPECT_EQ(rig.view.Button(MainButton::kDisable).Status(), ImageEnActive);
  EXPECT_EQ(rig.view.closes, 0);
  Click(rig, MainButton::kApply);  // with Disable pressed: turn off and end
  EXPECT_EQ(rig.view.closes, 1);

  MainFormRig other;
  other.Start();
  Click(other, MainButton::kClose);  // nothing applied yet: turn off and end
  EXPECT_EQ(other.view.closes, 1);
  EXPECT_TRUE(other.view.sent.empty());
}

TEST(MainFormConstruction, DestroyedFormLeavesNoHandlerOnTheViewsButtons) {
  MainFormRig rig;
  rig.MakeForm();
  rig.form.reset();
  for (MainButton button : mainformtest::kAllButtons) {
    EXPECT_FALSE(static_cast<bool>(rig.view.Button(button).OnClick));
  }
  TImageEn& minimize = rig.view.Button(MainButton::kMinimize);
  minimize.MouseDown(TMouseButton::mbLeft, ssLeft, 3, 3);
  minimize.MouseUp(TMouseButton::mbLeft, 0, 3, 3);
  EXPECT_TRUE(rig.view.sent.empty());
}

// ---- The product settings file ---------------------------------------------------------------

TEST(MainFormSettingsFile, BoardListedUnderSupportModelWithAnExistingFileUsesIt) {
  MainFormRig rig(
      WorldWith(sim::DefaultBoardDescription(), "[SupportModel]\r\nZV-H61M=H61.ini\r\n"));
  rig.SetProgramFile("H61.ini", "[Config]\r\nVelmoraMode=4\r\n");
  rig.SetProgramFile("Cfg.ini", "[Config]\r\nVelmoraMode=3\r\n");
  TvmMainForm& form = rig.MakeForm();
  EXPECT_EQ(form.Objects().Cfg->FileName(), std::string(kProgramFolder) + "H61.ini");
  EXPECT_EQ(form.Mode(), 4);
  form.SetMode(3);
  form.FormClose();
  EXPECT_EQ(SettingsMode(rig, "H61.ini"), "3");
}

TEST(MainFormSettingsFile, ListedFileMissingOrOtherBoardFallsBackToCfgIni) {
  for (const std::string& ini : {std::string("[SupportModel]\r\nZV-H61M=H61.ini\r\n"),
                                 std::string("[SupportModel]\r\nZV-B75=B75.ini\r\n")}) {
    MainFormRig rig(WorldWith(sim::DefaultBoardDescription(), ini));
    rig.SetProgramFile("B75.ini", "[Config]\r\nVelmoraMode=4\r\n");
    rig.SetProgramFile("Cfg.ini", "[Config]\r\nVelmoraMode=3\r\n");
    TvmMainForm& form = rig.MakeForm();
    EXPECT_EQ(form.Objects().Cfg->FileName(), std::string(kProgramFolder) + "Cfg.ini");
    EXPECT_EQ(form.Mode(), 3);
  }
}

TEST(MainFormSettingsFile, ModeIsZeroAndUnchangeableWithoutSettingsObject) {
  MainFormRig rig;
  rig.FailDriverOpen();
  TvmMainForm& form = rig.MakeForm();
  form.SetMode(4);
  EXPECT_EQ(form.Mode(), 0);
}

// ---- Regular-only boards ---------------------------------------------------------------------

TEST(MainFormVariant, RegularOnlyBoardsHideFastAndMoveRegularToItsPlace) {
  for (const char* name : {"Tessary", "KV7MB-TE", "KV305-TE"}) {
    MainFormRig rig(WorldWith(BoardNamed(name)));
    TvmMainForm& form = rig.MakeForm();
    EXPECT_TRUE(form.RegularOnly) << name;
    EXPECT_FALSE(rig.view.PanelVisible(MainButton::kFast)) << name;
    EXPECT_EQ(rig.view.panelTop[mainformtest::Index(MainButton::kRegular)], 288) << name;
    EXPECT_TRUE(rig.view.PanelVisible(MainButton::kRegular)) << name;
  }
}

TEST(MainFormVariant, OtherLetterCaseOrLongerNamesKeepBothModes) {
  for (const char* name : {"tessary", "TESSARY", "KV7MB-te", "kv305-TE", "Tessary2", "KV305"}) {
    MainFormRig rig(WorldWith(BoardNamed(name)));
    TvmMainForm& form = rig.MakeForm();
    EXPECT_EQ(form.Objects().ZlkSpec->BoardName, name);
    EXPECT_FALSE(form.RegularOnly) << name;
    EXPECT_TRUE(rig.view.PanelVisible(MainButton::kFast)) << name;
    EXPECT_EQ(rig.view.panelTop[mainformtest::Index(MainButton::kRegular)], 329) << name;
  }
}

// ---- Refused starts --------------------------------------------------------------------------

void ExpectRefusedAndReleased(MainFormRig& rig, TvmMainForm& form) {
  EXPECT_TRUE(form.StartFailed);
  form.FormCreate();
  EXPECT_EQ(rig.view.terminates, 1);
  EXPECT_EQ(LiveObjects(form.Objects()), "");
  EXPECT_FALSE(rig.view.doubleBuffered);
  EXPECT_FALSE(rig.view.AnythingShown());
  // The service is gone with the driver client.
  EXPECT_EQ(rig.startup.world.services.ServiceCount(), 0u);
}

TEST(MainFormRefusal, BoardWithoutMakerDeviceShowsSlotEightAndEnds) {
  MainFormRig rig(WorldWith(BoardWithoutMakerDevice()));
  TvmMainForm& form = rig.MakeForm();
  ASSERT_EQ(rig.Boxes().size(), 1u);
  ExpectPlatformBox(rig.Boxes()[0], kNotForThisPlatform);
  EXPECT_EQ(form.Objects().ImageControl, nullptr);
  EXPECT_EQ(form.Objects().CpuUsage, nullptr);
  EXPECT_TRUE(rig.regions.ShapedWindows().empty());
  EXPECT_FALSE(rig.regions.IsBorderless(kMainWindow));
  ExpectRefusedAndReleased(rig, form);
}

TEST(MainFormRefusal, BoardWithoutControlEntryShowsSlotSevenAndEnds) {
  MainFormRig rig(WorldWith(BoardWithoutControlEntry()));
  TvmMainForm& form = rig.MakeForm();
  ASSERT_EQ(rig.Boxes().size(), 1u);
  ExpectPlatformBox(rig.Boxes()[0], kFunctionTableError);
  EXPECT_EQ(form.Objects().ImageControl, nullptr);
  ExpectRefusedAndReleased(rig, form);
}

TEST(MainFormRefusal, BoardFailingBothChecksShowsBothBoxesPlatformFirst) {
  sim::BoardDescription board = BoardWithoutMakerDevice();
  board.acpi.qvzxEntries = BoardWithoutControlEntry().acpi.qvzxEntries;
  MainFormRig rig(WorldWith(board));
  TvmMainForm& form = rig.MakeForm();
  ASSERT_EQ(rig.Boxes().size(), 2u);
  ExpectPlatformBox(rig.Boxes()[0], kNotForThisPlatform);
  ExpectPlatformBox(rig.Boxes()[1], kFunctionTableError);
  ExpectRefusedAndReleased(rig, form);
}

TEST(MainFormRefusal, ChineseUserGetsTheBoxesInChinese) {
  RigSetup setup = WorldWith(BoardWithoutMakerDevice());
  setup.board.acpi.qvzxEntries = BoardWithoutControlEntry().acpi.qvzxEntries;
  setup.language = 2052;
  MainFormRig rig(setup);
  rig.MakeForm();
  ASSERT_EQ(rig.Boxes().size(), 2u);
  ExpectPlatformBox(rig.Boxes()[0], "此应用程序不能使用于此平台！", "Zelkor科技Velmora");
  ExpectPlatformBox(rig.Boxes()[1], "功能表错误，您可能需要更新系统的 BIOS。", "Zelkor科技Velmora");
}

TEST(MainFormRefusal, RefusedStartStillWritesTheModeItReadBack) {
  MainFormRig rig(WorldWith(BoardWithoutMakerDevice()));
  TvmMainForm& form = rig.MakeForm();
  EXPECT_FALSE(rig.ProgramFile("Cfg.ini").has_value());
  form.FormCreate();
  EXPECT_EQ(SettingsMode(rig, "Cfg.ini"), "0");
}

TEST(MainFormRefusal, DriverThatCannotBeOpenedStopsBeforeTheOtherObjects) {
  MainFormRig rig;
  rig.FailDriverOpen();
  TvmMainForm& form = rig.MakeForm();
  EXPECT_TRUE(form.StartFailed);
  EXPECT_EQ(LiveObjects(form.Objects()), "1 2");
  // Only the installer's own box; the form adds none and asks nothing about the language.
  ASSERT_EQ(rig.Boxes().size(), 1u);
  EXPECT_EQ(rig.Boxes()[0].caption, "Error");
  EXPECT_EQ(rig.locale.queries, 0);
  EXPECT_EQ(form.Slots, TextSlots{});
  EXPECT_EQ(form.ExeDir, "");
  EXPECT_FALSE(form.Applied);
  ExpectRefusedAndReleased(rig, form);
  EXPECT_FALSE(rig.ProgramFile("Cfg.ini").has_value());
  EXPECT_EQ(rig.Boxes().size(), 1u);
}

// Windows refused the driver's image: the box names why in the user's language, a reinstall is
// no help, and the autostart goes so that the box does not come back at every logon.
TEST(MainFormRefusal, DriverWindowsRefusesIsNamedAndTheAutostartGoes) {
  const struct {
    std::uint32_t error;
    std::uint16_t language;
    const char* start;
  } cases[] = {{577, sim::kLangEnglishUs, "Windows refused to load the Zelkor Velmora driver"},
               {1275, sim::kLangEnglishUs, "Windows blocks the Zelkor Velmora driver"},
               {1275, kLanguageChinesePrc, "Windows 阻止了 Zelkor Velmora 驱动程序"}};
  for (const auto& c : cases) {
    RigSetup setup;
    setup.language = c.language;
    MainFormRig rig(setup);
    rig.registry.SetDword(reg::kHkeyCurrentUser, kVelmoraUserKey, kAutoRunValue, 1);
    rig.tasks.AddTask(sim::SimScheduledTask{kAutoStartName, {}, {}, {}, 0, {}, 1});
    rig.startup.world.services.FailStart(c.error);
    TvmMainForm& form = rig.MakeForm();
    EXPECT_TRUE(form.StartFailed);
    ASSERT_EQ(rig.Boxes().size(), 1u) << c.error;
    EXPECT_EQ(rig.Boxes()[0].text.rfind(c.start, 0), 0u) << rig.Boxes()[0].text;
    EXPECT_EQ(rig.Boxes()[0].type, 0x1010u);
    EXPECT_FALSE(rig.tasks.Task(kAutoStartName).has_value());
    EXPECT_EQ(rig.AutoRun(), 0u);
    EXPECT_EQ(rig.startup.world.services.Find("zlkvmdrv"), nullptr);
  }
}

TEST(MainFormRefusal, ShowingARefusedFormCreatesNothing) {
  MainFormRig rig(WorldWith(BoardWithoutMakerDevice()));
  TvmMainForm& form = rig.MakeForm();
  form.FormCreate();
  form.FormShow();
  EXPECT_EQ(LiveObjects(form.Objects()), "");
  EXPECT_FALSE(rig.power.Loaded());
}

TEST(MainFormRefusal, MissingPictureEndsConstructionAndReleasesWhatWasMade) {
  RigSetup setup;
  setup.language = 2052;
  MainFormRig rig(setup);
  rig.pictures.missing = {"chs_backgroundimage"};
  EXPECT_THROW(rig.MakeForm(), std::runtime_error);
  EXPECT_EQ(rig.startup.world.services.ServiceCount(), 0u);
  EXPECT_EQ(SettingsMode(rig, "Cfg.ini"), "0");
  EXPECT_FALSE(static_cast<bool>(rig.view.Button(MainButton::kClose).OnClick));
}

// ---- Release ---------------------------------------------------------------------------------

// Notes which objects are still alive whenever a releasing object leaves its trace: the power
// scheme manager gives the shutdown privilege back, the settings write the mode, the driver
// client closes its device, the configuration closes the debug log.
class ReleaseProbe {
 public:
  explicit ReleaseProbe(MainFormRig& rig)
      : rig_(rig),
        tokens_(*this),
        profiles_(*this),
        driverFiles_(*this, "driver", rig.startup.world.io),
        logFiles_(*this, "log", rig.startup.world.files) {
    rig.tokensPort = &tokens_;
    rig.profilesPort = &profiles_;
    rig.driverFilesPort = &driverFiles_;
    DebugLogBind(&logFiles_, &rig.startup.codePage);
  }
  ~ReleaseProbe() { DebugLogBind(&rig_.startup.world.files, &rig_.startup.codePage); }

  // Starts noting, on this form.
  void Watch(TvmMainForm& watched) { form = &watched; }
  void Note(const std::string& event) {
    if (form) trace.push_back(event + ": " + LiveObjects(form->Objects()));
  }

  TvmMainForm* form = nullptr;
  std::vector<std::string> trace;

 private:
  class Tokens : public ITokens {
   public:
    explicit Tokens(ReleaseProbe& probe) : probe_(probe) {}
    Handle GetCurrentProcess() override { return Inner().GetCurrentProcess(); }
    bool OpenProcessToken(Handle process, std::uint32_t access, Handle& token) override {
      return Inner().OpenProcessToken(process, access, token);
    }
    bool LookupPrivilegeValueA(const std::string& system, const std::string& name,
                               Luid& luid) override {
      return Inner().LookupPrivilegeValueA(system, name, luid);
    }
    bool AdjustTokenPrivileges(Handle token, bool disableAll,
                               const TokenPrivilegesRecord& state) override {
      probe_.Note("privilege");
      return Inner().AdjustTokenPrivileges(token, disableAll, state);
    }
    bool CloseHandle(Handle handle) override { return Inner().CloseHandle(handle); }

   private:
    ITokens& Inner() { return probe_.rig_.tokens; }
    ReleaseProbe& probe_;
  };

  class Profiles : public IProfileFiles {
   public:
    explicit Profiles(ReleaseProbe& probe) : probe_(probe) {}
    std::string GetPrivateProfileStringW(const std::string& app, const std::string& key,
                                         const std::string& fallback, std::uint32_t size,
                                         const std::string& file) override {
      return probe_.rig_.profiles.GetPrivateProfileStringW(app, key, fallback, size, file);
    }
    bool WritePrivateProfileStringW(const std::string& app, const std::string& key,
                                    const std::string& value, const std::string& file) override {
      probe_.Note("settings");
      return probe_.rig_.profiles.WritePrivateProfileStringW(app, key, value, file);
    }

   private:
    ReleaseProbe& probe_;
  };

  class ClosingFiles : public sim::ForwardingFiles {
   public:
    ClosingFiles(ReleaseProbe& probe, std::string name, IFiles& inner)
        : ForwardingFiles(&inner), probe_(probe), name_(std::move(name)) {}
    bool CloseHandle(Handle object) override {
      probe_.Note(name_);
      return ForwardingFiles::CloseHandle(object);
    }

   private:
    ReleaseProbe& probe_;
    std::string name_;
  };

  MainFormRig& rig_;
  Tokens tokens_;
  Profiles profiles_;
  ClosingFiles driverFiles_;
  ClosingFiles logFiles_;
};

const std::vector<std::string> kReleaseTrace = {"privilege: 1 2 5 6", "settings: 1 2", "driver: 1",
                                                "log: "};

TEST(MainFormRelease, ObjectsGoInTheFixedOrderAndTheConfigurationLast) {
  MainFormRig rig(WorldWith(sim::DefaultBoardDescription(), "[Config]\r\nRwDebug=1\r\n"));
  ReleaseProbe probe(rig);
  TvmMainForm& form = rig.Start();
  ASSERT_EQ(LiveObjects(form.Objects()), "1 2 3 4 5 6 7 8 9");
  probe.Watch(form);
  form.FormClose();
  // 7, 4, 3 and 8 are gone before 9; 6 goes between 9 and 5; then 2, then 1.
  EXPECT_EQ(probe.trace, kReleaseTrace);
  EXPECT_EQ(LiveObjects(form.Objects()), "");
  EXPECT_EQ(rig.startup.world.services.ServiceCount(), 0u);
}

TEST(MainFormRelease, SecondReleaseAndTheDestructorDoNothingMore) {
  MainFormRig rig(WorldWith(sim::DefaultBoardDescription(), "[Config]\r\nRwDebug=1\r\n"));
  ReleaseProbe probe(rig);
  TvmMainForm& form = rig.Start();
  form.FormClose();
  probe.Watch(form);
  form.ReleaseObjects();
  form.FormClose();
  rig.form.reset();
  EXPECT_TRUE(probe.trace.empty());
}

TEST(MainFormRelease, DestroyingAnOpenFormReleasesInTheSameOrder) {
  MainFormRig rig(WorldWith(sim::DefaultBoardDescription(), "[Config]\r\nRwDebug=1\r\n"));
  ReleaseProbe probe(rig);
  probe.Watch(rig.Start());
  rig.form.reset();
  EXPECT_EQ(probe.trace, kReleaseTrace);
}

TEST(MainFormRelease, ClosingWritesTheCurrentModeToTheSettingsFile) {
  MainFormRig rig;
  TvmMainForm& form = rig.Start();
  form.SetMode(4);
  EXPECT_EQ(form.Mode(), 4);
  EXPECT_FALSE(rig.ProgramFile("Cfg.ini").has_value());
  form.FormClose();
  EXPECT_EQ(SettingsMode(rig, "Cfg.ini"), "4");
  EXPECT_EQ(form.Mode(), 0);
}

// ---- Instance messages -----------------------------------------------------------------------

QueuedMessage Posted(std::uint32_t message, WindowHandle window = kApplicationWindow) {
  return QueuedMessage{window, message, 0, 0};
}

TEST(MainFormInstanceMessages, ShowRequestHidesTheTrayIconAndBringsTheWindowsBack) {
  MainFormRig rig;
  TvmMainForm& form = rig.Start();
  ASSERT_TRUE(form.TrayIcon().SetVisible(true));
  EXPECT_TRUE(form.vmApplicationEventsMessage(Posted(MSG_SHOW_INSTANCE)));
  EXPECT_FALSE(form.TrayIcon().Visible());
  EXPECT_FALSE(rig.tray.Shows(mainformtest::kTrayWindow, form.TrayIcon().Id));
  EXPECT_EQ(rig.view.showWindowCalls,
            (std::vector<mainformtest::ShowWindowCall>{{kApplicationWindow, win::kSwShowNormal},
                                                       {kMainWindow, win::kSwShowNormal}}));
  EXPECT_EQ(rig.view.foreground, std::vector<WindowHandle>{kMainWindow});
}

TEST(MainFormInstanceMessages, ShowRequestWithoutTrayIconAsksNothingOfTheShell) {
  MainFormRig rig;
  TvmMainForm& form = rig.Start();
  // Whatever window the request came addressed to.
  EXPECT_TRUE(form.vmApplicationEventsMessage(Posted(MSG_SHOW_INSTANCE, 0)));
  EXPECT_TRUE(rig.tray.Calls().empty());
  EXPECT_TRUE(rig.view.mainVisible);
  EXPECT_TRUE(rig.view.applicationVisible);
}

// A second start while the shell still refuses the icon: the retrying icon must stop, or it
// would appear beside the window that was just brought back.
TEST(MainFormInstanceMessages, ShowRequestStopsARetryingIconBeforeTheShellTakesIt) {
  MainFormRig rig;
  TvmMainForm& form = rig.Start();
  rig.tray.refuseAll = true;
  form.HideToTray();
  const auto* retrying = dynamic_cast<const TTrayIconMod*>(&form.TrayIcon());
  ASSERT_NE(retrying, nullptr);
  ASSERT_TRUE(retrying->Retrying());
  EXPECT_TRUE(form.vmApplicationEventsMessage(Posted(MSG_SHOW_INSTANCE)));
  rig.tray.refuseAll = false;
  rig.timers.Advance(5 * TTrayIconMod::kRetryIntervalMs);
  EXPECT_FALSE(retrying->Retrying());
  EXPECT_FALSE(rig.tray.Shows(mainformtest::kTrayWindow, form.TrayIcon().Id));
  EXPECT_TRUE(rig.view.mainVisible);
  EXPECT_TRUE(rig.view.applicationVisible);
}

TEST(MainFormInstanceMessages, ShutDownRequestTurnsTheFeatureOffAndClosesTheWindow) {
  MainFormRig rig;
  TvmMainForm& form = rig.Start();
  rig.registry.SetDword(reg::kHkeyCurrentUser, kVelmoraUserKey, kAutoRunValue, 1);
  rig.board.SetControlByte(0x1D);
  EXPECT_TRUE(form.vmApplicationEventsMessage(Posted(MSG_SHUTDOWN_INSTANCE, 0x4242)));
  EXPECT_EQ(rig.ControlByte(), 0x15);
  EXPECT_EQ(rig.AutoRun(), 0u);
  EXPECT_EQ(rig.view.closes, 1);
  EXPECT_EQ(LiveObjects(form.Objects()), "");  // the close ran FormClose
  EXPECT_EQ(SettingsMode(rig, "Cfg.ini"), "0");
}

TEST(MainFormInstanceMessages, OtherMessagesPassUntouched) {
  MainFormRig rig;
  TvmMainForm& form = rig.Start();
  rig.board.SetControlByte(0x0C);
  for (std::uint32_t message : {0x0012u, 0x0113u, 0x0400u, 0x819Du, 0x81A0u, 0x019Eu}) {
    EXPECT_FALSE(form.vmApplicationEventsMessage(Posted(message))) << message;
  }
  EXPECT_EQ(rig.ControlByte(), 0x0C);
  EXPECT_EQ(rig.view.closes, 0);
  EXPECT_TRUE(rig.view.showWindowCalls.empty());
  EXPECT_TRUE(rig.view.foreground.empty());
  EXPECT_EQ(LiveObjects(form.Objects()), "1 2 3 4 5 6 7 8 9");
}

}  // namespace
}  // namespace velmora
