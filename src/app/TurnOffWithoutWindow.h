// "Velmora.exe /UNINSTALL" when no instance runs (after a reboot without autostart, or after the
// user closed the program): the uninstaller still needs the feature off, so the program does
// what Disable does without ever showing a window or a message box. The uninstall goes on
// whatever the result; the exit code tells it what was left.
#pragma once

#include "app/MainFormPorts.h"

namespace velmora {

enum class TurnOffResult : int {
  kDone = 0,              // enable bit cleared, autostart gone, password prompt back
  kDriverNotStarted = 1,  // the control byte could not be reached; the rest was done
  kNotThisBoard = 2,      // not the maker's board, or no control entry; the rest was done
};

// Loads the driver, clears the enable bit of the control byte (the Fast bit stays, as Disable
// leaves it), removes the logon task or Run value, restores the password prompt on resume, and
// stops and deletes the driver service again.
TurnOffResult TurnFeatureOffWithoutWindow(const MainFormPorts& ports);

}  // namespace velmora
