// A profile file read and written through the Windows profile functions: every read asks
// GetPrivateProfileStringW, every write goes through WritePrivateProfileStringW and so reaches
// the file at once. Sections and keys are case-insensitive, as Windows compares them.
#pragma once

#include <cstdint>
#include <string>

#include "ports/ProfileFilePort.h"

namespace velmora {

class TIniFile {
 public:
  // Values longer than this many UTF-16 units less one are cut, as the buffer of the classic
  // profile-file class is.
  static constexpr std::uint32_t kReadBufferChars = 2048;

  TIniFile(IProfileFiles& profiles, std::string fileName);
  virtual ~TIniFile() = default;
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::string& FileName() const { return fileName_; }

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // Decimal, or hexadecimal after "0x"/"0X"; a missing or unreadable value gives defaultValue.
  std::int32_t ReadInteger(const std::string& section, const std::string& key,
                           std::int32_t defaultValue) const;
  // False when Windows could not write the file.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  // Written in decimal.
  bool WriteInteger(const std::string& section, const std::string& key, std::int32_t value);

 private:
  IProfileFiles& profiles_;
  std::string fileName_;
};

// The product's profile-file class; it behaves as its base.
class TiFile : public TIniFile {
 public:
  using TIniFile::TIniFile;
};

}  // namespace velmora
