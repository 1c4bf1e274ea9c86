// The object manager's device directory in the simulator: device objects under \Device with
// their \DosDevices links of the same name, which is all that CreateFileA("\\.\NAME") needs.
// A device keeps the count of handles open on it, knows whether another process holds it, and
// tells its driver when the last handle goes away (a driver whose unload is pending then
// unloads).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "driver/KernelServices.h"

namespace velmora::sim {

class SimDevice {
 public:
  using DispatchRoutine = std::function<driver::IoResult(const driver::IoRequest&)>;

  SimDevice(std::string name, bool exclusive, DispatchRoutine dispatch)
      : name_(std::move(name)), exclusive_(exclusive), dispatch_(std::move(dispatch)) {}

  const std::string& Name() const { return name_; }
  bool Exclusive() const { return exclusive_; }
  driver::IoResult Dispatch(const driver::IoRequest& request) { return dispatch_(request); }

  // Handles of this process, and a handle of another process (a second copy of the program).
  int OpenHandles() const { return openHandles_; }
  bool HeldElsewhere() const { return heldElsewhere_; }
  bool InUse() const { return openHandles_ > 0 || heldElsewhere_; }
  void HandleOpened() { ++openHandles_; }
  void HandleClosed();
  void SetHeldElsewhere(bool held);

  // Once the driver's unload is pending the device refuses new opens; the callback runs when
  // the device is no longer in use.
  bool UnloadPending() const { return static_cast<bool>(whenUnused_); }
  void UnloadWhenUnused(std::function<void()> unload) { whenUnused_ = std::move(unload); }

 private:
  void NotifyIfUnused();

  std::string name_;
  bool exclusive_;
  DispatchRoutine dispatch_;
  int openHandles_ = 0;
  bool heldElsewhere_ = false;
  std::function<void()> whenUnused_;
};

class SimDeviceDirectory {
 public:
  // IoCreateDevice + IoCreateSymbolicLink; null when the name is taken.
  std::shared_ptr<SimDevice> Create(const std::string& name, bool exclusive,
                                    SimDevice::DispatchRoutine dispatch);
  // IoDeleteSymbolicLink + IoDeleteDevice.
  void Remove(const std::string& name);
  // Object names compare without regard to letter case; null when there is no such device.
  std::shared_ptr<SimDevice> Find(const std::string& name) const;
  std::size_t Count() const { return devices_.size(); }

 private:
  std::map<std::string, std::shared_ptr<SimDevice>> devices_;  // by upper-case name
};

}  // namespace velmora::sim
