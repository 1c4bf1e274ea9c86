// The Windows profile functions over the simulated file system, with their Windows behaviour:
// - section and key names compare without regard to (ASCII) letter case; the first matching
//   section and, in it, the first matching key count;
// - blanks around names and values are ignored, and one pair of matching quotes ('...' or
//   "...") around a value is removed;
// - a file that starts with the UTF-16 little-endian byte-order mark is UTF-16 and stays so;
//   any other file, and every file the functions create, is in the ANSI code page;
// - a write replaces the key's value in place, adds the key at the end of its section, or
//   appends the section at the end of the file, and rewrites the whole file at once (CRLF
//   line ends); the rest of the file is kept.
// Files are read and written through the file system's own calls, so its faults apply.
#pragma once

#include <string>

#include "ports/CodePagePort.h"
#include "ports/ProfileFilePort.h"
#include "sim/SimFileSystem.h"

namespace velmora::sim {

class SimProfileFiles : public IProfileFiles {
 public:
  SimProfileFiles(SimFileSystem& files, IAnsiCodePage& codePage);

  std::string GetPrivateProfileStringW(const std::string& appName, const std::string& keyName,
                                       const std::string& defaultValue, std::uint32_t bufferChars,
                                       const std::string& fileName) override;
  bool WritePrivateProfileStringW(const std::string& appName, const std::string& keyName,
                                  const std::string& value, const std::string& fileName) override;

  std::size_t ReadCount() const { return reads_; }
  std::size_t WriteCount() const { return writes_; }

 private:
  struct Text;

  bool Load(const std::string& fileName, Text& text);
  bool Save(const std::string& fileName, const Text& text);

  SimFileSystem& files_;
  IAnsiCodePage& codePage_;
  std::size_t reads_ = 0;
  std::size_t writes_ = 0;
};

// What a buffer of bufferChars UTF-16 units receives of text: at most bufferChars - 1 units,
// never half a surrogate pair.
std::string CutToUtf16Units(const std::string& text, std::uint32_t bufferChars);

}  // namespace velmora::sim
