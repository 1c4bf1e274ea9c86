#pragma once

#include "ports/RegistryPort.h"

namespace velmora::win32 {

class Win32Registry : public IRegistry {
 public:
  RegStatus RegOpenKeyExW(RegKey key, const std::string& subKey, std::uint32_t samDesired,
                          RegKey* result) override;
  RegStatus RegCreateKeyExW(RegKey key, const std::string& subKey, std::uint32_t options,
                            std::uint32_t samDesired, RegKey* result,
                            std::uint32_t* disposition) override;
  RegStatus RegQueryValueExW(RegKey key, const std::string& valueName, std::uint32_t* type,
                             std::uint8_t* data, std::uint32_t* dataSize) override;
  RegStatus RegSetValueExW(RegKey key, const std::string& valueName, std::uint32_t type,
                           const std::uint8_t* data, std::uint32_t dataSize) override;
  RegStatus RegSetStringValueW(RegKey key, const std::string& valueName,
                               const std::string& text) override;
  RegStatus RegDeleteValueW(RegKey key, const std::string& valueName) override;
  RegStatus RegCloseKey(RegKey key) override;
};

}  // namespace velmora::win32
