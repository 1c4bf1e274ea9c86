// The main window on a simulated machine: a recording view in place of the real windows, the
// simulated board behind the driver, and a simulated Windows with its registry, profile files,
// task scheduler, token, power library, regions, resources, skin, language, message boxes,
// notification area and timers. A test shapes the world first, then makes the form.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BitmapRegions.h"
#include "app/MainWindowLayout.h"
#include "app/MainWindowView.h"
#include "app/vmMainForm.h"
#include "sim/SimLocale.h"
#include "sim/SimPictures.h"
#include "sim/SimPowerLibrary.h"
#include "sim/SimProcessWorld.h"
#include "sim/SimProfileFiles.h"
#include "sim/SimRegistry.h"
#include "sim/SimResources.h"
#include "sim/SimShellTray.h"
#include "sim/SimStartup.h"
#include "sim/SimTaskScheduler.h"
#include "sim/SimTimers.h"
#include "sim/SimToken.h"
#include "sim/board/SimBoard.h"

namespace velmora::mainformtest {

// Window handles of the recording view.
inline constexpr WindowHandle kApplicationWindow = 0x00010010;
inline constexpr WindowHandle kMainWindow = 0x00010020;
inline constexpr WindowHandle kTrayWindow = 0x00010030;
inline constexpr WindowHandle kFirstPanelWindow = 0x00010100;  // + the MainButton's index
inline constexpr std::uint32_t kTrayCallbackMessage = 0x0400 + 0x0101;
inline constexpr IconHandle kTrayIconImage = 0x000501C0;

inline constexpr std::array<MainButton, kMainButtonCount> kAllButtons = {
    MainButton::kClose, MainButton::kMinimize, MainButton::kDisable,
    MainButton::kApply, MainButton::kFast,     MainButton::kRegular};

inline int Index(MainButton button) {
  return static_cast<int>(button);
}
WindowHandle PanelWindowOf(MainButton button);
layout::Placement PlacementOf(MainButton button);

// A picture control's display: counts and keeps what it was told to show.
class RecordingDisplay : public IPictureDisplay {
 public:
  void ShowPicture(const IPictureCanvas& picture, int width, int height) override;
  int shows = 0;
  TPicture shown;
  int width = 0;
  int height = 0;
};

struct ShowWindowCall {
  WindowHandle window;
  int command;
  bool operator==(const ShowWindowCall&) const = default;
};

struct SentMessage {
  WindowHandle window;
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  bool operator==(const SentMessage&) const = default;
};

// The main window's windows as a recorder. It starts in the layout's state: every panel shown
// but Apply, NonApplyImage shown, panels at their layout tops, both windows hidden. Each image
// button is a real TImageEn whose repeat thread cannot be created (so it never repeats).
class RecordingMainView : public IMainWindowView {
 public:
  explicit RecordingMainView(ITickCount& ticks);
  ~RecordingMainView() override;

  WindowHandle MainWindow() override { return kMainWindow; }
  WindowHandle ApplicationWindow() override { return kApplicationWindow; }
  WindowHandle PanelWindow(MainButton panel) override { return PanelWindowOf(panel); }
  TImageEn& Button(MainButton button) override { return *buttons_[Index(button)]; }

  void ShowBackground(const TPicture& picture) override;
  void ShowNonApplyPicture(const TPicture& picture) override;
  void SetNonApplyVisible(bool visible) override { nonApplyVisible = visible; }
  bool NonApplyVisible() override { return nonApplyVisible; }
  void SetPanelVisible(MainButton panel, bool visible) override;
  bool PanelVisible(MainButton panel) override { return panelVisible[Index(panel)]; }
  void SetPanelTop(MainButton panel, int top) override { panelTop[Index(panel)] = top; }
  void SetDoubleBuffered(bool on) override { doubleBuffered = on; }
  void SetButtonName(MainButton button, const std::string& name) override {
    names[Index(button)] = name;
  }
  void FocusButton(MainButton button) override { focused = button; }
  std::optional<MainButton> FocusedButton() override { return focused; }

  void ShowWindow(WindowHandle window, int command) override;
  void SetForegroundWindow(WindowHandle window) override { foreground.push_back(window); }
  void ReleaseCapture() override { events.push_back("ReleaseCapture"); }
  std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;

  // Runs onClose (the form's close event, as the framework would) and ends the loop.
  void Close() override;
  void Terminate() override;

  void SetTrayMenuCaptions(const std::string& restore, const std::string& exit) override;
  WindowHandle TrayWindow() override { return kTrayWindow; }
  std::uint32_t TrayCallbackMessage() override { return kTrayCallbackMessage; }
  IconHandle TrayIconImage() override { return kTrayIconImage; }
  // Runs onOverlay (if any) while the "modal" overlay is up.
  void ShowOverlayModal() override;

