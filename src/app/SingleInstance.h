#pragma once

#include "ports/ProcessPort.h"
#include "ports/WindowMessagePort.h"

namespace velmora {

// True when start-up continues: no other instance runs and the command line does not ask to
// uninstall. Otherwise forwards the request to the running instance (if it can be found).
bool CheckSingleInstance(IProcess& process, IWindowMessages& windows);

// "/UNINSTALL" in any letter case anywhere in the command line, the executable's path included.
bool CommandLineAsksUninstall(const std::string& commandLine);

}  // namespace velmora
