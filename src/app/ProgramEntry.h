#pragma once

#include "ports/ApplicationPort.h"
#include "ports/ProcessPort.h"
#include "ports/WindowMessagePort.h"

namespace velmora {

// The program's entry after the process started: single-instance check, framework start, the
// two forms, the message loop. Returns the process exit code, which is always 0.
int RunProgramEntry(IProcess& process, IWindowMessages& windows, IApplicationFramework& app);

}  // namespace velmora
