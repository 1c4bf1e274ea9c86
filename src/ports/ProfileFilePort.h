// Profile (ini) files through the kernel32 profile functions, which read and rewrite the file on
// every call. Section, key, value and path are UTF-8 here; the Win32 adapter uses the "W"
// functions, so the file's own encoding (ANSI code page, or UTF-16 after a byte-order mark) is
// Windows' business.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

class IProfileFiles {
 public:
  virtual ~IProfileFiles() = default;

  // GetPrivateProfileStringW(appName, keyName, defaultValue, buffer, bufferChars, fileName):
  // what lands in a buffer of bufferChars UTF-16 units (at most bufferChars - 1 of text).
  virtual std::string GetPrivateProfileStringW(const std::string& appName,
                                               const std::string& keyName,
                                               const std::string& defaultValue,
                                               std::uint32_t bufferChars,
                                               const std::string& fileName) = 0;
  // WritePrivateProfileStringW(appName, keyName, value, fileName): creates the file and the
  // section as needed. False when the file cannot be written.
  virtual bool WritePrivateProfileStringW(const std::string& appName, const std::string& keyName,
                                          const std::string& value,
                                          const std::string& fileName) = 0;
};

}  // namespace velmora
