#pragma once

#include <functional>

#include "ports/ApplicationPort.h"
#include "ports/ProcessPort.h"
#include "ports/WindowMessagePort.h"

namespace velmora {

// The program's entry after the process started: single-instance check, framework start, the
// two forms, the message loop; or, for "/UNINSTALL" with no instance running, turnOffAlone,
// whose result is the exit code. Otherwise the exit code is 0.
int RunProgramEntry(IProcess& process, IWindowMessages& windows, IApplicationFramework& app,
                    const std::function<int()>& turnOffAlone);

}  // namespace velmora
