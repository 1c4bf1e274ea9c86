// A simulated Windows file system behind IFiles: files are byte strings in memory, keyed by
// their path compared as Windows does (letter case and '/' versus '\' do not matter). Handles
// keep a position and the access they were opened with; creation dispositions, sharing and
// read-only folders behave as on NTFS. Tests seed files, make paths fail, and inspect contents
// and the arguments of every CreateFileA call.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ports/FilePort.h"

namespace velmora::sim {

// Windows error codes the simulated calls leave behind.
inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorWriteFault = 29;
inline constexpr std::uint32_t kErrorReadFault = 30;
inline constexpr std::uint32_t kErrorSharingViolation = 32;
inline constexpr std::uint32_t kErrorFileExists = 80;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;

struct CreateFileCall {
  std::string path;
  std::uint32_t desiredAccess = 0;
  std::uint32_t shareMode = 0;
  std::uint32_t creationDisposition = 0;
  std::uint32_t flagsAndAttributes = 0;
};

class SimFileSystem : public IFiles {
 public:
  Handle CreateFileA(const std::string& path, std::uint32_t desiredAccess, std::uint32_t shareMode,
                     std::uint32_t creationDisposition, std::uint32_t flagsAndAttributes) override;
  bool ReadFile(Handle file, void* buffer, std::uint32_t bytesToRead,
                std::uint32_t* bytesRead) override;
  bool WriteFile(Handle file, const void* data, std::uint32_t bytesToWrite,
                 std::uint32_t* bytesWritten) override;
  std::uint32_t GetFileSize(Handle file) override;
  bool CloseHandle(Handle object) override;
  bool DeleteFileA(const std::string& path) override;
  // No devices in a bare file system: fails with ERROR_INVALID_HANDLE.
  bool DeviceIoControl(Handle device, std::uint32_t ioControlCode, const void* inBuffer,
                       std::uint32_t inBufferSize, void* outBuffer, std::uint32_t outBufferSize,
                       std::uint32_t* bytesReturned) override;

  // GetLastError after the last call that failed (or set it).
  std::uint32_t LastError() const { return lastError_; }

  // Seeding and inspection.
  void SetFile(const std::string& path, std::string bytes);
  bool Exists(const std::string& path) const;
  // nullopt when there is no such file.
  std::optional<std::string> Contents(const std::string& path) const;
  std::vector<std::string> Paths() const;  // as first created
  const std::vector<CreateFileCall>& CreateFileCalls() const { return createCalls_; }
  std::size_t OpenHandleCount() const { return handles_.size(); }

  // Faults: CreateFileA of the path fails with the given error; reads or writes through any
  // handle on the path fail.
  void FailOpen(const std::string& path, std::uint32_t error = kErrorAccessDenied);
  void FailReads(const std::string& path, bool fail = true);
  void FailWrites(const std::string& path, bool fail = true);
  // A write-protected folder (not its subfolders): files in it can be opened for reading
  // only; creating, writing and deleting fail with access denied.
  void SetFolderReadOnly(const std::string& folder, bool readOnly = true);

 private:
  struct FileEntry {
    std::string path;  // as first written
    std::string bytes;
  };
  struct OpenFile {
    std::string key;
    std::uint32_t position = 0;
    bool canRead = false;
    bool canWrite = false;
    std::uint32_t shareMode = 0;
  };

  bool Fail(std::uint32_t error);
  Handle FailOpenCall(std::uint32_t error);
  bool SharingAllows(const std::string& key, bool read, bool write, std::uint32_t shareMode) const;
  bool InReadOnlyFolder(const std::string& key) const;
  bool OpenAllowed(const std::string& key, std::uint32_t disposition, bool write);
  OpenFile* Find(Handle file);

  std::map<std::string, FileEntry> files_;  // normalised path -> file
  std::vector<std::string> creationOrder_;
  std::map<Handle, OpenFile> handles_;
  Handle nextHandle_ = 0x100;
  std::map<std::string, std::uint32_t> failingOpens_;
  std::set<std::string> failingReads_;
  std::set<std::string> failingWrites_;
  std::set<std::string> readOnlyFolders_;
  std::vector<CreateFileCall> createCalls_;
  std::uint32_t lastError_ = kErrorSuccess;
};

// The form of a path the simulated file system compares: upper case, backslashes.
std::string NormaliseWindowsPath(const std::string& path);

}  // namespace velmora::sim
