#include "sim/kernel/SimWindowsIo.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "hw/DriverProtocol.h"

namespace velmora::sim {
namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";
constexpr std::size_t kDevicePrefixLength = 4;

bool IsDevicePath(const std::string& path) {
  return path.rfind(kDevicePrefix, 0) == 0;
}

bool EndsWithVxd(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".vxd";
}

constexpr std::uint32_t kFileReadData = 0x0001;
constexpr std::uint32_t kFileWriteData = 0x0002;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kMaximumAllowed = 0x02000000;

// The generic rights as a file object maps them (FILE_GENERIC_READ holds FILE_READ_DATA,
// FILE_GENERIC_WRITE FILE_WRITE_DATA); the device's DACL grants everything it is asked for to
// the administrators this simulated process runs as.
std::uint32_t FileAccess(std::uint32_t desired) {
  std::uint32_t granted = desired & (kFileReadData | kFileWriteData);
  if (desired & (win::kGenericRead | kGenericAll | kMaximumAllowed)) granted |= kFileReadData;
  if (desired & (win::kGenericWrite | kGenericAll | kMaximumAllowed)) granted |= kFileWriteData;
  return granted;
}

bool NtSuccess(std::uint32_t status) {
  return static_cast<std::int32_t>(status) >= 0;
}
// Errors (severity 3) return no data; warnings (severity 2) still copy their data back.
bool NtError(std::uint32_t status) {
  return (status >> 30) == 3;
}

}  // namespace

std::uint32_t Win32ErrorOfNtStatus(std::uint32_t status) {
  switch (status) {
    case 0x00000000:
      return 0;
    case 0xC0000001:
      return kErrorGenFailure;  // STATUS_UNSUCCESSFUL
    case 0xC0000002:
      return kErrorInvalidFunction;  // STATUS_NOT_IMPLEMENTED
    case 0xC000000D:
      return kErrorInvalidParameter;  // STATUS_INVALID_PARAMETER
    case 0xC0000022:
      return 5;  // STATUS_ACCESS_DENIED: ERROR_ACCESS_DENIED
    case 0xC0000023:
      return 122;  // STATUS_BUFFER_TOO_SMALL: ERROR_INSUFFICIENT_BUFFER
    case 0xC0000010:
      return kErrorInvalidFunction;  // STATUS_INVALID_DEVICE_REQUEST
    case 0xC0000017:
      return 8;  // STATUS_NO_MEMORY
    case 0xC0000018:
      return 487;  // STATUS_CONFLICTING_ADDRESSES
    case 0xC0000019:
      return 487;  // STATUS_NOT_MAPPED_VIEW
    case 0xC000009A:
      return kErrorNoSystemResources;  // STATUS_INSUFFICIENT_RESOURCES
    case 0xC000009D:
      return 1167;  // STATUS_DEVICE_NOT_CONNECTED
    case 0xC00000A3:
      return 21;  // STATUS_DEVICE_NOT_READY
    case 0x80000011:
      return 170;  // STATUS_DEVICE_BUSY
    default:
      return 317;  // ERROR_MR_MID_NOT_FOUND
  }
}

bool SimWindowsIo::Fail(std::uint32_t error) {
  fromFiles_ = false;
  lastError_ = error;
  return false;
}

Handle SimWindowsIo::FailOpen(std::uint32_t error) {
  Fail(error);
  return kInvalidHandleValue;
}

bool SimWindowsIo::Succeed() {
  fromFiles_ = false;
  lastError_ = 0;
  return true;
}

SimWindowsIo::DeviceHandle* SimWindowsIo::FindDevice(Handle handle) {
  const auto found = deviceHandles_.find(handle);
  return found == deviceHandles_.end() ? nullptr : &found->second;
}

