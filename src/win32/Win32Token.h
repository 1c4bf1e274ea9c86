#pragma once

#include "ports/TokenPort.h"

namespace velmora::win32 {

class Win32Token : public ITokens {
 public:
  Handle GetCurrentProcess() override;
  bool OpenProcessToken(Handle process, std::uint32_t desiredAccess, Handle& token) override;
  bool LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                             Luid& luid) override;
  bool AdjustTokenPrivileges(Handle token, bool disableAllPrivileges,
                             const TokenPrivilegesRecord& newState) override;
  bool CloseHandle(Handle handle) override;
};

}  // namespace velmora::win32
