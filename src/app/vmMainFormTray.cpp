// Life in the notification area: arming at each activation, the one-second idle timer that
// hides the window, shows the tray icon and finally puts the machine to sleep or into
// hibernation, the tray menu, and the answers to the shut-down query and the power broadcasts.
//
// The firmware asks for the idle suspend with bit 0x10 of its control byte. Before suspending
// itself the program sets bit 0x01 (sleep) or 0x02 (hibernation) so the firmware can tell the
// program's own suspend from the user's; a suspend the program did not start clears them.
#include <limits>
#include <memory>

#include "app/vmMainForm.h"
#include "config/DebugLog.h"
#include "controls/TrayIconMod.h"

namespace velmora {

namespace {

// The replacement icon's hint is this English text whatever the user's language.
constexpr char kReplacementTrayHint[] = "Zelkor Velmora";

// The text with its "%s" replaced by the number.
std::string WithNumber(std::string text, const std::string& number) {
  const std::size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, number);
  return text;
}

void ClearPendingBits(TZlkSpec* spec) {
  if (!spec) return;
  spec->ClearSleepPending();
  spec->ClearHibernatePending();
}

}  // namespace

// The start's activation with autostart on sends the window to the tray at the next tick. Any
// later activation is the user's (a restore, a second start, a click back from another
// program): it arms nothing, or the window would vanish under the user's hands a second later.
void TvmMainForm::FormActivate() {
  if (StartFailed) return;
  const bool startActivation = !activatedBefore_;
  activatedBefore_ = true;
  HideOnNextTick = false;
  ShowTrayOnIdle = false;
  ShowModeButtons();
  if (IsAutoStartOn()) {
    MarkFeatureOn();
    ShowApplyButton();
    if (startActivation) {
      HideOnNextTick = true;
      ShowTrayOnIdle = true;
      vmTimer_.SetEnabled(true);
    }
  }
  if (startActivation) SuspendOnIdle = false;
  TZlkSpec* spec = objects_.ZlkSpec.get();
  if (spec && spec->IsBootRequest()) {
    spec->ClearBootRequest();
    SuspendOnIdle = true;
    vmTimer_.SetEnabled(true);
  }
}

void TvmMainForm::vmTimerTimer() {
  if (!objects_.CpuUsage || !objects_.Cfg) {
    vmTimer_.SetEnabled(false);  // the objects are gone: nothing left to wait for
    return;
  }
  const std::int64_t load = objects_.CpuUsage->GetUsage();
  if (ShownForUser) {
    IdleTicks = 0;  // the user is at the window; the count starts when it goes back to the tray
    return;
  }
  if (load < objects_.Cfg->IdlePercentage) {
    if (IdleTicks < std::numeric_limits<std::int32_t>::max()) ++IdleTicks;
  } else {
    IdleTicks = 0;
  }
  if (HideOnNextTick) {
    HideOnNextTick = false;
    HideWindows();
  }
  if (IdleTicks <= objects_.Cfg->IdleCount) return;
  vmTimer_.SetEnabled(false);
  IdleTicks = 0;
  if (ShowTrayOnIdle) {
    ShowTrayOnIdle = false;
    if (!vmTrayIcon_ || !vmTrayIcon_->SetVisible(true)) {
      // Right after logon the taskbar may not exist yet: wait on the overlay, then leave the
      // icon to the component that retries until the shell takes it.
      view_.ShowOverlayModal();
      ShowTrayOnIdle = true;
      ReplaceTrayIcon();
      vmTrayIcon_->SetVisible(true);
    }
  }
  if (SuspendOnIdle) {
    SuspendOnIdle = false;
    SuspendOnIdleTick();
  }
}

void TvmMainForm::ReplaceTrayIcon() {
  vmTrayIcon_.reset();
  auto icon = std::make_unique<TTrayIconMod>(ports_.tray, ports_.timers);
  ConfigureTrayIcon(*icon, kReplacementTrayHint);
  vmTrayIcon_ = std::move(icon);
}

void TvmMainForm::SuspendOnIdleTick() {
  const std::int32_t mode = Mode();
  if (mode == TCfg::kModeFast) {
    if (CheckFastSuspend()) OwnSuspendSequence(false);
  } else if (mode == TCfg::kModeRegular) {
    if (CheckRegularSuspend()) OwnSuspendSequence(true);
  }
}