Handle SimWindowsIo::CreateFileA(const std::string& path, std::uint32_t desiredAccess,
                                 std::uint32_t shareMode, std::uint32_t creationDisposition,
                                 std::uint32_t flagsAndAttributes) {
  createCalls_.push_back({path, desiredAccess, shareMode, creationDisposition, flagsAndAttributes});
  if (IsDevicePath(path)) {
    const std::string name = path.substr(kDevicePrefixLength);
    if (vxdDispatch_ && EndsWithVxd(name)) return LoadVxd(name, flagsAndAttributes);
    // "\\.\C:\..." names a file through the drive's device link.
    if (name.find(':') == std::string::npos) return OpenDevice(name, desiredAccess);
  }
  UseFiles();
  return files_.CreateFileA(path, desiredAccess, shareMode, creationDisposition,
                            flagsAndAttributes);
}

// The I/O manager refuses a second open of an exclusive device with STATUS_ACCESS_DENIED, and
// any open of a device whose driver is unloading with STATUS_NO_SUCH_DEVICE.
Handle SimWindowsIo::OpenDevice(const std::string& name, std::uint32_t desiredAccess) {
  std::shared_ptr<SimDevice> device = devices_.Find(name);
  if (!device || device->UnloadPending()) return FailOpen(kErrorFileNotFound);
  if (device->Exclusive() && device->InUse()) return FailOpen(kErrorAccessDenied);
  driver::IoRequest create;
  create.kind = driver::IoRequest::Kind::kCreate;
  create.fileObject = FileObjectOf(nextHandle_);
  const driver::IoResult result = device->Dispatch(create);
  if (!NtSuccess(result.status)) return FailOpen(Win32ErrorOfNtStatus(result.status));
  return AddDeviceHandle(std::move(device), false, FileAccess(desiredAccess));
}

// VXDLDR loads the file named after "\\.\"; a missing file fails as any missing file does.
Handle SimWindowsIo::LoadVxd(const std::string& path, std::uint32_t flags) {
  if (!files_.Exists(path)) return FailOpen(kErrorFileNotFound);
  // Only an open with FILE_FLAG_DELETE_ON_CLOSE loads a dynamic VxD.
  if ((flags & win::kFileFlagDeleteOnClose) == 0) return FailOpen(kErrorFileNotFound);
  vxdImages_.push_back(*files_.Contents(path));
  return AddDeviceHandle(std::make_shared<SimDevice>(path, false, vxdDispatch_), true,
                         kFileReadData | kFileWriteData);
}

Handle SimWindowsIo::AddDeviceHandle(std::shared_ptr<SimDevice> device, bool dynamicVxd,
                                     std::uint32_t grantedAccess) {
  const Handle handle = nextHandle_;
  nextHandle_ += 4;
  device->HandleOpened();
  deviceHandles_[handle] = DeviceHandle{std::move(device), dynamicVxd, handle, nullptr,
                                        grantedAccess};
  Succeed();
  return handle;
}

bool SimWindowsIo::ReadFile(Handle file, void* buffer, std::uint32_t bytesToRead,
                            std::uint32_t* bytesRead) {
  if (FindDevice(file) != nullptr) return Fail(kErrorInvalidFunction);
  UseFiles();
  return files_.ReadFile(file, buffer, bytesToRead, bytesRead);
}

bool SimWindowsIo::WriteFile(Handle file, const void* data, std::uint32_t bytesToWrite,
                             std::uint32_t* bytesWritten) {
  if (FindDevice(file) != nullptr) return Fail(kErrorInvalidFunction);
  UseFiles();
  return files_.WriteFile(file, data, bytesToWrite, bytesWritten);
}

std::uint32_t SimWindowsIo::GetFileSize(Handle file) {
  if (FindDevice(file) != nullptr) {
    Fail(kErrorInvalidFunction);
    return win::kInvalidFileSize;
  }
  UseFiles();
  return files_.GetFileSize(file);
}

