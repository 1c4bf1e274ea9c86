#include "win32/Win32Token.h"

#include <windows.h>

namespace velmora::win32 {

static_assert(sizeof(TOKEN_PRIVILEGES) == sizeof(TokenPrivilegesRecord));
static_assert(sizeof(LUID) == sizeof(Luid));
static_assert(TOKEN_ADJUST_PRIVILEGES == win::kTokenAdjustPrivileges);
static_assert(TOKEN_QUERY == win::kTokenQuery);
static_assert(SE_PRIVILEGE_ENABLED == win::kSePrivilegeEnabled);

Handle Win32Token::GetCurrentProcess() {
  return reinterpret_cast<Handle>(::GetCurrentProcess());
}

bool Win32Token::OpenProcessToken(Handle process, std::uint32_t desiredAccess, Handle& token) {
  HANDLE opened = nullptr;
  if (!::OpenProcessToken(reinterpret_cast<HANDLE>(process), desiredAccess, &opened)) return false;
  token = reinterpret_cast<Handle>(opened);
  return true;
}

bool Win32Token::LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                                       Luid& luid) {
  LUID found{};
  const char* system = systemName.empty() ? nullptr : systemName.c_str();
  if (!::LookupPrivilegeValueA(system, name.c_str(), &found)) return false;
  luid.LowPart = found.LowPart;
  luid.HighPart = found.HighPart;
  return true;
}

bool Win32Token::AdjustTokenPrivileges(Handle token, bool disableAllPrivileges,
                                       const TokenPrivilegesRecord& newState) {
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = newState.PrivilegeCount;
  privileges.Privileges[0].Luid.LowPart = newState.PrivilegeLuid.LowPart;
  privileges.Privileges[0].Luid.HighPart = newState.PrivilegeLuid.HighPart;
  privileges.Privileges[0].Attributes = newState.Attributes;
  return ::AdjustTokenPrivileges(reinterpret_cast<HANDLE>(token), disableAllPrivileges, &privileges,
                                 0, nullptr, nullptr) != FALSE;
}

bool Win32Token::CloseHandle(Handle handle) {
  return ::CloseHandle(reinterpret_cast<HANDLE>(handle)) != FALSE;
}

}  // namespace velmora::win32
