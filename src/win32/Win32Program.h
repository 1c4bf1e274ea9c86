// The program on Windows, wired once: every port gets its Win32 adapter except what the caller
// replaces. Velmora.exe replaces nothing; the demo program puts a simulated board (and, when
// its board file asks, a simulated power library and task scheduler) in place of the hardware.
#pragma once

#include <windows.h>

#include "hw/ReadWrite.h"
#include "ports/PowerLibraryPort.h"
#include "ports/TaskSchedulerPort.h"

namespace velmora::win32 {

struct ProgramOverrides {
  const HardwarePorts* hardware = nullptr;  // the driver, its device and the mapped memory
  IPowerLibrary* power = nullptr;           // PowrProf
  ITaskSchedulerCom* tasks = nullptr;       // the logon task
};

// WinMain's body: the single-instance check, the framework, the main window, the loop.
int RunVelmoraProgram(HINSTANCE instance, const ProgramOverrides& overrides = {});

}  // namespace velmora::win32
