// Starts a program and watches it reach the tray: its first visible window, the moment none of
// its top-level windows is visible any more, and the moment its notification-area icon exists.
#pragma once

#include <windows.h>

#include <string>

namespace velmora::bench {

// True when the notification area holds an icon with this id for one of the process's windows.
// It asks the shell to modify the icon with nothing to change (NIM_MODIFY, no flags), which
// succeeds only for an icon that exists; icons of other or ended processes do not answer.
bool TrayIconExists(DWORD processId, UINT iconId);

enum class WatchUntil { kHidden, kTray };

struct TrayMilestones {
  DWORD processId = 0;
  HANDLE process = nullptr;  // owned by the caller
  // Milliseconds from CreateProcess; -1 when not reached.
  double windowShown = -1;
  double windowHidden = -1;
  double trayIcon = -1;
  // False when the window came and went between two looks (the show then counts as the hide).
  bool shownSeen = false;
  DWORD exitCode = STILL_ACTIVE;  // the program's exit code when it ended while watched
};

struct WatchOptions {
  WatchUntil until = WatchUntil::kTray;
  DWORD timeoutMs = 30000;
  UINT iconId = 1;
};

// Starts `commandLine` in `directory` (the caller's when empty) and looks at its windows every
// few milliseconds, and for its icon every few tens, until the milestones that `options.until`
// names are reached, the program ends, or the time limit passes. The program keeps running.
// False when it could not be started.
bool LaunchAndWatch(const std::string& commandLine, const std::string& directory,
                    const WatchOptions& options, TrayMilestones& milestones, std::string& error);

}  // namespace velmora::bench