  RecordingDisplay& Display(MainButton button) { return displays_[Index(button)]; }
  bool WindowVisible(WindowHandle window) const;
  // Anything shown at all: a ShowWindow other than SW_HIDE, or a foreground change.
  bool AnythingShown() const;

  // What was shown and done, in order of the calls (ReleaseCapture, SendMessageA, Close, ...).
  std::vector<std::string> events;
  TPicture background;
  int backgroundShows = 0;
  TPicture nonApplyPicture;
  int nonApplyShows = 0;
  bool nonApplyVisible = true;
  std::array<bool, kMainButtonCount> panelVisible{};
  std::array<int, kMainButtonCount> panelTop{};
  bool doubleBuffered = false;
  std::array<std::string, kMainButtonCount> names;
  std::optional<MainButton> focused;
  std::vector<ShowWindowCall> showWindowCalls;
  bool mainVisible = false;
  bool applicationVisible = false;
  std::vector<WindowHandle> foreground;
  std::vector<SentMessage> sent;
  int closes = 0;
  int terminates = 0;
  bool loopEnded = false;
  std::optional<std::string> trayRestoreCaption;
  std::optional<std::string> trayExitCaption;
  int overlayShows = 0;
  std::function<void()> onClose;
  std::function<void()> onOverlay;

 private:
  class NoThreads;
  class NoSentMessages;

  std::unique_ptr<NoThreads> threads_;
  std::unique_ptr<NoSentMessages> messages_;
  std::array<RecordingDisplay, kMainButtonCount> displays_;
  std::array<std::unique_ptr<TImageEn>, kMainButtonCount> buttons_;
};

// The world a rig is built on; change the fields before making the rig.
struct RigSetup {
  sim::BoardDescription board = sim::DefaultBoardDescription();
  sim::SimWindowsRelease release = sim::Windows7X86();
  sim::SimPowerSystem power = sim::Windows7Desktop();
  // Velmora.ini beside the program; no file when empty.
  std::string ini;
  std::uint16_t language = sim::kLangEnglishUs;
};

// Board variants.
sim::BoardDescription BoardNamed(const std::string& baseboardProduct);
// No PCI function carries the maker's subsystem vendor.
sim::BoardDescription BoardWithoutMakerDevice();
// The QVZX table holds no control entry (type 3, length 3).
sim::BoardDescription BoardWithoutControlEntry();
// A setup for Windows XP (driver, OS type 1, numbered power schemes).
RigSetup XpSetup();

// The program's compiled resources (string table, version), read once.
const sim::SimResources& CompiledResources();

class MainFormRig {
 public:
  explicit MainFormRig(RigSetup setup = RigSetup());
  ~MainFormRig();
  MainFormRig(const MainFormRig&) = delete;
  MainFormRig& operator=(const MainFormRig&) = delete;

  // The driver cannot be installed (the service manager refuses to create the service).
  void FailDriverOpen();
  // Files beside the executable.
  void SetProgramFile(const std::string& name, const std::string& contents);
  std::optional<std::string> ProgramFile(const std::string& name) const;

  // The ports the form is made with; a test may put its own in front of some of them first.
  MainFormPorts Ports();
  ITokens* tokensPort = nullptr;
  IProfileFiles* profilesPort = nullptr;
  IFiles* driverFilesPort = nullptr;  // the driver installer's and client's file calls
  // Construction only: view.Close() then runs the form's FormClose.
  TvmMainForm& MakeForm();
  // Construction, FormCreate and, unless the start was refused, FormShow and FormActivate: the
  // framework's order when the message loop shows the main window.
  TvmMainForm& Start();
  TvmMainForm& Form() { return *form; }

  // The control byte as the firmware sees it (nullopt when the board has none).
  std::optional<std::uint8_t> ControlByte() const { return board.ControlByte(); }
  // Message boxes, the driver's failure box included, in the order shown.
  const std::vector<sim::SimMessageBox>& Boxes() const { return startup.world.messages.Shown(); }
  // The "AutoRun" value under the current user's product key.
  std::optional<std::uint32_t> AutoRun() const;

  sim::SimBoard board;
  sim::SimStartup startup;  // world (files, system, services, devices, boxes), code page, CPU
  sim::SimProcessWorld processes;
  sim::SimProcess process;
  sim::SimProfileFiles profiles;
  sim::SimRegistry registry;
  sim::SimTaskScheduler tasks;
  sim::SimToken tokens;
  sim::SimPowerLibrary power;
  regiontest::BitmapRegions regions;
  sim::SimResources resources;
  sim::SimPictures pictures;
  sim::SimLocale locale;
  sim::SimShellTray tray;
  sim::SimTimers timers;
  RecordingMainView view;
  std::unique_ptr<TvmMainForm> form;  // last: goes first
};

}  // namespace velmora::mainformtest
