#include "win32/Win32Files.h"

#include <windows.h>

#include "win32/Win32Text.h"

namespace velmora::win32 {

Handle Win32Files::CreateFileA(const std::string& path, std::uint32_t desiredAccess,
                               std::uint32_t shareMode, std::uint32_t creationDisposition,
                               std::uint32_t flagsAndAttributes) {
  HANDLE file = ::CreateFileA(Utf8ToAnsi(path).c_str(), desiredAccess, shareMode, nullptr,
                              creationDisposition, flagsAndAttributes, nullptr);
  return reinterpret_cast<Handle>(file);
}

bool Win32Files::ReadFile(Handle file, void* buffer, std::uint32_t bytesToRead,
                          std::uint32_t* bytesRead) {
  DWORD read = 0;
  const BOOL ok = ::ReadFile(reinterpret_cast<HANDLE>(file), buffer, bytesToRead, &read, nullptr);
  if (bytesRead != nullptr) *bytesRead = read;
  return ok != FALSE;
}

bool Win32Files::WriteFile(Handle file, const void* data, std::uint32_t bytesToWrite,
                           std::uint32_t* bytesWritten) {
  DWORD written = 0;
  const BOOL ok =
      ::WriteFile(reinterpret_cast<HANDLE>(file), data, bytesToWrite, &written, nullptr);
  if (bytesWritten != nullptr) *bytesWritten = written;
  return ok != FALSE;
}

std::uint32_t Win32Files::GetFileSize(Handle file) {
  return ::GetFileSize(reinterpret_cast<HANDLE>(file), nullptr);
}

bool Win32Files::CloseHandle(Handle object) {
  return ::CloseHandle(reinterpret_cast<HANDLE>(object)) != FALSE;
}

bool Win32Files::DeleteFileA(const std::string& path) {
  return ::DeleteFileA(Utf8ToAnsi(path).c_str()) != FALSE;
}

bool Win32Files::DeviceIoControl(Handle device, std::uint32_t ioControlCode, const void* inBuffer,
                                 std::uint32_t inBufferSize, void* outBuffer,
                                 std::uint32_t outBufferSize, std::uint32_t* bytesReturned) {
  DWORD returned = 0;
  const BOOL ok = ::DeviceIoControl(reinterpret_cast<HANDLE>(device), ioControlCode,
                                    const_cast<void*>(inBuffer), inBufferSize, outBuffer,
                                    outBufferSize, &returned, nullptr);
  if (bytesReturned != nullptr) *bytesReturned = returned;
  return ok != FALSE;
}

std::string Win32AnsiCodePage::AnsiToUtf8(const std::string& ansiBytes) {
  return win32::AnsiToUtf8(ansiBytes);
}

std::string Win32AnsiCodePage::Utf8ToAnsi(const std::string& utf8Text) {
  return win32::Utf8ToAnsi(utf8Text);
}

}  // namespace velmora::win32
