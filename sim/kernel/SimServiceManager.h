// The service control manager of the simulated Windows, for kernel-driver services. Starting a
// service loads its driver: the executable path must name a file that exists at that moment,
// and the loaded driver creates the exclusive device \Device\ZlkVmDrv (link \DosDevices\ZlkVmDrv)
// served by the driver's request handler on the simulated kernel.
//
// Stopping a driver whose device still has open handles (in this or another process) behaves
// as the I/O manager does for a legacy driver: the stop is accepted, the service shows
// STOP_PENDING, the device refuses new opens, and the driver unloads when the last handle
// closes. A service marked for deletion disappears once it is stopped and its last service
// handle is closed.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver/RequestHandler.h"
#include "ports/ServiceControlPort.h"
#include "sim/SimFileSystem.h"
#include "sim/kernel/SimDevices.h"
#include "sim/kernel/SimKernel.h"

namespace velmora::sim {

// Win32 errors of the service calls.
inline constexpr std::uint32_t kErrorInvalidHandleValue = 6;
inline constexpr std::uint32_t kErrorInvalidServiceControl = 1052;
inline constexpr std::uint32_t kErrorServiceAlreadyRunning = 1056;
inline constexpr std::uint32_t kErrorServiceDoesNotExist = 1060;
inline constexpr std::uint32_t kErrorServiceCannotAcceptCtrl = 1061;
inline constexpr std::uint32_t kErrorServiceNotActive = 1062;
inline constexpr std::uint32_t kErrorServiceMarkedForDelete = 1072;
inline constexpr std::uint32_t kErrorServiceExists = 1073;
inline constexpr std::uint32_t kErrorDriverFailedToLoad = 1275;  // ERROR_DRIVER_BLOCKED

enum class SimServiceState { kStopped, kRunning, kStopPending };

struct SimService {
  std::string name;
  std::string displayName;
  std::uint32_t type = 0;
  std::uint32_t startType = 0;
  std::uint32_t errorControl = 0;
  std::string binaryPath;
  SimServiceState state = SimServiceState::kStopped;
  bool markedForDeletion = false;
  int openHandles = 0;
  std::string loadedImage;  // the driver file's bytes as the last start loaded them
};

class SimServiceManager : public IServiceControl {
 public:
  SimServiceManager(SimFileSystem& files, SimDeviceDirectory& devices, SimKernel& kernel)
      : files_(files), devices_(devices), kernel_(kernel) {}
  ~SimServiceManager() override;

  ScHandle OpenSCManagerA(std::uint32_t desiredAccess) override;
  ScHandle CreateServiceA(ScHandle manager, const std::string& serviceName,
                          const std::string& displayName, std::uint32_t desiredAccess,
                          std::uint32_t serviceType, std::uint32_t startType,
                          std::uint32_t errorControl, const std::string& binaryPathName) override;
  ScHandle OpenServiceA(ScHandle manager, const std::string& serviceName,
                        std::uint32_t desiredAccess) override;
  bool StartServiceA(ScHandle service) override;
  bool ControlService(ScHandle service, std::uint32_t control) override;
  bool DeleteService(ScHandle service) override;
  bool CloseServiceHandle(ScHandle object) override;
  std::uint32_t GetLastError() override { return lastError_; }

  // Faults: the manager refuses access (error 5); creating or starting a service fails with
  // the given error.
  void RefuseManager(bool refuse = true) { refuseManager_ = refuse; }
  void FailCreate(std::uint32_t error) { createError_ = error; }
  void FailStart(std::uint32_t error) { startError_ = error; }

  // Inspection. Names compare without regard to letter case.
  const SimService* Find(const std::string& name) const;
  std::size_t ServiceCount() const { return services_.size(); }
  std::size_t OpenHandleCount() const { return handles_.size(); }
  bool DriverLoaded(const std::string& name) const;
  // The names of the service functions called, in order ("OpenSCManagerA", ...).
  const std::vector<std::string>& Calls() const { return calls_; }

 private:
  struct OpenHandle {
    bool isManager;
    std::string serviceKey;
  };
  struct LoadedDriver {
    std::unique_ptr<driver::RequestHandler> handler;
    std::shared_ptr<SimDevice> device;
  };

  ScHandle NewHandle(bool isManager, const std::string& serviceKey);
  bool IsManager(ScHandle handle) const;
  SimService* ServiceOf(ScHandle handle);
  std::uint32_t LoadDriver(SimService& service);
  void UnloadDriver(const std::string& key);
  void RemoveIfDeletable(const std::string& key);
  bool Succeed();
  bool Fail(std::uint32_t error);
  ScHandle FailHandle(std::uint32_t error);
  void Note(const char* function) { calls_.emplace_back(function); }

  SimFileSystem& files_;
  SimDeviceDirectory& devices_;
  SimKernel& kernel_;
  std::map<std::string, SimService> services_;   // by upper-case name
  std::map<std::string, LoadedDriver> drivers_;  // by service key
  std::map<ScHandle, OpenHandle> handles_;
  ScHandle nextHandle_ = 0x5C0000;
  bool refuseManager_ = false;
  std::uint32_t createError_ = 0;
  std::uint32_t startError_ = 0;
  std::uint32_t lastError_ = 0;
  std::vector<std::string> calls_;
};

}  // namespace velmora::sim
