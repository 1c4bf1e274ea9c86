// The interface objects of the simulated Task Scheduler. Each keeps its own reference count;
// the scheduler owns them all, so a released object stays inspectable and a call through it is
// noted instead of crashing.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "sim/SimTaskScheduler.h"

namespace velmora::sim {

class SimTaskScheduler::Object {
 public:
  Object(SimTaskScheduler& owner, std::string interfaceName)
      : owner_(owner), interface_(std::move(interfaceName)) {}
  virtual ~Object() = default;

  int References() const { return references_; }
  const std::string& InterfaceName() const { return interface_; }
  void AddReference() { ++references_; }

 protected:
  // Records the call; a value means: fail with it.
  std::optional<HResult> Begin(const std::string& method, const std::string& arguments) {
    return owner_.Begin(*this, interface_ + "::" + method, arguments);
  }
  std::uint32_t ReleaseReference();

  SimTaskScheduler& owner_;

 private:
  std::string interface_;
  int references_ = 0;
};

template <class T, class... Args>
T* SimTaskScheduler::Make(Args&&... args) {
  auto object = std::make_unique<T>(*this, std::forward<Args>(args)...);
  T* raw = object.get();
  raw->AddReference();
  objects_.push_back(std::move(object));
  return raw;
}

// The service object that CoCreateInstance hands out.
tasks::ITaskService* MakeSimTaskService(SimTaskScheduler& owner);

}  // namespace velmora::sim
