// Filling a new task definition with the logon task's properties.
#pragma once

#include <string>

#include "ports/TaskSchedulerPort.h"
#include "power/LogonTask.h"
#include "power/LogonTaskComRef.h"

namespace velmora {

// Author, run level, settings, one enabled logon trigger, one program action. Stops at the
// first failing call; every interface obtained on the way is released.
LogonTaskOutcome FillLogonTaskDefinition(tasks::ITaskDefinition& definition,
                                         const std::string& executablePath);

// The outcome of one call: success, or failure of call with hr.
LogonTaskOutcome CallOutcome(const char* call, HResult hr, bool gavePointer = true);

// The same for a call that fills out; one that reports success but hands out no pointer counts
// as E_POINTER. The reference is looked at only after the call (an argument evaluated before
// the call would see the pointer still empty).
template <class Interface>
LogonTaskOutcome CallOutcome(const char* call, HResult hr, const ComRef<Interface>& out) {
  return CallOutcome(call, hr, static_cast<bool>(out));
}

}  // namespace velmora
