// The main window's construction, its framework events and the release of the application-wide
// objects, the application-wide message filter, and the window's message boxes.
#include <algorithm>
#include <utility>

#include "app/FeatureOff.h"
#include "app/InstanceProtocol.h"
#include "app/MainWindowLayout.h"
#include "app/vmMainForm.h"
#include "power/SettingsFile.h"

namespace velmora {
namespace {

using ClickHandler = void (TvmMainForm::*)();

constexpr std::pair<MainButton, ClickHandler> kClickHandlers[] = {
    {MainButton::kClose, &TvmMainForm::CloseImageEnClick},
    {MainButton::kMinimize, &TvmMainForm::MinimizeImageEnClick},
    {MainButton::kDisable, &TvmMainForm::DisableImageEnClick},
    {MainButton::kApply, &TvmMainForm::ApplyImageEnClick},
    {MainButton::kFast, &TvmMainForm::FastImageEnClick},
    {MainButton::kRegular, &TvmMainForm::RegularImageEnClick},
};

constexpr std::pair<MainButton, layout::pictures::ButtonPictures> kButtonPictures[] = {
    {MainButton::kClose, layout::pictures::kClose},
    {MainButton::kMinimize, layout::pictures::kMinimize},
    {MainButton::kDisable, layout::pictures::kDisable},
    {MainButton::kApply, layout::pictures::kApply},
    {MainButton::kFast, layout::pictures::kFast},
    {MainButton::kRegular, layout::pictures::kRegular},
};

// The panels clipped to their buttons' pictures, in the order they are shaped.
constexpr MainButton kClippedPanels[] = {MainButton::kClose, MainButton::kMinimize,
                                         MainButton::kApply, MainButton::kDisable,
                                         MainButton::kFast,  MainButton::kRegular};

constexpr std::uint32_t kTimerIntervalMs = 1000;

// Where the file name of a path starts: after its last '\', '/' or drive colon.
std::size_t FileNameStart(const std::string& path) {
  const std::size_t delimiter = path.find_last_of("\\/:");
  return delimiter == std::string::npos ? 0 : delimiter + 1;
}

// The folder of a path, with its trailing delimiter.
std::string FolderOf(const std::string& path) {
  return path.substr(0, FileNameStart(path));
}

void LoadImageEnPictures(IPictures& pictures, TImageEn& button,
                         const layout::pictures::ButtonPictures& names) {
  button.SetNormalPicture(pictures.LoadBitmap(names.normal));
  button.SetFocusPicture(pictures.LoadBitmap(names.focus));
  button.SetDownPicture(pictures.LoadBitmap(names.down));
  if (!names.active.empty()) button.SetActivePicture(pictures.LoadBitmap(names.active));
  button.ShowPicture(button.NormalPicture());
}

// The view's buttons outlive the form: nothing may call back into a form that is gone.
void DisconnectHandlers(IMainWindowView& view) {
  for (const auto& [button, handler] : kClickHandlers) view.Button(button).OnClick = nullptr;
}

bool IsRegularOnlyBoard(const std::string& boardName) {
  return std::any_of(std::begin(kRegularOnlyBoards), std::end(kRegularOnlyBoards),
                     [&](const char* board) { return boardName == board; });
}

}  // namespace

TvmMainForm::TvmMainForm(const MainFormPorts& ports, IMainWindowView& view)
    : ports_(ports), view_(view), vmTimer_(ports.timers) {
  vmTimer_.SetEnabled(false);
  vmTimer_.SetInterval(kTimerIntervalMs);
  vmTimer_.SetOnTimer([this] { vmTimerTimer(); });
  vmTrayIcon_ = std::make_unique<TTrayIcon>(ports_.tray);
  ConfigureTrayIcon(*vmTrayIcon_, "");
  Slots = TextSlots{};
  ExeDir.clear();
  try {
    LoadButtonPictures();
    ConnectHandlers();
    StartFailed = !OpenHardware();
    if (StartFailed) TellDriverRefused();
    if (!StartFailed) {
      CreatePlatformObjects();
      ChooseVariant();
      ApplyLanguage();
      CheckPlatform();
      if (!StartFailed) ShapeWindows();
    }
  } catch (...) {
    // A picture that cannot be loaded ends the construction; the objects made so far still go
    // in their fixed order.
    DisconnectHandlers(view_);
    ReleaseObjects();
    throw;
  }
  Applied = false;
  OwnSuspend = false;
  // The outline is cut once; a resident program should not carry a second copy of the picture.
  backgroundPicture_ = TPicture{};
}

TvmMainForm::~TvmMainForm() {
  DisconnectHandlers(view_);
  ReleaseObjects();
}

bool TvmMainForm::OpenHardware() {
  const std::string modulePath = ports_.process.GetModuleFileNameA();
  // The configuration object reads the file once and never writes it back; it finds the
  // program's folder (for its debug log) from the file's own path.
  objects_.InitFile = std::make_unique<TInitFile>(ConfigurationFileOf(modulePath), ports_.files,
                                                  ports_.codePage, ports_.system);
  objects_.ReadWrite = std::make_unique<TReadWrite>(*objects_.InitFile, ports_.hardware);
  return objects_.ReadWrite->DeviceHandle() != kInvalidHandleValue;
}

// Windows refused the driver's image: a reinstall cannot help, and an autostart would only
// bring this message back at every logon, so it goes.
void TvmMainForm::TellDriverRefused() {
  const std::uint32_t refusal = objects_.ReadWrite->RefusedByWindows();
  if (refusal == 0) return;
  Slots = ChooseTextSlots(ports_.resources, ports_.locale.GetUserDefaultLangID());
  ShowErrorBox(refusal == win::kErrorDriverBlocked ? kSlotDriverBlocked : kSlotDriverNotTrusted);
  DisableAutoStart();
}

void TvmMainForm::CreatePlatformObjects() {
  objects_.Cpu = std::make_unique<TCpu>(*objects_.ReadWrite);
  objects_.ZlkSpec = std::make_unique<TZlkSpec>(*objects_.ReadWrite, *objects_.InitFile,
                                                *objects_.Cpu, ports_.codePage);
  ExeDir = FolderOf(ports_.process.GetModuleFileNameA());
  const std::string settingsPath =
      ChooseSettingsFile(*objects_.InitFile, objects_.ZlkSpec->BoardName, ExeDir, ports_.files);
  objects_.Cfg = std::make_unique<TCfg>(ports_.profiles, settingsPath);
}

void TvmMainForm::ChooseVariant() {
  RegularOnly = IsRegularOnlyBoard(objects_.ZlkSpec->BoardName);
  if (!RegularOnly) return;
  view_.SetPanelVisible(MainButton::kFast, false);
  view_.SetPanelTop(MainButton::kRegular, layout::kRegularOnlyRegularTop);
}

void TvmMainForm::CheckPlatform() {
  if (!objects_.ZlkSpec->IsMakerBoard) {
    ShowErrorBox(8);
    StartFailed = true;
  }
  if (!objects_.ZlkSpec->HasControlEntry) {
    ShowErrorBox(7);
    StartFailed = true;
  }
}

void TvmMainForm::ShapeWindows() {
  objects_.ImageControl = std::make_unique<TImageControl>(ports_.regions);
  TImageControl& outline = *objects_.ImageControl;
  outline.ShapeForm(view_.MainWindow(), backgroundPicture_, outline.KeyColor);
  for (MainButton panel : kClippedPanels) {
    const RegionHandle region = outline.ControlRegion(view_.Button(panel).Picture());
    if (region == 0) continue;
    // A window that refuses the region leaves it with us.
    if (ports_.regions.SetWindowRgn(view_.PanelWindow(panel), region, true) == 0) {
      ports_.regions.DeleteObject(region);
    }
  }
  IdleTicks = 0;
  objects_.CpuUsage = std::make_unique<TCpuUsage>(ports_.system);
}

void TvmMainForm::LoadButtonPictures() {
  for (const auto& [button, names] : kButtonPictures) {
    LoadImageEnPictures(ports_.pictures, view_.Button(button), names);
  }
  backgroundPicture_ = ports_.pictures.LoadBitmap(layout::pictures::kBackground);
  view_.ShowBackground(backgroundPicture_);
  view_.ShowNonApplyPicture(ports_.pictures.LoadBitmap(layout::pictures::kNonApply));
}

void TvmMainForm::ConnectHandlers() {
  for (const auto& [button, handler] : kClickHandlers) {
    TImageEn& imageEn = view_.Button(button);
    imageEn.OnClick = [this, handler = handler](TImageEn&) { (this->*handler)(); };
    imageEn.OnMouseRepeatClick = nullptr;
    imageEn.DelayBeforeRepeat = layout::kDelayBeforeRepeat;
    imageEn.ClickRepeatRate = layout::kClickRepeatRate;
  }
}

void TvmMainForm::FormCreate() {
  if (StartFailed) {
    ReleaseObjects();
    view_.Terminate();
    return;
  }
  view_.SetDoubleBuffered(true);
}

void TvmMainForm::FormShow() {
  // A refused start shows nothing; a later showing keeps the objects of the first one.
  if (StartFailed) return;
  if (!objects_.AdvReg) {
    objects_.AdvReg =
        std::make_unique<TAdvReg>(ports_.registry, ports_.process.GetModuleFileNameA());
  }
  if (!objects_.PowerMan)
    objects_.PowerMan = std::make_unique<TPowerMan>(ports_.tokens, ports_.power);
}

void TvmMainForm::FormClose() {
  ReleaseObjects();
}

void TvmMainForm::ReleaseObjects() {
  objects_.CpuUsage.reset();
  objects_.ZlkSpec.reset();
  objects_.Cpu.reset();
  objects_.AdvReg.reset();
  objects_.PowerMan.reset();
  objects_.ImageControl.reset();
  objects_.Cfg.reset();        // writes the mode
  objects_.ReadWrite.reset();  // closes the driver and removes its service
  objects_.InitFile.reset();   // last, so the driver client's last lines reach the log
}

bool TvmMainForm::vmApplicationEventsMessage(const QueuedMessage& message) {
  switch (message.message) {
    case MSG_SHUTDOWN_INSTANCE:
      TurnFeatureOff();
      view_.Close();
      return true;
    case MSG_SHOW_INSTANCE:
      RestoreFromTray();
      view_.SetForegroundWindow(view_.MainWindow());
      return true;
    default:
      return false;
  }
}

void TvmMainForm::ShowErrorBox(int slot) {
  ports_.messages.MessageBoxA(0, Slots.at(slot - 1), Slots[0], kErrorBoxStyle);
}

void TvmMainForm::ShowNoticeBox(int slot) {
  ports_.messages.MessageBoxA(0, Slots.at(slot - 1), Slots[0], kNoticeBoxStyle);
}

std::int32_t TvmMainForm::Mode() const {
  return objects_.Cfg ? objects_.Cfg->Mode : TCfg::kModeNone;
}

void TvmMainForm::SetMode(std::int32_t mode) {
  if (objects_.Cfg) objects_.Cfg->Mode = mode;
}

void TvmMainForm::ConfigureTrayIcon(TTrayIcon& icon, const std::string& hint) {
  icon.Window = view_.TrayWindow();
  icon.CallbackMessage = view_.TrayCallbackMessage();
  icon.Icon = view_.TrayIconImage();
  icon.Hint = hint;
}

bool TvmMainForm::IsNt6Family() const {
  return velmora::IsNt6Family(objects_.InitFile.get());
}

}  // namespace velmora
