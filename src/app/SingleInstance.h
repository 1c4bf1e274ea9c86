#pragma once

#include "ports/ProcessPort.h"
#include "ports/WindowMessagePort.h"

namespace velmora {

enum class StartDecision {
  kRunProgram,    // no other instance runs: the window starts
  kEnd,           // another instance runs and was handed the request (when it could be found)
  kTurnOffAlone,  // "/UNINSTALL" with no instance running: this process turns the feature off
};

// Decides from the instance mutex and the command line. This process takes the mutex when it
// runs the program or turns the feature off itself, and holds it until it ends.
StartDecision CheckSingleInstance(IProcess& process, IWindowMessages& windows);

// "/UNINSTALL" in any letter case anywhere in the command line, the executable's path included.
bool CommandLineAsksUninstall(const std::string& commandLine);

}  // namespace velmora
