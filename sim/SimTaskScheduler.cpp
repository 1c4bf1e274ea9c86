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
