// The logon task that starts the program with full rights on Windows Vista and later: a Task
// Scheduler 2.0 task in the root folder with one logon trigger and one program action, run at
// the highest level with the logged-on user's interactive token. Registering first deletes any
// task of the same name; removing is the same sequence with no program path.
#pragma once

#include <string>

#include "ports/TaskSchedulerPort.h"

namespace velmora {

inline constexpr char kLogonTaskAuthor[] = "Author Name";
inline constexpr char kTaskRootFolder[] = "\\";

// What the sequence did: the first call that failed and its HRESULT.
struct LogonTaskOutcome {
  bool succeeded = true;
  std::string failedCall;  // e.g. "ITriggerCollection::Create"; empty on success
  HResult result = com::kSOk;
};

// The whole sequence: COM initialised for the calling thread (apartment-threaded) and
// uninitialised again on every exit, every interface released before returning.
LogonTaskOutcome RunLogonTaskSequence(ITaskSchedulerCom& com, const std::string& taskName,
                                      const std::string& executablePath);

// True when the task was registered, or, with an empty path, when the scheduler could be
// reached to delete it (whether or not it existed).
bool WriteLogonTask(ITaskSchedulerCom& com, const std::string& taskName,
                    const std::string& executablePath);
bool RegisterLogonTask(ITaskSchedulerCom& com, const std::string& taskName,
                       const std::string& executablePath);
bool RemoveLogonTask(ITaskSchedulerCom& com, const std::string& taskName);

}  // namespace velmora