bool SimWindowsIo::CloseHandle(Handle object) {
  const auto found = deviceHandles_.find(object);
  if (found == deviceHandles_.end()) {
    UseFiles();
    return files_.CloseHandle(object);
  }
  const std::shared_ptr<SimDevice> device = found->second.device;
  void* fileContext = found->second.fileContext;
  deviceHandles_.erase(found);
  // The last handle of the file object: cleanup in this process, then close.
  driver::IoRequest cleanup;
  cleanup.kind = driver::IoRequest::Kind::kCleanup;
  cleanup.fileObject = FileObjectOf(object);
  cleanup.fileContext = &fileContext;
  device->Dispatch(cleanup);
  driver::IoRequest close;
  close.kind = driver::IoRequest::Kind::kClose;
  close.fileObject = FileObjectOf(object);
  close.fileContext = &fileContext;
  device->Dispatch(close);
  device->HandleClosed();
  return Succeed();
}

bool SimWindowsIo::DeleteFileA(const std::string& path) {
  UseFiles();
  return files_.DeleteFileA(path);
}

bool SimWindowsIo::DeviceIoControl(Handle device, std::uint32_t ioControlCode, const void* inBuffer,
                                   std::uint32_t inBufferSize, void* outBuffer,
                                   std::uint32_t outBufferSize, std::uint32_t* bytesReturned) {
  std::uint32_t returned = 0;
  DeviceHandle* handle = FindDevice(device);
  bool ok = false;
  if (handle == nullptr) {
    ok = Fail(kErrorInvalidHandle);
  } else {
    ok = Ioctl(*handle, ioControlCode, inBuffer, inBufferSize, outBuffer, outBufferSize, &returned);
  }
  if (bytesReturned != nullptr) *bytesReturned = returned;
  ioctls_.push_back(
      {ioControlCode, inBufferSize, outBufferSize, ok, ok ? 0 : lastError_, returned});
  return ok;
}

bool SimWindowsIo::Ioctl(DeviceHandle& handle, std::uint32_t code, const void* in,
                         std::uint32_t inSize, void* out, std::uint32_t outSize,
                         std::uint32_t* returned) {
  // The I/O manager probes the caller's buffers before it builds the request, and checks the
  // access the code declares against the handle's.
  if ((in == nullptr && inSize != 0) || (out == nullptr && outSize != 0)) {
    return Fail(kErrorNoAccess);
  }
  const std::uint32_t required = driver_protocol::RequiredAccess(code);
  if (((required & driver_protocol::kFileReadAccess) && !(handle.grantedAccess & kFileReadData)) ||
      ((required & driver_protocol::kFileWriteAccess) && !(handle.grantedAccess & kFileWriteData))) {
    return Fail(kErrorAccessDenied);
  }
  std::vector<std::uint8_t> systemBuffer(std::max(inSize, outSize), kStalePoolByte);
  if (inSize != 0) std::memcpy(systemBuffer.data(), in, inSize);
  driver::IoRequest request;
  request.kind = driver::IoRequest::Kind::kDeviceControl;
  request.fileObject = FileObjectOf(handle.handle);
  request.fileContext = &handle.fileContext;
  request.controlCode = code;
  request.systemBuffer = systemBuffer.empty() ? nullptr : systemBuffer.data();
  request.inputLength = inSize;
  request.outputLength = outSize;
  const driver::IoResult result = handle.device->Dispatch(request);
  if (!NtError(result.status)) {
    *returned = std::min(outSize, result.information);
    if (*returned != 0) std::memcpy(out, systemBuffer.data(), *returned);
  }
  if (!NtSuccess(result.status)) return Fail(Win32ErrorOfNtStatus(result.status));
  return Succeed();
}

// Each handle opened here is its own file object; its value stands for the object's address.
const void* SimWindowsIo::FileObjectOf(Handle handle) {
  return reinterpret_cast<const void*>(handle);
}

bool SimWindowsIo::HoldDeviceElsewhere(const std::string& name, bool held) {
  const std::shared_ptr<SimDevice> device = devices_.Find(name);
  if (!device) return false;
  device->SetHeldElsewhere(held);
  return true;
}

std::size_t SimWindowsIo::LoadedVxdCount() const {
  return static_cast<std::size_t>(
      std::count_if(deviceHandles_.begin(), deviceHandles_.end(),
                    [](const auto& entry) { return entry.second.dynamicVxd; }));
}

}  // namespace velmora::sim
