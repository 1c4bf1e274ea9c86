#include "sim/kernel/SimServiceManager.h"

#include <cctype>

#include "hw/DriverProtocol.h"

namespace velmora::sim {
namespace {

std::string ServiceKey(const std::string& name) {
  std::string key = name;
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

}  // namespace

SimServiceManager::~SimServiceManager() {
  // The simulated machine shuts down: loaded drivers go with it.
  for (auto& [key, driver] : drivers_) devices_.Remove(driver.device->Name());
}

bool SimServiceManager::Succeed() {
  lastError_ = 0;
  return true;
}

bool SimServiceManager::Fail(std::uint32_t error) {
  lastError_ = error;
  return false;
}

ScHandle SimServiceManager::FailHandle(std::uint32_t error) {
  lastError_ = error;
  return 0;
}

ScHandle SimServiceManager::NewHandle(bool isManager, const std::string& serviceKey) {
  const ScHandle handle = nextHandle_;
  nextHandle_ += 8;
  handles_[handle] = OpenHandle{isManager, serviceKey};
  if (!isManager) ++services_.at(serviceKey).openHandles;
  lastError_ = 0;
  return handle;
}

bool SimServiceManager::IsManager(ScHandle handle) const {
  const auto found = handles_.find(handle);
  return found != handles_.end() && found->second.isManager;
}

SimService* SimServiceManager::ServiceOf(ScHandle handle) {
  const auto found = handles_.find(handle);
  if (found == handles_.end() || found->second.isManager) return nullptr;
  return &services_.at(found->second.serviceKey);
}

ScHandle SimServiceManager::OpenSCManagerA(std::uint32_t) {
  Note("OpenSCManagerA");
  if (refuseManager_) return FailHandle(kErrorAccessDenied);
  return NewHandle(true, "");
}

ScHandle SimServiceManager::CreateServiceA(ScHandle manager, const std::string& serviceName,
                                           const std::string& displayName, std::uint32_t,
                                           std::uint32_t serviceType, std::uint32_t startType,
                                           std::uint32_t errorControl,
                                           const std::string& binaryPathName) {
  Note("CreateServiceA");
  if (!IsManager(manager)) return FailHandle(kErrorInvalidHandleValue);
  if (createError_ != 0) return FailHandle(createError_);
  const std::string key = ServiceKey(serviceName);
  const auto existing = services_.find(key);
  if (existing != services_.end()) {
    return FailHandle(existing->second.markedForDeletion ? kErrorServiceMarkedForDelete
                                                         : kErrorServiceExists);
  }
  SimService service;
  service.name = serviceName;
  service.displayName = displayName;
  service.type = serviceType;
  service.startType = startType;
  service.errorControl = errorControl;
  service.binaryPath = binaryPathName;
  services_[key] = service;
  return NewHandle(false, key);
}

ScHandle SimServiceManager::OpenServiceA(ScHandle manager, const std::string& serviceName,
                                         std::uint32_t) {
  Note("OpenServiceA");
  if (!IsManager(manager)) return FailHandle(kErrorInvalidHandleValue);
  const std::string key = ServiceKey(serviceName);
  if (services_.count(key) == 0) return FailHandle(kErrorServiceDoesNotExist);
  return NewHandle(false, key);
}

bool SimServiceManager::StartServiceA(ScHandle handle) {
  Note("StartServiceA");
  SimService* service = ServiceOf(handle);
  if (service == nullptr) return Fail(kErrorInvalidHandleValue);
  if (service->markedForDeletion) return Fail(kErrorServiceMarkedForDelete);
  if (service->state != SimServiceState::kStopped) return Fail(kErrorServiceAlreadyRunning);
  if (startError_ != 0) return Fail(startError_);
  if (!files_.Exists(service->binaryPath)) return Fail(kErrorFileNotFound);
  const std::uint32_t error = LoadDriver(*service);
  if (error != 0) return Fail(error);
  service->state = SimServiceState::kRunning;
  return Succeed();
}

// DriverEntry of the simulated driver: the exclusive device and its link, served by the
// portable request handler on the simulated kernel.
std::uint32_t SimServiceManager::LoadDriver(SimService& service) {
  auto handler = std::make_unique<driver::RequestHandler>(kernel_);
  driver::RequestHandler* serve = handler.get();
  auto device = devices_.Create(
      driver_protocol::kDriverName, true,
      [serve](const driver::IoRequest& request) { return serve->Dispatch(request); });
  // IoCreateDevice fails with STATUS_OBJECT_NAME_COLLISION, which StartService reports as
  // ERROR_ALREADY_EXISTS.
  if (!device) return kErrorAlreadyExists;
  service.loadedImage = *files_.Contents(service.binaryPath);
  drivers_[ServiceKey(service.name)] = LoadedDriver{std::move(handler), device};
  return 0;
}

void SimServiceManager::UnloadDriver(const std::string& key) {
  const auto found = drivers_.find(key);
  if (found != drivers_.end()) {
    devices_.Remove(found->second.device->Name());
    drivers_.erase(found);
  }
  const auto service = services_.find(key);
  if (service == services_.end()) return;
  service->second.state = SimServiceState::kStopped;
  RemoveIfDeletable(key);
}

bool SimServiceManager::ControlService(ScHandle handle, std::uint32_t control) {
  Note("ControlService");
  SimService* service = ServiceOf(handle);
  if (service == nullptr) return Fail(kErrorInvalidHandleValue);
  if (control != win::kServiceControlStop) return Fail(kErrorInvalidServiceControl);
  if (service->state == SimServiceState::kStopped) return Fail(kErrorServiceNotActive);
  if (service->state == SimServiceState::kStopPending) return Fail(kErrorServiceCannotAcceptCtrl);
  const std::string key = ServiceKey(service->name);
  const std::shared_ptr<SimDevice> device = drivers_.at(key).device;
  if (device->InUse()) {
    service->state = SimServiceState::kStopPending;
    device->UnloadWhenUnused([this, key] { UnloadDriver(key); });
    return Succeed();
  }
  UnloadDriver(key);
  return Succeed();
}

bool SimServiceManager::DeleteService(ScHandle handle) {
  Note("DeleteService");
  SimService* service = ServiceOf(handle);
  if (service == nullptr) return Fail(kErrorInvalidHandleValue);
  if (service->markedForDeletion) return Fail(kErrorServiceMarkedForDelete);
  service->markedForDeletion = true;
  return Succeed();
}

bool SimServiceManager::CloseServiceHandle(ScHandle object) {
  Note("CloseServiceHandle");
  const auto found = handles_.find(object);
  if (found == handles_.end()) return Fail(kErrorInvalidHandleValue);
  const OpenHandle closed = found->second;
  handles_.erase(found);
  if (!closed.isManager) {
    --services_.at(closed.serviceKey).openHandles;
    RemoveIfDeletable(closed.serviceKey);
  }
  return Succeed();
}

void SimServiceManager::RemoveIfDeletable(const std::string& key) {
  const auto found = services_.find(key);
  if (found == services_.end()) return;
  const SimService& service = found->second;
  if (service.markedForDeletion && service.state == SimServiceState::kStopped &&
      service.openHandles == 0) {
    services_.erase(found);
  }
}

const SimService* SimServiceManager::Find(const std::string& name) const {
  const auto found = services_.find(ServiceKey(name));
  return found == services_.end() ? nullptr : &found->second;
}

bool SimServiceManager::DriverLoaded(const std::string& name) const {
  return drivers_.count(ServiceKey(name)) != 0;
}

}  // namespace velmora::sim
