// The second base of the driver client: installs the kernel driver for the length of one run.
// On the NT family the image is written into the drivers folder, registered and started as a
// demand-start kernel-driver service, its device opened and the file deleted again; at the end
// the device is closed and the service stopped and deleted. On the 9x family the virtual device
// driver is loaded dynamically by opening it with delete-on-close, and unloaded by the close.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "config/OsVersion.h"
#include "hw/DriverImageData.h"
#include "ports/FilePort.h"
#include "ports/MessageBoxPort.h"
#include "ports/ServiceControlPort.h"
#include "ports/SystemInfoPort.h"

namespace velmora {

// The Windows facilities the installer works with.
struct DriverHost {
  IFiles& files;
  IServiceControl& services;
  ISystemInfo& system;
  IMessageBox& messages;
};

// The one message the user can see from below the main window; English only.
inline constexpr char kDriverLoadFailedText[] =
    "Driver cannot be loaded, re-install the program may fix the issue, if it happens again, "
    "report the problem with your system configuration as detail as possible.";
inline constexpr char kDriverLoadFailedCaption[] = "Error";

class TLoadDriver : public TDriverImageData {
 public:
  // Installs and opens the driver ZlkVmDrv; DeviceHandle() is invalid when that failed.
  TLoadDriver(const DriverHost& host, TOsType osType);
  // Closes the device and removes the driver.
  virtual ~TLoadDriver();
  TLoadDriver(const TLoadDriver&) = delete;
  TLoadDriver& operator=(const TLoadDriver&) = delete;

  Handle DeviceHandle() const { return deviceHandle_; }
  // The Win32 error with which Windows refused the driver's image (ERROR_INVALID_IMAGE_HASH or
  // ERROR_DRIVER_BLOCKED), 0 when it did not: the failure box is then not shown here.
  std::uint32_t RefusedByWindows() const { return refusal_; }

 protected:
  Handle InstallAndOpen(const std::string& name, const std::uint8_t* image, std::uint32_t size);
  bool WriteDriverFile(const std::string& path, const std::uint8_t* image, std::uint32_t size);
  void CloseAndRemove(Handle handle, const std::string& name);

 private:
  struct DriverPaths {
    std::string driverFile;
    std::string device;
  };

  bool NtFamily() const { return osType_ != otWin9x; }
  std::optional<DriverPaths> BuildPaths(const std::string& name);
  Handle OpenNtDevice(const std::string& devicePath);
  Handle InstallServiceAndOpen(const std::string& name, const DriverPaths& paths);
  ScHandle CreateOrOpenService(ScHandle manager, const std::string& name,
                               const std::string& driverFile);
  Handle Load9xDriver(const std::string& devicePath);
  void CloseService(ScHandle handle);
  void RememberRefusal(ScHandle service, std::uint32_t error);
  Handle Fail();

  DriverHost host_;
  TOsType osType_;
  Handle deviceHandle_ = kInvalidHandleValue;
  std::uint32_t refusal_ = 0;
};

}  // namespace velmora
