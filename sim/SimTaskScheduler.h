// A simulated Task Scheduler 2.0 with the COM library calls around it. It keeps the tasks of the
// root folder with every property the program sets, records every call with its arguments as
// text ("ITaskFolder::DeleteTask(\"name\", 0)"), counts the references of every interface it
// hands out, and can make any call fail with a chosen HRESULT. Its defaults are those of a new
// task definition on Windows 7 (no start when available, a 72-hour time limit, no start on
// batteries, the limited run level), so a property the program forgets to set shows.
// It also notes what a careless COM client does wrong: Release of an interface with no
// reference left, calls through a released interface, CoUninitialize without a matching
// initialisation or while interfaces are still held.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ports/TaskSchedulerPort.h"

namespace velmora::sim {

struct SimTrigger {
  std::int32_t type = 0;
  bool enabled = true;
  std::string userId;  // empty: any user
  std::string delay;   // empty: no delay
};

struct SimAction {
  std::int32_t type = 0;
  std::string path;
  std::string arguments;
};

// A task definition's properties; the defaults are those of ITaskService::NewTask.
struct SimTaskDefinition {
  std::string author;
  std::int32_t runLevel = com::kTaskRunlevelLua;
  bool startWhenAvailable = false;
  std::string deleteExpiredTaskAfter;
  std::string executionTimeLimit = "PT72H";
  bool disallowStartIfOnBatteries = true;
  bool stopIfGoingOnBatteries = true;
  std::vector<SimTrigger> triggers;
  std::vector<SimAction> actions;

  // What the Task Scheduler does to a running instance of this task: it is stopped when the
  // machine goes on battery (a laptop, or a desktop whose UPS reports as a battery) while
  // stopIfGoingOnBatteries is set, and once it has run for the execution time limit. Only
  // "PT0S" means no limit; an empty limit is not documented and is taken as the 72-hour default.
  bool StopsInstanceAfter(std::uint32_t hoursRunning, bool wentOnBattery) const;
};

struct SimScheduledTask {
  std::string name;
  SimTaskDefinition definition;
  VariantArg userId;
  VariantArg password;
  std::int32_t logonType = 0;
  VariantArg sddl;
  int registrations = 0;  // 1 when created, +1 for every update
};

class SimTaskScheduler : public ITaskSchedulerCom {
 public:
  SimTaskScheduler();
  ~SimTaskScheduler() override;

  HResult CoInitializeEx(std::uint32_t coInit) override;
  HResult CoInitializeSecurity(std::int32_t authServices, std::uint32_t authnLevel,
                               std::uint32_t impLevel, std::uint32_t capabilities) override;
  HResult CoCreateInstance(const Guid& clsid, std::uint32_t clsContext, const Guid& iid,
                           tasks::ITaskService** service) override;
  void CoUninitialize() override;

  // Every call so far, in order, e.g. "ITaskService::GetFolder(\"\\\")" or "IPrincipal::Release".
  const std::vector<std::string>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // Misuse noticed so far (empty for a correct client).
  const std::vector<std::string>& Faults() const { return faults_; }
  // References handed out and not yet released, over all interfaces.
  int HeldReferences() const;
  // Balance of CoInitializeEx and CoUninitialize on the (one) calling thread.
  int ComInitialisations() const { return comInits_; }

  // The root folder's tasks.
  std::optional<SimScheduledTask> Task(const std::string& name) const;
  std::vector<std::string> TaskNames() const;
  void AddTask(SimScheduledTask task);

  // Faults: every call named call ("ITriggerCollection::Create", "CoInitializeEx", ...) fails
  // with hr and hands out nothing. With S_OK the call reports success, does nothing and hands
  // out no pointer, as a broken server might.
  void FailCall(const std::string& call, HResult hr);
  // The thread already belongs to the multithreaded apartment: CoInitializeEx for an apartment
  // gives RPC_E_CHANGED_MODE (COM stays usable).
  void SetThreadInMultithreadedApartment() { multithreaded_ = true; }
  // Process-wide security was already set by someone else: CoInitializeSecurity gives
  // RPC_E_TOO_LATE.
  void SetSecurityAlreadyInitialised() { securitySet_ = true; }

  // For the interface objects.
  class Object;
  std::optional<HResult> Begin(const Object& object, const std::string& call,
                               const std::string& arguments);
  template <class T, class... Args>
  T* Make(Args&&... args);
  std::map<std::string, SimScheduledTask>& Tasks() { return tasks_; }
  void NoteFault(const std::string& fault) { faults_.push_back(fault); }
  void Record(const std::string& call) { calls_.push_back(call); }
  bool ComUsable() const { return comInits_ > 0 || multithreaded_; }

 private:
  std::vector<std::unique_ptr<Object>> objects_;
  std::map<std::string, SimScheduledTask> tasks_;  // upper-case name -> task
  std::map<std::string, HResult> failing_;
  std::vector<std::string> calls_;
  std::vector<std::string> faults_;
  int comInits_ = 0;
  bool multithreaded_ = false;
  bool securitySet_ = false;
};

// "{0F87369F-A4E5-4CFC-BD3E-73E6154572DD}".
std::string GuidText(const Guid& guid);
// How the call log shows a variant argument: empty, or the string in quotes.
std::string VariantText(const VariantArg& value);

}  // namespace velmora::sim
