// A user session around the main window on the simulated machine: processor load that passes a
// second at a time under the idle timer, the overlay forms ticking the process-wide countdown,
// and simulated restarts of the program on the same machine (registry, tasks, files and the
// firmware's control byte survive).
#pragma once

#include <cstdint>
#include <string>

#include "MainFormTestSupport.h"
#include "app/OverlayForm.h"
#include "power/AdvReg.h"

namespace velmora::mainformtest {

inline constexpr std::uint64_t kSecondIn100ns = 10'000'000;
inline constexpr std::uint64_t kSecondMs = 1000;
inline constexpr std::uint32_t kTrayIconId = 1;

// Where the Apply of the Fast mode finds the scheme file on Vista and later.
inline std::u16string SchemeFilePath() {
  return u"C:\\Program Files\\Zelkor\\Velmora\\ZlkVelmora.pow";
}

// The scheme file, as exported from a machine with the product scheme, beside the program.
inline void InstallSchemeFile(MainFormRig& rig, bool valid = true) {
  rig.power.System().schemeFiles[SchemeFilePath()] = sim::SimSchemeFile{u"Zelkor Velmora", valid};
}

// The product key's values, the Run value and the logon task.
inline std::optional<std::uint32_t> ProductDword(const MainFormRig& rig, const std::string& name) {
  return rig.registry.Dword(reg::kHkeyCurrentUser, kVelmoraUserKey, name);
}
inline std::optional<std::string> RunValue(const MainFormRig& rig) {
  return rig.registry.String(reg::kHkeyCurrentUser, kRunKey, kAutoStartName);
}
inline bool HasLogonTask(const MainFormRig& rig) {
  return rig.tasks.Task(kAutoStartName).has_value();
}

// The mode as the settings file beside the program holds it ("" when the file or key is missing).
inline std::string SavedMode(MainFormRig& rig) {
  return rig.profiles.GetPrivateProfileStringW("Config", "VelmoraMode", "", 64,
                                               std::string(sim::kSimProgramFolder) + "Cfg.ini");
}
inline void WriteSettings(MainFormRig& rig, const std::string& text) {
  rig.SetProgramFile("Cfg.ini", text);
}

// Seconds pass: during each the processors are `busyPercent` busy, then the timers due in it
// fire (the idle timer samples the load of that second).
inline void RunSeconds(MainFormRig& rig, int seconds, std::uint32_t busyPercent) {
  for (int i = 0; i < seconds; ++i) {
    rig.startup.world.system.processorTimes.Run(kSecondIn100ns, busyPercent);
    rig.timers.Advance(kSecondMs);
  }
}

// A start of the program at logon as the framework runs it (construction, FormCreate, FormShow,
// FormActivate), over the given ports; an earlier form of the same rig has ended before.
inline TvmMainForm& StartProgram(MainFormRig& rig, const MainFormPorts& ports) {
  rig.form.reset();
  rig.view.loopEnded = false;
  rig.form = std::make_unique<TvmMainForm>(ports, rig.view);
  rig.view.onClose = [&rig] { rig.form->FormClose(); };
  TvmMainForm& form = *rig.form;
  form.FormCreate();
  if (!rig.view.loopEnded) {
    form.FormShow();
    form.FormActivate();
  }
  return form;
}

// The program ends the way Windows ends it at log-off: the shut-down query, then the close.
inline void LogOff(MainFormRig& rig) {
  rig.form->QueryEndSession();
  rig.form->FormClose();
  rig.form.reset();
}

// The overlay forms of one simulated process: the hidden Form1 made at start-up and every TForm1
// shown modally later tick the one countdown once a second. A modal overlay keeps the message
// loop (and so every other timer) running until its own timer closes it.
class OverlayLife {
 public:
  explicit OverlayLife(MainFormRig& rig) : rig_(rig) {
    OverlayCountdown = kOverlayCountdownStart;  // a new process
    hiddenForm_ = rig_.timers.SetTimer(kOverlayTimerIntervalMs, [this] {
      if (Timer1Timer()) rig_.timers.KillTimer(hiddenForm_);
    });
    rig_.view.onOverlay = [this] { ShowModal(); };
  }
  ~OverlayLife() {
    rig_.view.onOverlay = nullptr;
    rig_.timers.KillTimer(hiddenForm_);
  }
  OverlayLife(const OverlayLife&) = delete;
  OverlayLife& operator=(const OverlayLife&) = delete;

  std::uint64_t shownAt = 0;
  std::uint64_t closedAt = 0;

 private:
  void ShowModal() {
    shownAt = rig_.timers.Now();
    bool open = true;
    const TimerId timer = rig_.timers.SetTimer(kOverlayTimerIntervalMs, [&open] {
      if (Timer1Timer()) open = false;
    });
    for (int guard = 0; open && guard < 1000; ++guard) rig_.timers.Advance(100);
    rig_.timers.KillTimer(timer);
    closedAt = rig_.timers.Now();
  }

  MainFormRig& rig_;
  TimerId hiddenForm_ = 0;
};

}  // namespace velmora::mainformtest
