#include "MainFormTestSupport.h"

namespace velmora::mainformtest {

WindowHandle PanelWindowOf(MainButton button) {
  return kFirstPanelWindow + static_cast<WindowHandle>(Index(button));
}

layout::Placement PlacementOf(MainButton button) {
  switch (button) {
    case MainButton::kClose:
      return layout::kCloseBtnPanel;
    case MainButton::kMinimize:
      return layout::kMinimizeBtnPanel;
    case MainButton::kDisable:
      return layout::kDisableBtnPanel;
    case MainButton::kApply:
      return layout::kApplyBtnPanel;
    case MainButton::kFast:
      return layout::kFastBtnPanel;
    case MainButton::kRegular:
      return layout::kRegularBtnPanel;
  }
  return {};
}

void RecordingDisplay::ShowPicture(const IPictureCanvas& picture, int width, int height) {
  ++shows;
  shown.Assign(picture);
  this->width = width;
  this->height = height;
}

// No repeat thread can be created: the buttons never repeat and never block.
class RecordingMainView::NoThreads : public IThreads {
 public:
  ThreadHandle CreateSuspendedThread(std::function<void()>) override { return 0; }
  void ResumeThread(ThreadHandle) override {}
  void SuspendThread(ThreadHandle) override {}
  void Sleep(std::uint32_t) override {}
  void WaitForThreadAndClose(ThreadHandle) override {}
};

class RecordingMainView::NoSentMessages : public ISentMessages {
 public:
  std::intptr_t SendMessageW(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) override {
    return 0;
  }
};

RecordingMainView::RecordingMainView(ITickCount& ticks)
    : threads_(std::make_unique<NoThreads>()), messages_(std::make_unique<NoSentMessages>()) {
  for (MainButton button : kAllButtons) {
    const int i = Index(button);
    buttons_[i] =
        std::make_unique<TImageEn>(TImageEnPorts{displays_[i], *threads_, ticks, *messages_});
    buttons_[i]->SetHandle(PanelWindowOf(button));
    panelVisible[i] = button != MainButton::kApply;
    panelTop[i] = PlacementOf(button).top;
  }
}

RecordingMainView::~RecordingMainView() = default;

void RecordingMainView::ShowBackground(const TPicture& picture) {
  ++backgroundShows;
  background = picture;
}

void RecordingMainView::ShowNonApplyPicture(const TPicture& picture) {
  ++nonApplyShows;
  nonApplyPicture = picture;
}

void RecordingMainView::SetPanelVisible(MainButton panel, bool visible) {
  panelVisible[Index(panel)] = visible;
}

void RecordingMainView::ShowWindow(WindowHandle window, int command) {
  showWindowCalls.push_back({window, command});
  const bool visible = command != win::kSwHide;
  if (window == kMainWindow) mainVisible = visible;
  if (window == kApplicationWindow) applicationVisible = visible;
}

std::intptr_t RecordingMainView::SendMessageA(WindowHandle window, std::uint32_t message,
                                              std::uintptr_t wParam, std::intptr_t lParam) {
  events.push_back("SendMessageA");
  sent.push_back({window, message, wParam, lParam});
  return 0;
}

void RecordingMainView::Close() {
  events.push_back("Close");
  ++closes;
  if (onClose) onClose();
  loopEnded = true;
}

void RecordingMainView::Terminate() {
  events.push_back("Terminate");
  ++terminates;
  loopEnded = true;
}

void RecordingMainView::SetTrayMenuCaptions(const std::string& restore, const std::string& exit) {
  trayRestoreCaption = restore;
  trayExitCaption = exit;
}

void RecordingMainView::ShowOverlayModal() {
  events.push_back("ShowOverlayModal");
  ++overlayShows;
  if (onOverlay) onOverlay();
}

bool RecordingMainView::WindowVisible(WindowHandle window) const {
  if (window == kMainWindow) return mainVisible;
  if (window == kApplicationWindow) return applicationVisible;
  return false;
}

bool RecordingMainView::AnythingShown() const {
  for (const ShowWindowCall& call : showWindowCalls) {
    if (call.command != win::kSwHide) return true;
  }
  return !foreground.empty() || overlayShows != 0;
}

sim::BoardDescription BoardNamed(const std::string& baseboardProduct) {
  sim::BoardDescription description = sim::DefaultBoardDescription();
  description.name = baseboardProduct;
  description.smbios.identity.baseboardProduct = baseboardProduct;
  return description;
}

sim::BoardDescription BoardWithoutMakerDevice() {
  sim::BoardDescription description = sim::DefaultBoardDescription();
  for (sim::PciFunctionDescription& function : description.pciFunctions) {
    function.subsystemVendorId = 0x8086;
  }
  return description;
}

sim::BoardDescription BoardWithoutControlEntry() {
  sim::BoardDescription description = sim::DefaultBoardDescription();
  description.acpi.qvzxEntries = {sim::QvzxEntry{1, {0x01, 0x00}}};
  return description;
}

RigSetup XpSetup() {
  RigSetup setup;
  setup.release = sim::WindowsXpX86();
  setup.power = sim::WindowsXpDesktop();
  return setup;
}

const sim::SimResources& CompiledResources() {
  static const std::optional<sim::SimResources> compiled =
      sim::SimResources::FromResFile(VELMORA_TEST_RES);
  if (!compiled) throw std::runtime_error(std::string("cannot read ") + VELMORA_TEST_RES);
  return *compiled;
}

MainFormRig::MainFormRig(RigSetup setup)
    : board(setup.board),
      startup(board, setup.release, setup.ini),
      process(processes, std::string("\"") + sim::kSimProgramFolder + "Velmora.exe\"",
              std::string(sim::kSimProgramFolder) + "Velmora.exe"),
      profiles(startup.world.files, startup.codePage),
      power(std::move(setup.power)),
      resources(CompiledResources()),
      pictures(VELMORA_SKIN_DIR),
      locale(setup.language),
      view(timers) {
  power.privilegeEnabled = [this](const std::string& name) { return tokens.IsEnabled(name); };
}

MainFormRig::~MainFormRig() {
  form.reset();
}

void MainFormRig::FailDriverOpen() {
  startup.world.services.FailCreate(5);  // ERROR_ACCESS_DENIED
}

void MainFormRig::SetProgramFile(const std::string& name, const std::string& contents) {
  startup.world.files.SetFile(sim::kSimProgramFolder + name, contents);
}

std::optional<std::string> MainFormRig::ProgramFile(const std::string& name) const {
  return startup.world.files.Contents(sim::kSimProgramFolder + name);
}

MainFormPorts MainFormRig::Ports() {
  sim::SimDriverWorld& world = startup.world;
  return MainFormPorts{
      process,
      world.io,
      startup.codePage,
      world.system,
      HardwarePorts{DriverHost{driverFilesPort ? *driverFilesPort : world.io, world.services,
                               world.system, world.messages},
                    world.memory, startup.processor},
      profilesPort ? *profilesPort : profiles,
      registry,
      tasks,
      tokensPort ? *tokensPort : tokens,
      power,
      regions,
      resources,
      pictures,
      locale,
      world.messages,
      tray,
      timers,
  };
}

TvmMainForm& MainFormRig::MakeForm() {
  form.reset();
  form = std::make_unique<TvmMainForm>(Ports(), view);
  view.onClose = [this] {
    if (form) form->FormClose();
  };
  return *form;
}

TvmMainForm& MainFormRig::Start() {
  TvmMainForm& made = MakeForm();
  made.FormCreate();
  if (!view.loopEnded) {
    made.FormShow();
    made.FormActivate();
  }
  return made;
}

std::optional<std::uint32_t> MainFormRig::AutoRun() const {
  return registry.Dword(reg::kHkeyCurrentUser, "Software\\Zelkor\\Velmora", "AutoRun");
}

}  // namespace velmora::mainformtest
