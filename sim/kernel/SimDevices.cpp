#include "sim/kernel/SimDevices.h"

#include <cctype>

namespace velmora::sim {
namespace {

std::string ObjectKey(const std::string& name) {
  std::string key = name;
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

}  // namespace

void SimDevice::HandleClosed() {
  if (openHandles_ > 0) --openHandles_;
  NotifyIfUnused();
}

void SimDevice::SetHeldElsewhere(bool held) {
  heldElsewhere_ = held;
  NotifyIfUnused();
}

void SimDevice::NotifyIfUnused() {
  if (InUse() || !whenUnused_) return;
  auto unload = std::move(whenUnused_);
  whenUnused_ = nullptr;
  unload();
}

std::shared_ptr<SimDevice> SimDeviceDirectory::Create(const std::string& name, bool exclusive,
                                                      SimDevice::DispatchRoutine dispatch) {
  const std::string key = ObjectKey(name);
  if (devices_.count(key) != 0) return nullptr;
  auto device = std::make_shared<SimDevice>(name, exclusive, std::move(dispatch));
  devices_[key] = device;
  return device;
}

void SimDeviceDirectory::Remove(const std::string& name) {
  devices_.erase(ObjectKey(name));
}

std::shared_ptr<SimDevice> SimDeviceDirectory::Find(const std::string& name) const {
  const auto found = devices_.find(ObjectKey(name));
  return found == devices_.end() ? nullptr : found->second;
}

}  // namespace velmora::sim
