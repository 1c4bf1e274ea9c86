// The main window's logic: construction and release of the application-wide objects, the look
// and languages, the mode buttons with Apply and Disable, the idle timer, the tray and the
// session events. It talks to its windows through IMainWindowView only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/ApplicationObjects.h"
#include "app/Localisation.h"
#include "app/MainFormPorts.h"
#include "app/MainWindowView.h"
#include "controls/Timer.h"
#include "controls/TrayIcon.h"
#include "ports/ApplicationPort.h"

namespace velmora {

// Boards that offer only the Regular mode (whole board name, case-sensitive).
inline constexpr const char* kRegularOnlyBoards[] = {"Tessary", "KV7MB-TE", "KV305-TE"};

// Message box styles of the window: MB_SYSTEMMODAL with MB_ICONERROR or MB_ICONINFORMATION.
inline constexpr std::uint32_t kErrorBoxStyle = 0x1010;
inline constexpr std::uint32_t kNoticeBoxStyle = 0x1040;

// The autostart record and "Resume Password Logon" names live beside TAdvReg (power/AdvReg.h).

class TvmMainForm {
 public:
  // The construction: objects 1 to 7, the settings file, the variant, the language, the two
  // platform checks and the outlines. Throws what the framework's bitmap loading throws.
  TvmMainForm(const MainFormPorts& ports, IMainWindowView& view);
  ~TvmMainForm();
  TvmMainForm(const TvmMainForm&) = delete;
  TvmMainForm& operator=(const TvmMainForm&) = delete;

  // Framework events, in the framework's order.
  void FormCreate();
  void FormShow();
  void FormActivate();
  void FormClose();
  // The application-wide filter: true when the message was handled (not dispatched).
  bool vmApplicationEventsMessage(const QueuedMessage& message);

  // Look and languages.
  void ApplyLanguage();
  void BackgroundImageMouseDown(TMouseButton button);
  void MinimizeImageEnClick();
  // A key pressed in the window (repeat: held down, not newly pressed); true when handled.
  bool KeyDown(std::uint32_t key, bool shift, bool repeat);

  // Modes, Apply and Disable.
  void FastImageEnClick();
  void RegularImageEnClick();
  void DisableImageEnClick();
  void ApplyImageEnClick();
  void CloseImageEnClick();
  void ShowModeButtons();
  bool PrepareFastMode();
  bool PrepareRegularMode();
  // False when the logon task or the Run value could not be registered.
  bool EnableAutoStart();
  void DisableAutoStart();
  bool IsAutoStartOn();
  void HideToTray();

  // Idle timer, tray and session events.
  void vmTimerTimer();
  void RestoreFromTray();
  void vmTrayCloseClick();
  void ExitFromTray();
  // WM_QUERYENDSESSION: the answer (1).
  std::intptr_t QueryEndSession();
  // Explorer started again ("TaskbarCreated") and forgot the tray icon: it is added again; a
  // shell that refuses it gets the retrying icon.
  void TaskbarCreated();
  // WM_ENDSESSION: when the session really ends, the last the program hears before Windows ends
  // the process (no close and no destruction follow): the objects are released here.
  void EndSession(bool ending);
  // WM_POWERBROADCAST: the message result (always 0).
  std::intptr_t PowerBroadcast(std::uintptr_t event);
  bool CheckFastSuspend();
  bool CheckRegularSuspend();

  // Construction and release.
  bool OpenHardware();
  void ReleaseObjects();

  // The mode held by the settings object (0 when it does not exist).
  std::int32_t Mode() const;
  void SetMode(std::int32_t mode);
  ApplicationObjects& Objects() { return objects_; }
  TTrayIcon& TrayIcon() { return *vmTrayIcon_; }
  TTimer& Timer() { return vmTimer_; }

  // Start-up fields.
  bool StartFailed = false;
  bool RegularOnly = false;
  std::string ExeDir;
  TextSlots Slots;
  bool Applied = false;
  bool OwnSuspend = false;
  std::int32_t IdleTicks = 0;
  // Arming flags of the idle timer.
  bool HideOnNextTick = false;
  bool ShowTrayOnIdle = false;
  bool SuspendOnIdle = false;
  // The user brought the window back (tray, second start) and it has not gone to the tray since:
  // it stays, and no idle suspend starts while the user is there.
  bool ShownForUser = false;

 private:
  // Parts of the construction: the processor, platform and settings objects, the board
  // variant, the two platform checks, the outlines, and the buttons' pictures and handlers.
  void TellDriverRefused();
  void CreatePlatformObjects();
  void ChooseVariant();
  void CheckPlatform();
  void ShapeWindows();
  void LoadButtonPictures();
  void ConnectHandlers();
  void MoveFocus(bool backwards);
  void ShowErrorBox(int slot);
  void ShowNoticeBox(int slot);
  void ChooseMode(std::int32_t mode);
  void ShowApplyButton();
  void HideWindows();
  // Removes the autostart record, puts the password prompt on resume back and clears the
  // enable bit of the control byte.
  void TurnFeatureOff();
  void RestorePasswordOnResume();
  // Sets the enable bit of the control byte, and the Fast bit in the Fast mode.
  void MarkFeatureOn();
  // The Fast mode where S3 exists: the product scheme and the forced S3 on mains power.
  bool InstallFastScheme();
  // Replaces the tray icon by the retrying TTrayIconMod after the shell refused it.
  void ReplaceTrayIcon();
  void ConfigureTrayIcon(TTrayIcon& icon, const std::string& hint);
  // The idle suspend of mode 3 (sleep) or 4 (hibernation).
  void SuspendOnIdleTick();
  void OwnSuspendSequence(bool hibernate);
  // Windows refused the program's own suspend: nothing of it may stay behind.
  void SuspendRefused(bool hibernate);
  bool IsNt6Family() const;

  // The sleep states as TPowerMan::IsSleepStateSupported counts them: S3 exists once every device
  // driver is installed; S4 counts only with the hibernation file present.
  static constexpr int kStateS3 = 3;
  static constexpr int kStateS4 = 4;

  // Apply in the Fast mode without S3: bit 0x04 is set once the autostart is registered.
  bool fastBitOnApply_ = false;
  // Only the activation of the start itself arms the hide at the next tick.
  bool activatedBefore_ = false;

  MainFormPorts ports_;
  IMainWindowView& view_;
  ApplicationObjects objects_;
  std::unique_ptr<TTrayIcon> vmTrayIcon_;
  TTimer vmTimer_;
  // The picture BackgroundImage shows, kept only until the window's outline is cut from it (the
  // view keeps its own copy to paint).
  TPicture backgroundPicture_;
};

}  // namespace velmora
