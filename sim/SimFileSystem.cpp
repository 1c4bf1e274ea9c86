#include "sim/SimFileSystem.h"

#include <algorithm>
#include <cstring>

#include "ports/WinTypes.h"

namespace velmora::sim {
namespace {

// Access rights and dispositions beyond the ones the core names.
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kFileReadData = 0x0001;
constexpr std::uint32_t kFileWriteData = 0x0002;
constexpr std::uint32_t kFileAppendData = 0x0004;
constexpr std::uint32_t kFileShareDelete = 0x0004;
constexpr std::uint32_t kOpenAlways = 4;
constexpr std::uint32_t kTruncateExisting = 5;

bool WantsRead(std::uint32_t access) {
  return (access & (win::kGenericRead | kGenericAll | kFileReadData)) != 0;
}

bool WantsWrite(std::uint32_t access) {
  return (access & (win::kGenericWrite | kGenericAll | kFileWriteData | kFileAppendData)) != 0;
}

std::string FolderKey(const std::string& key) {
  const std::size_t slash = key.find_last_of('\\');
  return slash == std::string::npos ? std::string{} : key.substr(0, slash);
}

}  // namespace

std::string NormaliseWindowsPath(const std::string& path) {
  std::string key = path;
  for (char& c : key) {
    if (c == '/') c = '\\';
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

bool SimFileSystem::Fail(std::uint32_t error) {
  lastError_ = error;
  return false;
}

Handle SimFileSystem::FailOpenCall(std::uint32_t error) {
  lastError_ = error;
  return kInvalidHandleValue;
}

bool SimFileSystem::InReadOnlyFolder(const std::string& key) const {
  return readOnlyFolders_.count(FolderKey(key)) != 0;
}

bool SimFileSystem::SharingAllows(const std::string& key, bool read, bool write,
                                  std::uint32_t shareMode) const {
  for (const auto& [handle, open] : handles_) {
    if (open.key != key) continue;
    if (read && (open.shareMode & win::kFileShareRead) == 0) return false;
    if (write && (open.shareMode & win::kFileShareWrite) == 0) return false;
    if (open.canRead && (shareMode & win::kFileShareRead) == 0) return false;
    if (open.canWrite && (shareMode & win::kFileShareWrite) == 0) return false;
  }
  return true;
}

// The checks of CreateFileA before anything changes; sets the error when the open must fail.
bool SimFileSystem::OpenAllowed(const std::string& key, std::uint32_t disposition, bool write) {
  if (disposition < win::kCreateNew || disposition > kTruncateExisting) {
    return Fail(kErrorInvalidParameter);
  }
  const bool exists = files_.count(key) != 0;
  if (!exists && (disposition == win::kOpenExisting || disposition == kTruncateExisting)) {
    return Fail(kErrorFileNotFound);
  }
  if (exists && disposition == win::kCreateNew) return Fail(kErrorFileExists);
  const bool changesFolder =
      !exists || disposition == win::kCreateAlways || disposition == kTruncateExisting;
  const bool modifies = write || (changesFolder && disposition != win::kOpenExisting);
  if (modifies && InReadOnlyFolder(key)) return Fail(kErrorAccessDenied);
  return true;
}

Handle SimFileSystem::CreateFileA(const std::string& path, std::uint32_t desiredAccess,
                                  std::uint32_t shareMode, std::uint32_t creationDisposition,
                                  std::uint32_t flagsAndAttributes) {
  createCalls_.push_back({path, desiredAccess, shareMode, creationDisposition, flagsAndAttributes});
  const std::string key = NormaliseWindowsPath(path);
  if (const auto failing = failingOpens_.find(key); failing != failingOpens_.end()) {
    return FailOpenCall(failing->second);
  }
  const bool read = WantsRead(desiredAccess);
  const bool write = WantsWrite(desiredAccess);
  if (!OpenAllowed(key, creationDisposition, write)) return kInvalidHandleValue;
  if (!SharingAllows(key, read, write, shareMode)) return FailOpenCall(kErrorSharingViolation);

  const bool existed = files_.count(key) != 0;
  if (!existed) {
    files_[key] = FileEntry{path, {}};
    creationOrder_.push_back(key);
  } else if (creationDisposition == win::kCreateAlways ||
             creationDisposition == kTruncateExisting) {
    files_[key].bytes.clear();
  }
  const bool reportsExisting =
      existed && (creationDisposition == win::kCreateAlways || creationDisposition == kOpenAlways);
  lastError_ = reportsExisting ? kErrorAlreadyExists : kErrorSuccess;
  const Handle handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = OpenFile{key, 0, read, write, shareMode};
  return handle;
}

SimFileSystem::OpenFile* SimFileSystem::Find(Handle file) {
  const auto found = handles_.find(file);
  return found == handles_.end() ? nullptr : &found->second;
}

bool SimFileSystem::ReadFile(Handle file, void* buffer, std::uint32_t bytesToRead,
                             std::uint32_t* bytesRead) {
  if (bytesRead != nullptr) *bytesRead = 0;
  OpenFile* open = Find(file);
  if (open == nullptr) return Fail(kErrorInvalidHandle);
  if (!open->canRead) return Fail(kErrorAccessDenied);
  if (failingReads_.count(open->key) != 0) return Fail(kErrorReadFault);
  const auto entry = files_.find(open->key);
  if (entry == files_.end()) return Fail(kErrorAccessDenied);  // deleted while open
  const std::string& bytes = entry->second.bytes;
  const std::size_t start = std::min<std::size_t>(open->position, bytes.size());
  const std::size_t count = std::min<std::size_t>(bytesToRead, bytes.size() - start);
  if (count > 0) std::memcpy(buffer, bytes.data() + start, count);
  open->position = static_cast<std::uint32_t>(start + count);
  if (bytesRead != nullptr) *bytesRead = static_cast<std::uint32_t>(count);
  lastError_ = kErrorSuccess;
  return true;
}

bool SimFileSystem::WriteFile(Handle file, const void* data, std::uint32_t bytesToWrite,
                              std::uint32_t* bytesWritten) {
  if (bytesWritten != nullptr) *bytesWritten = 0;
  OpenFile* open = Find(file);
  if (open == nullptr) return Fail(kErrorInvalidHandle);
  if (!open->canWrite) return Fail(kErrorAccessDenied);
  if (failingWrites_.count(open->key) != 0) return Fail(kErrorWriteFault);
  const auto entry = files_.find(open->key);
  if (entry == files_.end()) return Fail(kErrorAccessDenied);  // deleted while open
  std::string& bytes = entry->second.bytes;
  const std::size_t end = std::size_t{open->position} + bytesToWrite;
  if (bytes.size() < end) bytes.resize(end, '\0');
  if (bytesToWrite > 0) std::memcpy(bytes.data() + open->position, data, bytesToWrite);
  open->position = static_cast<std::uint32_t>(end);
  if (bytesWritten != nullptr) *bytesWritten = bytesToWrite;
  lastError_ = kErrorSuccess;
  return true;
}

std::uint32_t SimFileSystem::GetFileSize(Handle file) {
  OpenFile* open = Find(file);
  if (open == nullptr) {
    lastError_ = kErrorInvalidHandle;
    return win::kInvalidFileSize;
  }
  const auto entry = files_.find(open->key);
  lastError_ = kErrorSuccess;
  return entry == files_.end() ? 0 : static_cast<std::uint32_t>(entry->second.bytes.size());
}

bool SimFileSystem::CloseHandle(Handle object) {
  if (handles_.erase(object) == 0) return Fail(kErrorInvalidHandle);
  lastError_ = kErrorSuccess;
  return true;
}

bool SimFileSystem::DeleteFileA(const std::string& path) {
  const std::string key = NormaliseWindowsPath(path);
  if (files_.count(key) == 0) return Fail(kErrorFileNotFound);
  if (InReadOnlyFolder(key)) return Fail(kErrorAccessDenied);
  for (const auto& [handle, open] : handles_) {
    if (open.key == key && (open.shareMode & kFileShareDelete) == 0) {
      return Fail(kErrorSharingViolation);
    }
  }
  files_.erase(key);
  creationOrder_.erase(std::remove(creationOrder_.begin(), creationOrder_.end(), key),
                       creationOrder_.end());
  lastError_ = kErrorSuccess;
  return true;
}

void SimFileSystem::SetFile(const std::string& path, std::string bytes) {
  const std::string key = NormaliseWindowsPath(path);
  if (files_.count(key) == 0) creationOrder_.push_back(key);
  files_[key] = FileEntry{path, std::move(bytes)};
}

bool SimFileSystem::Exists(const std::string& path) const {
  return files_.count(NormaliseWindowsPath(path)) != 0;
}

std::optional<std::string> SimFileSystem::Contents(const std::string& path) const {
  const auto found = files_.find(NormaliseWindowsPath(path));
  if (found == files_.end()) return std::nullopt;
  return found->second.bytes;
}

std::vector<std::string> SimFileSystem::Paths() const {
  std::vector<std::string> paths;
  for (const std::string& key : creationOrder_) paths.push_back(files_.at(key).path);
  return paths;
}

void SimFileSystem::FailOpen(const std::string& path, std::uint32_t error) {
  failingOpens_[NormaliseWindowsPath(path)] = error;
}

void SimFileSystem::FailReads(const std::string& path, bool fail) {
  const std::string key = NormaliseWindowsPath(path);
  if (fail) {
    failingReads_.insert(key);
  } else {
    failingReads_.erase(key);
  }
}

void SimFileSystem::FailWrites(const std::string& path, bool fail) {
  const std::string key = NormaliseWindowsPath(path);
  if (fail) {
    failingWrites_.insert(key);
  } else {
    failingWrites_.erase(key);
  }
}

void SimFileSystem::SetFolderReadOnly(const std::string& folder, bool readOnly) {
  std::string key = NormaliseWindowsPath(folder);
  while (!key.empty() && key.back() == '\\') key.pop_back();
  if (readOnly) {
    readOnlyFolders_.insert(key);
  } else {
    readOnlyFolders_.erase(key);
  }
}

bool SimFileSystem::DeviceIoControl(Handle, std::uint32_t, const void*, std::uint32_t, void*,
                                    std::uint32_t, std::uint32_t* bytesReturned) {
  if (bytesReturned != nullptr) *bytesReturned = 0;
  return Fail(kErrorInvalidHandle);
}

}  // namespace velmora::sim
