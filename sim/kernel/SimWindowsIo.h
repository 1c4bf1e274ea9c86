// The kernel32 file calls of the simulated Windows: "\\.\NAME" opens the device whose
// \DosDevices link is NAME, every other path goes to the simulated file system. Devices are
// opened as the I/O manager does it (an exclusive device admits one handle in the whole
// system: a second open fails with ERROR_ACCESS_DENIED), and DeviceIoControl passes requests
// with METHOD_BUFFERED semantics: one system buffer of max(input, output) bytes from pool, the
// input copied in, the request dispatched, min(output, bytes returned) copied back. Pool is not
// cleared when it is allocated: the buffer past the input holds what was there before, here
// the byte kStalePoolByte, so that a driver answering bytes it never wrote is seen. A failing NT
// status comes back as FALSE with the Win32 error RtlNtStatusToDosError gives for it.
//
// On the 9x family, opening "\\.\" followed by the path of a .vxd file loads that virtual
// device driver dynamically; closing the handle unloads it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ports/FilePort.h"
#include "sim/SimFileSystem.h"
#include "sim/kernel/SimDevices.h"

namespace velmora::sim {

inline constexpr std::uint32_t kErrorInvalidFunction = 1;
inline constexpr std::uint32_t kErrorGenFailure = 31;
inline constexpr std::uint32_t kErrorNoAccess = 998;
inline constexpr std::uint32_t kErrorNoSystemResources = 1450;

// What a freshly allocated system buffer holds past the caller's input.
inline constexpr std::uint8_t kStalePoolByte = 0xC5;

// RtlNtStatusToDosError for the statuses the simulated drivers answer with.
std::uint32_t Win32ErrorOfNtStatus(std::uint32_t status);

struct SimIoctlCall {
  std::uint32_t code = 0;
  std::uint32_t inSize = 0;
  std::uint32_t outSize = 0;
  bool succeeded = false;
  std::uint32_t error = 0;
  std::uint32_t bytesReturned = 0;
};

class SimWindowsIo : public IFiles {
 public:
  SimWindowsIo(SimFileSystem& files, SimDeviceDirectory& devices)
      : files_(files), devices_(devices) {}

  // Makes this a 9x system: "\\.\<path>.vxd" loads the file as a virtual device driver whose
  // requests `vxd` serves.
  void EnableDynamicVxdLoading(SimDevice::DispatchRoutine vxd) { vxdDispatch_ = std::move(vxd); }

  Handle CreateFileA(const std::string& path, std::uint32_t desiredAccess, std::uint32_t shareMode,
                     std::uint32_t creationDisposition, std::uint32_t flagsAndAttributes) override;
  bool ReadFile(Handle file, void* buffer, std::uint32_t bytesToRead,
                std::uint32_t* bytesRead) override;
  bool WriteFile(Handle file, const void* data, std::uint32_t bytesToWrite,
                 std::uint32_t* bytesWritten) override;
  std::uint32_t GetFileSize(Handle file) override;
  bool CloseHandle(Handle object) override;
  bool DeleteFileA(const std::string& path) override;
  bool DeviceIoControl(Handle device, std::uint32_t ioControlCode, const void* inBuffer,
                       std::uint32_t inBufferSize, void* outBuffer, std::uint32_t outBufferSize,
                       std::uint32_t* bytesReturned) override;

  // GetLastError after the last call.
  std::uint32_t LastError() const { return fromFiles_ ? files_.LastError() : lastError_; }

  // Fault: another process holds the device open (false when there is no such device).
  bool HoldDeviceElsewhere(const std::string& name, bool held = true);

  std::size_t OpenDeviceHandleCount() const { return deviceHandles_.size(); }
  std::size_t LoadedVxdCount() const;
  const std::vector<SimIoctlCall>& IoctlCalls() const { return ioctls_; }
  // Every CreateFileA call, devices and files alike, with its arguments.
  const std::vector<CreateFileCall>& CreateFileCalls() const { return createCalls_; }
  // The bytes of every .vxd file loaded, in load order.
  const std::vector<std::string>& LoadedVxdImages() const { return vxdImages_; }

 private:
  struct DeviceHandle {
    std::shared_ptr<SimDevice> device;
    bool dynamicVxd = false;
    Handle handle = 0;
    void* fileContext = nullptr;  // the file object's FsContext2
    std::uint32_t grantedAccess = 0;  // FILE_READ_DATA, FILE_WRITE_DATA
  };
  static const void* FileObjectOf(Handle handle);

  Handle OpenDevice(const std::string& name, std::uint32_t desiredAccess);
  Handle LoadVxd(const std::string& path, std::uint32_t flags);
  Handle AddDeviceHandle(std::shared_ptr<SimDevice> device, bool dynamicVxd,
                         std::uint32_t grantedAccess);
  DeviceHandle* FindDevice(Handle handle);
  bool Fail(std::uint32_t error);
  Handle FailOpen(std::uint32_t error);
  bool Succeed();
  void UseFiles() { fromFiles_ = true; }
  bool Ioctl(DeviceHandle& handle, std::uint32_t code, const void* in, std::uint32_t inSize,
             void* out, std::uint32_t outSize, std::uint32_t* returned);

  SimFileSystem& files_;
  SimDeviceDirectory& devices_;
  SimDevice::DispatchRoutine vxdDispatch_;
  std::map<Handle, DeviceHandle> deviceHandles_;
  Handle nextHandle_ = 0x40000000;
  std::uint32_t lastError_ = 0;
  bool fromFiles_ = false;
  std::vector<SimIoctlCall> ioctls_;
  std::vector<CreateFileCall> createCalls_;
  std::vector<std::string> vxdImages_;
};

}  // namespace velmora::sim
