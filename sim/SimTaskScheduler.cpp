#include "sim/SimTaskScheduler.h"

#include <cstdio>

#include "config/MemIniFile.h"
#include "sim/SimTaskSchedulerObjects.h"

namespace velmora::sim {

std::string GuidText(const Guid& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1,
                guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

namespace {

// Hours of an ISO 8601 duration of the forms the Task Scheduler writes ("PT72H", "P3D",
// "PT30M" rounds up to an hour); nullopt for "PT0S", which means no limit.
std::optional<std::uint32_t> LimitHours(const std::string& duration) {
  if (duration == "PT0S") return std::nullopt;
  unsigned value = 0;
  char unit = 0;
  if (std::sscanf(duration.c_str(), "PT%u%c", &value, &unit) == 2) {
    if (unit == 'H') return value;
    if (unit == 'M') return (value + 59) / 60;
    if (unit == 'S') return (value + 3599) / 3600;
  }
  if (std::sscanf(duration.c_str(), "P%u%c", &value, &unit) == 2 && unit == 'D') return value * 24;
  return 72;  // empty or not understood: the documented default
}

}  // namespace

bool SimTaskDefinition::StopsInstanceAfter(std::uint32_t hoursRunning, bool wentOnBattery) const {
  if (wentOnBattery && stopIfGoingOnBatteries) return true;
  const std::optional<std::uint32_t> limit = LimitHours(executionTimeLimit);
  return limit && hoursRunning >= *limit;
}

std::string VariantText(const VariantArg& value) {
  return value ? "\"" + *value + "\"" : "empty";
}

std::uint32_t SimTaskScheduler::Object::ReleaseReference() {
  owner_.Record(interface_ + "::Release");
  if (references_ <= 0) {
    owner_.NoteFault("Release of " + interface_ + " with no reference left");
    return 0;
  }
  return static_cast<std::uint32_t>(--references_);
}

SimTaskScheduler::SimTaskScheduler() = default;
SimTaskScheduler::~SimTaskScheduler() = default;

std::optional<HResult> SimTaskScheduler::Begin(const Object& object, const std::string& call,
                                               const std::string& arguments) {
  Record(call + "(" + arguments + ")");
  if (object.References() <= 0) NoteFault(call + " through a released " + object.InterfaceName());
  const auto failing = failing_.find(call);
  if (failing != failing_.end()) return failing->second;
  return std::nullopt;
}

HResult SimTaskScheduler::CoInitializeEx(std::uint32_t coInit) {
  Record("CoInitializeEx(" + std::to_string(coInit) + ")");
  if (const auto failing = failing_.find("CoInitializeEx"); failing != failing_.end()) {
    return failing->second;
  }
  if (multithreaded_ && (coInit & com::kCoinitApartmentThreaded) != 0) {
    return com::kRpcEChangedMode;
  }
  return ++comInits_ == 1 ? com::kSOk : com::kSFalse;
}

HResult SimTaskScheduler::CoInitializeSecurity(std::int32_t authServices, std::uint32_t authnLevel,
                                               std::uint32_t impLevel, std::uint32_t capabilities) {
  Record("CoInitializeSecurity(" + std::to_string(authServices) + ", " +
         std::to_string(authnLevel) + ", " + std::to_string(impLevel) + ", " +
         std::to_string(capabilities) + ")");
  if (const auto failing = failing_.find("CoInitializeSecurity"); failing != failing_.end()) {
    return failing->second;
  }
  if (!ComUsable()) return com::kCoENotInitialized;
  if (securitySet_) return com::kRpcETooLate;
  securitySet_ = true;
  return com::kSOk;
}

HResult SimTaskScheduler::CoCreateInstance(const Guid& clsid, std::uint32_t clsContext,
                                           const Guid& iid, tasks::ITaskService** service) {
  Record("CoCreateInstance(" + GuidText(clsid) + ", " + std::to_string(clsContext) + ", " +
         GuidText(iid) + ")");
  if (service == nullptr) return com::kEPointer;
  *service = nullptr;
  if (const auto failing = failing_.find("CoCreateInstance"); failing != failing_.end()) {
    return failing->second;
  }
  if (!ComUsable()) return com::kCoENotInitialized;
  if (clsid != com::kClsidTaskScheduler || (clsContext & com::kClsctxInprocServer) == 0) {
    return com::kRegdbEClassNotReg;
  }
  if (iid != com::kIidITaskService) return com::kENoInterface;
  *service = MakeSimTaskService(*this);
  return com::kSOk;
}

void SimTaskScheduler::CoUninitialize() {
  Record("CoUninitialize");
  if (comInits_ == 0) {
    NoteFault("CoUninitialize without a matching CoInitializeEx");
    return;
  }
  if (--comInits_ == 0 && HeldReferences() > 0) {
    NoteFault("CoUninitialize with " + std::to_string(HeldReferences()) + " references held");
  }
}

int SimTaskScheduler::HeldReferences() const {
  int held = 0;
  for (const auto& object : objects_) held += object->References();
  return held;
}

std::optional<SimScheduledTask> SimTaskScheduler::Task(const std::string& name) const {
  const auto found = tasks_.find(UpperAscii(name));
  if (found == tasks_.end()) return std::nullopt;
  return found->second;
}

std::vector<std::string> SimTaskScheduler::TaskNames() const {
  std::vector<std::string> names;
  for (const auto& [key, task] : tasks_) names.push_back(task.name);
  return names;
}

void SimTaskScheduler::AddTask(SimScheduledTask task) {
  const std::string key = UpperAscii(task.name);
  tasks_[key] = std::move(task);
}

void SimTaskScheduler::FailCall(const std::string& call, HResult hr) {
  failing_[call] = hr;
}

}  // namespace velmora::sim
