// Files and devices as Windows sees them: the kernel32 file calls, one method each. Paths are UTF-8 in the
// core; the Win32 adapter converts them to the ANSI code page for the "A" calls, as a program
// built on ANSI paths does.
#pragma once

#include <cstdint>
#include <string>

#include "ports/WinTypes.h"

namespace velmora {

class IFiles {
 public:
  virtual ~IFiles() = default;

  // CreateFileA with no security attributes and no template file.
  virtual Handle CreateFileA(const std::string& path, std::uint32_t desiredAccess,
                             std::uint32_t shareMode, std::uint32_t creationDisposition,
                             std::uint32_t flagsAndAttributes) = 0;
  virtual bool ReadFile(Handle file, void* buffer, std::uint32_t bytesToRead,
                        std::uint32_t* bytesRead) = 0;
  virtual bool WriteFile(Handle file, const void* data, std::uint32_t bytesToWrite,
                         std::uint32_t* bytesWritten) = 0;
  // Low 32 bits of the size; kInvalidFileSize on failure.
  virtual std::uint32_t GetFileSize(Handle file) = 0;
  virtual bool CloseHandle(Handle object) = 0;
  virtual bool DeleteFileA(const std::string& path) = 0;
  // DeviceIoControl on a device handle, no OVERLAPPED; bytesReturned may be null.
  virtual bool DeviceIoControl(Handle device, std::uint32_t ioControlCode, const void* inBuffer,
                               std::uint32_t inBufferSize, void* outBuffer,
                               std::uint32_t outBufferSize, std::uint32_t* bytesReturned) = 0;
};

}  // namespace velmora
