#pragma once

#include "platform/ApplicationPort.h"
#include "platform/ProcessPort.h"
#include "platform/WindowMessagePort.h"

namespace velmora {

// The program's entry after the process started: single-instance check, framework start, the
// two forms, the message loop. Returns the process exit code, which is always 0.
int RunProgramEntry(IProcess& process, IWindowMessages& windows, IApplicationFramework& app);

}  // namespace velmora
