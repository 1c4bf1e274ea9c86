// The mode buttons, Apply and Disable, the autostart record and the way to the tray.
//
// Apply prepares the chosen mode (power scheme and forced S3 for Fast, the hibernation switch
// for Regular), registers the program to start at logon, sets the enable bit of the firmware's
// control byte and hides the window; without the autostart the feature cannot work, so an
// autostart that cannot be registered fails Apply with the control byte left as it was.
// Disable followed by Apply, and Close before anything was applied, turn the feature off again
// and end the program; the one power setting they restore is the password prompt on resume the
// idle suspend switched off.
#include <optional>

#include "app/FeatureOff.h"
#include "app/vmMainForm.h"
#include "power/LogonTask.h"

namespace velmora {

namespace {

// The window's registry object once FormShow created it. Before that (an uninstaller's shutdown
// message can arrive first) an object of the same stateless kind stands in, so the autostart
// record is still written.
TAdvReg& RegistryAccess(ApplicationObjects& objects, std::optional<TAdvReg>& standIn,
                        IRegistry& registry, IProcess& process) {
  if (objects.AdvReg) return *objects.AdvReg;
  return standIn.emplace(registry, process.GetModuleFileNameA());
}

}  // namespace

void TvmMainForm::FastImageEnClick() {
  ChooseMode(TCfg::kModeFast);
}

void TvmMainForm::RegularImageEnClick() {
  ChooseMode(TCfg::kModeRegular);
}

void TvmMainForm::ChooseMode(std::int32_t mode) {
  view_.Button(MainButton::kDisable).SetStatus(ImageEnNormal);
  SetMode(mode);
  ShowModeButtons();
}

// Apply stands where the inactive picture was; only one of the two is ever shown.
void TvmMainForm::ShowApplyButton() {
  view_.SetNonApplyVisible(false);
  view_.SetPanelVisible(MainButton::kApply, true);
}

void TvmMainForm::ShowModeButtons() {
  const std::int32_t mode = Mode();
  if (mode != TCfg::kModeFast && mode != TCfg::kModeRegular) return;
  const bool fast = mode == TCfg::kModeFast;
  view_.Button(MainButton::kFast).SetStatus(fast ? ImageEnActive : ImageEnNormal);
  view_.Button(MainButton::kRegular).SetStatus(fast ? ImageEnNormal : ImageEnActive);
  ShowApplyButton();
}

void TvmMainForm::DisableImageEnClick() {
  view_.Button(MainButton::kDisable).SetStatus(ImageEnActive);
  view_.Button(MainButton::kFast).SetStatus(ImageEnNormal);
  view_.Button(MainButton::kRegular).SetStatus(ImageEnNormal);
  SetMode(TCfg::kModeNone);
  ShowApplyButton();
}

void TvmMainForm::ApplyImageEnClick() {
  if (view_.Button(MainButton::kDisable).Status() == ImageEnActive) {
    // Turning the feature off; mode 0 reaches the settings file when TCfg is released.
    TurnFeatureOff();
    view_.Close();
    return;
  }
  const std::int32_t mode = Mode();
  fastBitOnApply_ = false;
  if (mode == TCfg::kModeFast && !PrepareFastMode()) return;
  if (mode == TCfg::kModeRegular && !PrepareRegularMode()) return;
  if (!EnableAutoStart()) {
    ShowErrorBox(kSlotCannotEnable);
    return;
  }
  view_.Button(MainButton::kDisable).SetStatus(ImageEnNormal);
  Applied = true;
  if (objects_.ZlkSpec) {
    if (fastBitOnApply_) objects_.ZlkSpec->SetFastMode();
    objects_.ZlkSpec->SetEnabled();
  }
  HideToTray();
}

void TvmMainForm::CloseImageEnClick() {
  if (Applied) {
    HideToTray();
    return;
  }
  TurnFeatureOff();
  view_.Close();
}

void TvmMainForm::TurnFeatureOff() {
  DisableAutoStart();
  RestorePasswordOnResume();
  if (objects_.ZlkSpec) objects_.ZlkSpec->ClearEnabled();
}

void TvmMainForm::RestorePasswordOnResume() {
  if (!objects_.PowerMan) return;
  std::optional<TAdvReg> standIn;
  velmora::RestorePasswordOnResume(
      RegistryAccess(objects_, standIn, ports_.registry, ports_.process), *objects_.PowerMan);
}

// Without S3 the firmware does the fast start on its own; it learns the mode from bit 0x04,
// which Apply sets once the autostart is registered. With S3, the product scheme goes in and
// every sleep on mains power is forced to be S3.
bool TvmMainForm::PrepareFastMode() {
  if (!objects_.PowerMan) return false;
  if (!objects_.PowerMan->IsSleepStateSupported(kStateS3)) {
    fastBitOnApply_ = true;
    return true;
  }
  return InstallFastScheme();
}

bool TvmMainForm::InstallFastScheme() {
  TPowerMan& power = *objects_.PowerMan;
  if (IsNt6Family()) {
    if (!power.ActivateImportedScheme(kProductSchemeName, PowerSchemeFilePath(ExeDir))) {
      ShowErrorBox(2);
      return false;
    }
  } else {
    std::uint32_t index = kLegacySchemeIndex;
    if (!power.WriteLegacyScheme(index, kProductSchemeName, kProductSchemeDescription)) {
      ShowErrorBox(3);
      return false;
    }
  }
  if (!power.SetAcSleepState(kFastSleepState)) {
    ShowErrorBox(4);
    return false;
  }
  return true;
}

// Hibernation off: XP switches it on at the next boot from the "Heuristics" registry byte;
// Vista and later ignore that byte and take hiberfil.sys from the power manager instead, which
// may refuse (no S4 in the firmware): Apply then fails. Windows 10 may make a reduced file,
// which serves only its fast startup: the mode is prepared, and the user told how to make the
// file a full one.
bool TvmMainForm::PrepareRegularMode() {
  if (!objects_.PowerMan) return false;
  TPowerMan& power = *objects_.PowerMan;
  if (power.IsSleepStateSupported(kStateS4)) return true;
  if (!IsNt6Family()) {
    std::optional<TAdvReg> standIn;
    RegistryAccess(objects_, standIn, ports_.registry, ports_.process).EnableHibernation();
    return true;
  }
  if (!power.HasReducedHibernationFile() && !power.ReserveHibernationFile()) {
    ShowErrorBox(kSlotCannotEnable);
    return false;
  }
  if (power.HasReducedHibernationFile()) ShowNoticeBox(kSlotReducedHibernationFile);
  return true;
}

// Vista and later: a logon task (a Run value would start the program without the rights the
// driver needs). Earlier Windows: the current user's Run value. "AutoRun" says 1 only once the
// entry is registered.
bool TvmMainForm::EnableAutoStart() {
  std::optional<TAdvReg> standIn;
  TAdvReg& registry = RegistryAccess(objects_, standIn, ports_.registry, ports_.process);
  const bool registered = IsNt6Family() ? RegisterLogonTask(ports_.tasks, kAutoStartName,
                                                            ports_.process.GetModuleFileNameA())
                                        : registry.AddRunValue(kAutoStartName);
  if (!registered) return false;
  registry.WriteUserDword(kVelmoraUserKey, kAutoRunValue, 1);
  return true;
}

void TvmMainForm::DisableAutoStart() {
  std::optional<TAdvReg> standIn;
  RemoveAutoStart(RegistryAccess(objects_, standIn, ports_.registry, ports_.process), ports_.tasks,
                  IsNt6Family());
}

bool TvmMainForm::IsAutoStartOn() {
  std::optional<TAdvReg> standIn;
  TAdvReg& registry = RegistryAccess(objects_, standIn, ports_.registry, ports_.process);
  return registry.ReadUserDword(kVelmoraUserKey, kAutoRunValue) != 0;
}

// The plain icon fails when the shell refuses it; the window must not vanish without an icon,
// so the retrying icon takes its place and shows itself as soon as the shell is ready.
void TvmMainForm::HideToTray() {
  if (!vmTrayIcon_ || !vmTrayIcon_->SetVisible(true)) {
    ReplaceTrayIcon();
    vmTrayIcon_->SetVisible(true);
  }
  HideWindows();
}

// Back in the tray: the idle count, held at zero while the user had the window, runs again.
void TvmMainForm::HideWindows() {
  ShownForUser = false;
  view_.ShowWindow(view_.ApplicationWindow(), win::kSwHide);
  view_.ShowWindow(view_.MainWindow(), win::kSwHide);
}

}  // namespace velmora
