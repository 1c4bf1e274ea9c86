// Files of the Wine tests in the prefix's temporary folder, read back through the files adapter.
#pragma once

#include <windows.h>

#include <string>

#include "win32/Win32Files.h"

namespace velmora::win32 {

inline std::string TempPath(const char* name) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + name;
}

// The file's bytes as they are on disk; "<cannot open>" when it cannot be opened for reading.
inline std::string ReadFileBytes(const std::string& path) {
  Win32Files files;
  const Handle file =
      files.CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  if (file == kInvalidHandleValue) return "<cannot open>";
  std::string bytes(files.GetFileSize(file), '\0');
  std::uint32_t read = 0;
  files.ReadFile(file, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &read);
  files.CloseHandle(file);
  return bytes.substr(0, read);
}

}  // namespace velmora::win32
