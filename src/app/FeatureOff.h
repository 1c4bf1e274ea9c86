// The steps that turn the feature off, shared by Disable, a running instance asked by the
// uninstaller, and an uninstall with no instance running.
#pragma once

#include "config/InitFile.h"
#include "ports/TaskSchedulerPort.h"
#include "power/AdvReg.h"
#include "power/PowerMan.h"

namespace velmora {

// Vista and later (the logon task and the per-scheme power settings belong to them).
bool IsNt6Family(const TInitFile* config);

// Removes the logon task (Vista and later) or the Run value (earlier Windows) and writes
// "AutoRun" = 0.
void RemoveAutoStart(TAdvReg& registry, ITaskSchedulerCom& tasks, bool nt6Family);

// The prompt the idle suspend switched off comes back where it is still off; the saved state is
// then forgotten, so a change the user makes later is never undone.
void RestorePasswordOnResume(TAdvReg& registry, TPowerMan& power);

}  // namespace velmora
