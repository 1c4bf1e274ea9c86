#include "power/CfgIniFile.h"

#include <utility>

#include "config/IniInteger.h"

namespace velmora {

TIniFile::TIniFile(IProfileFiles& profiles, std::string fileName)
    : profiles_(profiles), fileName_(std::move(fileName)) {}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  return profiles_.GetPrivateProfileStringW(section, key, defaultValue, kReadBufferChars,
                                            fileName_);
}

std::int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                                   std::int32_t defaultValue) const {
  return IniValueToInteger(ReadString(section, key, ""), defaultValue);
}

bool TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
  return profiles_.WritePrivateProfileStringW(section, key, value, fileName_);
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key,
                            std::int32_t value) {
  return WriteString(section, key, std::to_string(value));
}

}  // namespace velmora
