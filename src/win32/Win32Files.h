#pragma once

#include "ports/CodePagePort.h"
#include "ports/FilePort.h"

namespace velmora::win32 {

class Win32Files : public IFiles {
 public:
  Handle CreateFileA(const std::string& path, std::uint32_t desiredAccess,
                     std::uint32_t shareMode, std::uint32_t creationDisposition,
                     std::uint32_t flagsAndAttributes) override;
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
};

class Win32AnsiCodePage : public IAnsiCodePage {
 public:
  std::string AnsiToUtf8(const std::string& ansiBytes) override;
  std::string Utf8ToAnsi(const std::string& utf8Text) override;
};

}  // namespace velmora::win32
