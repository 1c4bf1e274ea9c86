// The access token of the calling process: enough of advapi32 to switch one privilege on and off.
#pragma once

#include <cstdint>
#include <string>

#include "ports/WinTypes.h"

namespace velmora {

// LUID: the local identifier Windows gives a privilege name on this system.
struct Luid {
  std::uint32_t LowPart = 0;
  std::int32_t HighPart = 0;
  bool operator==(const Luid&) const = default;
};

// TOKEN_PRIVILEGES with exactly one LUID_AND_ATTRIBUTES entry (16 bytes).
struct TokenPrivilegesRecord {
  std::uint32_t PrivilegeCount = 0;
  Luid PrivilegeLuid;
  std::uint32_t Attributes = 0;
};
static_assert(sizeof(TokenPrivilegesRecord) == 16);

namespace win {
// Token access rights and privilege attributes (winnt.h).
inline constexpr std::uint32_t kTokenQuery = 0x0008;
inline constexpr std::uint32_t kTokenAdjustPrivileges = 0x0020;
inline constexpr std::uint32_t kSePrivilegeEnabled = 0x00000002;
inline constexpr char kSeShutdownName[] = "SeShutdownPrivilege";
inline constexpr char kSeCreatePagefileName[] = "SeCreatePagefilePrivilege";
}  // namespace win

class ITokens {
 public:
  virtual ~ITokens() = default;

  // The pseudo handle of the calling process.
  virtual Handle GetCurrentProcess() = 0;
  // OpenProcessToken(process, desiredAccess, &token).
  virtual bool OpenProcessToken(Handle process, std::uint32_t desiredAccess, Handle& token) = 0;
  // LookupPrivilegeValueA(system, name, &luid); an empty system name is the local system (NULL).
  virtual bool LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                                     Luid& luid) = 0;
  // AdjustTokenPrivileges(token, disableAll, &newState, 0, NULL, NULL): no previous state.
  virtual bool AdjustTokenPrivileges(Handle token, bool disableAllPrivileges,
                                     const TokenPrivilegesRecord& newState) = 0;
  virtual bool CloseHandle(Handle handle) = 0;
};

}  // namespace velmora
