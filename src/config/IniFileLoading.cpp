#include "config/IniFileLoading.h"

#include <vector>

#include "config/IniTextDecoding.h"
#include "ports/WinTypes.h"

namespace velmora {
namespace {

constexpr std::uint32_t kReadChunk = 64u * 1024u;

// Reads until the end of the file; false on a failed read or when the file turns out to be
// larger than the limit (it may have grown since its size was asked).
bool ReadToEnd(IFiles& files, Handle file, std::string& bytes) {
  std::vector<char> chunk(kReadChunk);
  for (;;) {
    std::uint32_t got = 0;
    if (!files.ReadFile(file, chunk.data(), kReadChunk, &got)) return false;
    if (got == 0) return true;
    if (got > kReadChunk || bytes.size() + got > kMaxIniFileBytes) return false;
    bytes.append(chunk.data(), got);
  }
}

}  // namespace

std::string ReadIniFileBytes(const std::string& path, IFiles& files) {
  const Handle file = files.CreateFileA(path, win::kGenericRead, win::kFileShareRead,
                                        win::kOpenExisting, win::kFileAttributeNormal);
  if (file == kInvalidHandleValue) return {};
  std::string bytes;
  const std::uint32_t size = files.GetFileSize(file);
  bool ok = size != win::kInvalidFileSize && size <= kMaxIniFileBytes;
  if (ok) {
    bytes.reserve(size);
    ok = ReadToEnd(files, file, bytes);
  }
  files.CloseHandle(file);
  return ok ? bytes : std::string{};
}

std::string LoadIniText(const std::string& path, IFiles& files, IAnsiCodePage& codePage) {
  return DecodeIniText(ReadIniFileBytes(path, files), codePage);
}

std::string FolderOfPath(const std::string& path) {
  // As the Windows shell reads a path: the folder ends at the last backslash or drive colon.
  const std::size_t end = path.find_last_of("\\:");
  return end == std::string::npos ? std::string{} : path.substr(0, end + 1);
}

}  // namespace velmora
