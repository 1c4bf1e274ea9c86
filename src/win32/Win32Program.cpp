#include "win32/Win32Program.h"

#include <memory>

#include "app/ProgramEntry.h"
#include "app/TurnOffWithoutWindow.h"
#include "app/vmMainForm.h"
#include "config/DebugLog.h"
#include "win32/Win32Application.h"
#include "win32/Win32Files.h"
#include "win32/Win32Locale.h"
#include "win32/Win32MessageBox.h"
#include "win32/Win32Pictures.h"
#include "win32/Win32PowerLibrary.h"
#include "win32/Win32Process.h"
#include "win32/Win32ProcessMemory.h"
#include "win32/Win32Processor.h"
#include "win32/Win32ProfileFiles.h"
#include "win32/Win32Regions.h"
#include "win32/Win32Registry.h"
#include "win32/Win32Resources.h"
#include "win32/Win32ServiceControl.h"
#include "win32/Win32ShellTray.h"
#include "win32/Win32SystemInfo.h"
#include "win32/Win32TaskScheduler.h"
#include "win32/Win32Timers.h"
#include "win32/Win32Token.h"

namespace velmora::win32 {
namespace {

// Every Win32 adapter of the program, one each. They outlive the application and its form.
struct Win32Adapters {
  explicit Win32Adapters(HINSTANCE instance) : pictures(instance) {}

  Win32Process process;
  Win32Files files;
  Win32AnsiCodePage codePage;
  Win32SystemInfo system;
  Win32ServiceControl services;
  Win32MessageBox messages;
  Win32ProcessMemory memory;
  Win32Processor processor;
  Win32ProfileFiles profiles;
  Win32Registry registry;
  Win32TaskScheduler tasks;
  Win32Token tokens;
  Win32PowerLibrary power;
  Win32Regions regions;
  Win32Resources resources;
  Win32Pictures pictures;
  Win32Locale locale;
  Win32ShellTray tray;
  Win32Timers timers;
};

HardwarePorts RealHardware(Win32Adapters& win) {
  return HardwarePorts{DriverHost{win.files, win.services, win.system, win.messages}, win.memory,
                       win.processor};
}

// The main window's ports: the adapters, with the overrides in their places.
MainFormPorts PortsFor(Win32Adapters& win, const ProgramOverrides& overrides) {
  return MainFormPorts{
      win.process,
      win.files,
      win.codePage,
      win.system,
      overrides.hardware != nullptr ? *overrides.hardware : RealHardware(win),
      win.profiles,
      win.registry,
      overrides.tasks != nullptr ? *overrides.tasks : static_cast<ITaskSchedulerCom&>(win.tasks),
      win.tokens,
      overrides.power != nullptr ? *overrides.power : static_cast<IPowerLibrary&>(win.power),
      win.regions,
      win.resources,
      win.pictures,
      win.locale,
      win.messages,
      win.tray,
      win.timers,
  };
}

// TvmMainForm as the framework drives it.
class VelmoraMainForm : public IMainForm {
 public:
  VelmoraMainForm(const MainFormPorts& ports, IMainWindowView& view) : form_(ports, view) {}

  void FormCreate() override { form_.FormCreate(); }
  void FormShow() override { form_.FormShow(); }
  void FormActivate() override { form_.FormActivate(); }
  void FormClose() override { form_.FormClose(); }
  bool ApplicationMessage(const QueuedMessage& message) override {
    return form_.vmApplicationEventsMessage(message);
  }
  void ReleaseObjects() override { form_.ReleaseObjects(); }
  void BackgroundImageMouseDown(TMouseButton button) override {
    form_.BackgroundImageMouseDown(button);
  }
  void RestoreFromTray() override { form_.RestoreFromTray(); }
  void vmTrayCloseClick() override { form_.vmTrayCloseClick(); }
  std::intptr_t QueryEndSession() override { return form_.QueryEndSession(); }
  void TaskbarCreated() override { form_.TaskbarCreated(); }
  void EndSession(bool ending) override { form_.EndSession(ending); }
  std::intptr_t PowerBroadcast(std::uintptr_t event) override {
    return form_.PowerBroadcast(event);
  }
  bool KeyDown(std::uint32_t key, bool shift, bool repeat) override {
    return form_.KeyDown(key, shift, repeat);
  }

 private:
  TvmMainForm form_;
};

}  // namespace

int RunVelmoraProgram(HINSTANCE instance, const ProgramOverrides& overrides) {
  Win32Adapters win(instance);
  DebugLogBind(&win.files, &win.codePage);
  int exitCode = 0;
  {
    Win32Application application(instance, [&](Win32MainWindow& window) {
      return std::make_unique<VelmoraMainForm>(PortsFor(win, overrides), window);
    });
    exitCode = RunProgramEntry(win.process, win.process, application, [&] {
      return static_cast<int>(TurnFeatureOffWithoutWindow(PortsFor(win, overrides)));
    });
  }
  DebugLogBind(nullptr, nullptr);
  return exitCode;
}

}  // namespace velmora::win32
