#pragma once

#include "ports/ProfileFilePort.h"

namespace velmora::win32 {

class Win32ProfileFiles : public IProfileFiles {
 public:
  std::string GetPrivateProfileStringW(const std::string& appName, const std::string& keyName,
                                       const std::string& defaultValue, std::uint32_t bufferChars,
                                       const std::string& fileName) override;
  bool WritePrivateProfileStringW(const std::string& appName, const std::string& keyName,
                                  const std::string& value, const std::string& fileName) override;
};

}  // namespace velmora::win32
