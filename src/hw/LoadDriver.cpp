#include "hw/LoadDriver.h"

#include <string>

#include "config/DebugLog.h"
#include "hw/DriverProtocol.h"

namespace velmora {
namespace {

// Paths are built in MAX_PATH buffers: 259 characters and the terminating zero.
constexpr std::size_t kMaxPath = 260;

bool FitsPathBuffer(const std::string& path) {
  return path.size() < kMaxPath;
}

constexpr char kDevicePrefix[] = "\\\\.\\";

}  // namespace

TLoadDriver::TLoadDriver(const DriverHost& host, TOsType osType)
    : TDriverImageData(osType), host_(host), osType_(osType) {
  deviceHandle_ = InstallAndOpen(driver_protocol::kDriverName, ImageData, ImageSize);
}

TLoadDriver::~TLoadDriver() {
  CloseAndRemove(deviceHandle_, driver_protocol::kDriverName);
}

// 9x: <system>\ZlkVmDrv.vxd, opened as \\.\<that path>. NT on x86: <system>\Drivers\ZlkVmDrv.sys.
// NT on x64 and IA-64: a 32-bit process sees system32 redirected, so the file goes to
// <windows>\SysWOW64\Drivers, which is also the path the service manager is given.
std::optional<TLoadDriver::DriverPaths> TLoadDriver::BuildPaths(const std::string& name) {
  std::string folder;
  std::string file;
  if (osType_ == otWin9x) {
    folder = host_.system.GetSystemDirectoryA();
    file = "\\" + name + ".vxd";
  } else if (osType_ == otNt5X86 || osType_ == otNt6X86) {
    folder = host_.system.GetSystemDirectoryA();
    file = "\\Drivers\\" + name + ".sys";
  } else {
    folder = host_.system.GetWindowsDirectoryA();
    file = "\\SysWOW64\\Drivers\\" + name + ".sys";
  }
  // An empty folder means the directory query failed; the file must not land in a root.
  if (folder.empty()) return std::nullopt;
  DriverPaths paths{folder + file, ""};
  paths.device = kDevicePrefix + (osType_ == otWin9x ? paths.driverFile : name);
  if (!FitsPathBuffer(paths.driverFile) || !FitsPathBuffer(paths.device)) return std::nullopt;
  return paths;
}

Handle TLoadDriver::InstallAndOpen(const std::string& name, const std::uint8_t* image,
                                   std::uint32_t size) {
  const std::optional<DriverPaths> paths = BuildPaths(name);
  if (!paths) return Fail();
  DebugLogWrite("Drvier path = " + paths->driverFile);
  if (image != nullptr && size != 0) {
    DebugLogWrite("Start copy drvier");
    if (!WriteDriverFile(paths->driverFile, image, size)) return kInvalidHandleValue;
  }
  Handle device = NtFamily() ? InstallServiceAndOpen(name, *paths) : Load9xDriver(paths->device);
  // A loaded driver runs from memory; the file is not needed any more.
  host_.files.DeleteFileA(paths->driverFile);
  if (device != kInvalidHandleValue) return device;
  // Windows' own refusal is the main window's to tell, in the user's language.
  return refusal_ != 0 ? kInvalidHandleValue : Fail();
}

Handle TLoadDriver::Fail() {
  host_.messages.MessageBoxA(0, kDriverLoadFailedText, kDriverLoadFailedCaption,
                             win::kMbOk | win::kMbIconError);
  return kInvalidHandleValue;
}

// A file that could not be written whole is removed again: a truncated kernel driver must not
// be left in the drivers folder for a later start of the service to find.
bool TLoadDriver::WriteDriverFile(const std::string& path, const std::uint8_t* image,
                                  std::uint32_t size) {
  const Handle file = host_.files.CreateFileA(path, win::kGenericWrite, win::kFileShareWrite,
                                              win::kCreateAlways, win::kFileAttributeNormal);
  if (file == kInvalidHandleValue) {
    DebugLogWrite("Create driver fail");
    return false;
  }
  std::uint32_t written = 0;
  const bool wrote = host_.files.WriteFile(file, image, size, &written);
  host_.files.CloseHandle(file);
  if (wrote && written == size) {
    DebugLogWrite("Write driver file ok");
    return true;
  }
  DebugLogWrite("Write driver file fail");
  host_.files.DeleteFileA(path);
  return false;
}

// The device is exclusive: the open fails while any other handle to it is open.
Handle TLoadDriver::OpenNtDevice(const std::string& devicePath) {
  return host_.files.CreateFileA(devicePath, win::kGenericRead | win::kGenericWrite, 0,
                                 win::kCreateAlways, win::kFileAttributeNormal);
}

Handle TLoadDriver::InstallServiceAndOpen(const std::string& name, const DriverPaths& paths) {
  Handle device = OpenNtDevice(paths.device);
  if (device != kInvalidHandleValue) {
    DebugLogWrite("First connect driver ok");
    return device;
  }
  DebugLogWrite("Connect to the Service Control Manager and open the Services database");
  const ScHandle manager = host_.services.OpenSCManagerA(win::kScManagerAllAccess);
  const ScHandle service = CreateOrOpenService(manager, name, paths.driverFile);
  if (service == 0) {
    CloseService(manager);
    return kInvalidHandleValue;
  }
  DebugLogWrite("Start the execution of the service");
  // A failed start shows in the device open that follows; the log keeps why it failed. 1056
  // means the service already runs, for another process.
  if (!host_.services.StartServiceA(service)) {
    const std::uint32_t error = host_.services.GetLastError();
    DebugLogWrite("Start service fail, error = " + std::to_string(error));
    RememberRefusal(service, error);
  }
  CloseService(service);
  CloseService(manager);
  DebugLogWrite("Connect to the driver just installed");
  device = OpenNtDevice(paths.device);
  if (device != kInvalidHandleValue) DebugLogWrite("Connect driver ok");
  return device;
}

// Windows refuses the image itself: 577 (ERROR_INVALID_IMAGE_HASH) when its signature is not
// one this Windows trusts, its certificate was revoked or Memory Integrity forbids it; 1275
// (ERROR_DRIVER_BLOCKED) when it is on the vulnerable-driver block list. No later start can
// succeed, so the service goes at once.
void TLoadDriver::RememberRefusal(ScHandle service, std::uint32_t error) {
  if (error != win::kErrorInvalidImageHash && error != win::kErrorDriverBlocked) return;
  refusal_ = error;
  host_.services.DeleteService(service);
}

// A service left from an earlier run is reused as it is, with its earlier executable path.
ScHandle TLoadDriver::CreateOrOpenService(ScHandle manager, const std::string& name,
                                          const std::string& driverFile) {
  DebugLogWrite("Create new service object");
  ScHandle service = host_.services.CreateServiceA(
      manager, name, name, win::kServiceAllAccess, win::kServiceKernelDriver,
      win::kServiceDemandStart, win::kServiceErrorNormal, driverFile);
  if (service != 0) {
    DebugLogWrite("Create service success");
    return service;
  }
  if (host_.services.GetLastError() != win::kErrorServiceExists) return 0;
  DebugLogWrite("Service exists, Open the handle to the existing service");
  service = host_.services.OpenServiceA(manager, name, win::kServiceAllAccess);
  if (service == 0 && host_.services.GetLastError() == win::kErrorServiceAlreadyRunning) {
    DebugLogWrite("Service already running");
  }
  return service;
}

// Opening a .vxd by its path loads it dynamically; delete-on-close unloads it at the close.
Handle TLoadDriver::Load9xDriver(const std::string& devicePath) {
  const Handle device = host_.files.CreateFileA(devicePath, 0, 0, 0, win::kFileFlagDeleteOnClose);
  if (device != kInvalidHandleValue) DebugLogWrite("Connect driver ok");
  return device;
}

void TLoadDriver::CloseService(ScHandle handle) {
  if (handle != 0) host_.services.CloseServiceHandle(handle);
}

void TLoadDriver::CloseAndRemove(Handle handle, const std::string& name) {
  if (handle == kInvalidHandleValue) return;
  host_.files.CloseHandle(handle);
  if (!NtFamily()) return;
  const ScHandle manager = host_.services.OpenSCManagerA(win::kScManagerAllAccess);
  const ScHandle service = host_.services.OpenServiceA(manager, name, win::kServiceAllAccess);
  host_.services.ControlService(service, win::kServiceControlStop);
  host_.services.DeleteService(service);
  CloseService(service);
  CloseService(manager);
}

}  // namespace velmora