// The password prompt on resume would stop the fast start at the logon screen: its state is
// kept under "Resume Password Logon" and the prompt switched off before the program suspends.
void TvmMainForm::OwnSuspendSequence(bool hibernate) {
  TPowerMan* power = objects_.PowerMan.get();
  if (!power) return;
  OwnSuspend = true;
  const std::uint32_t passwordFlag = power->ReadPasswordOnResume();
  if (objects_.AdvReg) {
    objects_.AdvReg->WriteUserDword(kVelmoraUserKey, kResumePasswordLogonValue,
                                    static_cast<std::int32_t>(passwordFlag));
  }
  power->ClearPasswordOnResume();
  if (TZlkSpec* spec = objects_.ZlkSpec.get()) {
    if (hibernate) {
      spec->SetHibernatePending();
    } else {
      spec->SetSleepPending();
    }
  }
  // Blocks until the machine is back (or returns at once when Windows refuses).
  const bool suspended = power->SuspendSystem(hibernate);
  OwnSuspend = false;
  if (!suspended) SuspendRefused(hibernate);
}

// The pending bit would tell the firmware a suspend of the program's is under way, and the
// password prompt would stay off for nothing; the user hears of it once, in the tray.
void TvmMainForm::SuspendRefused(bool hibernate) {
  const std::string error = std::to_string(objects_.PowerMan->LastSuspendError());
  DebugLogWrite("SetSuspendState fail, error = " + error);
  if (TZlkSpec* spec = objects_.ZlkSpec.get()) {
    if (hibernate) {
      spec->ClearHibernatePending();
    } else {
      spec->ClearSleepPending();
    }
  }
  RestorePasswordOnResume();
  if (vmTrayIcon_) {
    vmTrayIcon_->ShowBalloon(Slots[kSlotTitle - 1],
                             WithNumber(Slots[kSlotSuspendRefused - 1], error));
  }
}

// Without S3 installing drivers helps unless the PC is a Modern Standby one, which never has S3.
bool TvmMainForm::CheckFastSuspend() {
  if (!objects_.PowerMan) return false;
  if (!objects_.PowerMan->IsSleepStateSupported(kStateS3)) {
    ShowNoticeBox(objects_.PowerMan->IsModernStandby() ? kSlotNoS3ModernStandby
                                                       : kSlotInstallDrivers);
    return false;
  }
  return InstallFastScheme();
}

bool TvmMainForm::CheckRegularSuspend() {
  if (!objects_.PowerMan) return false;
  if (!objects_.PowerMan->IsSleepStateSupported(kStateS4)) {
    ShowNoticeBox(kSlotEnableHibernate);
    return false;
  }
  return true;
}

void TvmMainForm::RestoreFromTray() {
  ShownForUser = true;
  HideOnNextTick = false;
  if (vmTrayIcon_) vmTrayIcon_->SetVisible(false);
  view_.ShowWindow(view_.ApplicationWindow(), win::kSwShowNormal);
  view_.ShowWindow(view_.MainWindow(), win::kSwShowNormal);
}

void TvmMainForm::vmTrayCloseClick() {
  TurnFeatureOff();
  ExitFromTray();
}

// Hiding an icon that is not shown asks nothing of the shell; it also stops a retrying icon
// that is still waiting for the shell, so it cannot appear while the program ends.
void TvmMainForm::ExitFromTray() {
  if (vmTrayIcon_) vmTrayIcon_->SetVisible(false);
  view_.Close();
}

// The firmware finds the feature on (and the Fast mode) in its control byte at the next start.
void TvmMainForm::MarkFeatureOn() {
  TZlkSpec* spec = objects_.ZlkSpec.get();
  if (!spec) return;
  if (Mode() == TCfg::kModeFast) spec->SetFastMode();
  spec->SetEnabled();
}

void TvmMainForm::TaskbarCreated() {
  if (!vmTrayIcon_ || !vmTrayIcon_->Visible()) return;  // hidden, or a retry already under way
  if (vmTrayIcon_->ShellRestarted()) return;
  ReplaceTrayIcon();
  vmTrayIcon_->SetVisible(true);
}

// Released in their fixed order: the settings write the mode, the driver client stops and
// deletes the driver's service (it would otherwise stay registered after every shut-down).
void TvmMainForm::EndSession(bool ending) {
  if (!ending) return;
  vmTimer_.SetEnabled(false);
  ReleaseObjects();
}

std::intptr_t TvmMainForm::QueryEndSession() {
  if (IsAutoStartOn()) MarkFeatureOn();
  if (objects_.Cfg) objects_.Cfg->SaveMode();
  return 1;  // Windows may go on with the log-off or shut-down
}

std::intptr_t TvmMainForm::PowerBroadcast(std::uintptr_t event) {
  if (event == win::kPbtApmSuspend) {
    // The program's own suspend keeps its bit for the firmware to see.
    if (!OwnSuspend) ClearPendingBits(objects_.ZlkSpec.get());
  } else if (event == win::kPbtApmResumeSuspend) {
    ClearPendingBits(objects_.ZlkSpec.get());
    HideToTray();
  }
  return 0;
}

}  // namespace velmora
