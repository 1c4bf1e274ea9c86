// The simulated process token: which privileges the account holds and which are enabled, the
// token handles opened on it, and every AdjustTokenPrivileges call. Each call can be made to
// fail.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "ports/TokenPort.h"

namespace velmora::sim {

class SimToken : public ITokens {
 public:
  // The account holds "SeShutdownPrivilege", disabled, as a standard user's token has it.
  SimToken();

  Handle GetCurrentProcess() override;
  bool OpenProcessToken(Handle process, std::uint32_t desiredAccess, Handle& token) override;
  bool LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                             Luid& luid) override;
  bool AdjustTokenPrivileges(Handle token, bool disableAllPrivileges,
                             const TokenPrivilegesRecord& newState) override;
  bool CloseHandle(Handle handle) override;

  // The account loses (or gains) a privilege: AdjustTokenPrivileges then succeeds without
  // effect, as Windows does with ERROR_NOT_ALL_ASSIGNED.
  void SetHeld(const std::string& name, bool held);
  bool IsEnabled(const std::string& name) const;
  Luid LuidOf(const std::string& name) const { return names_.at(name); }

  struct AdjustCall {
    Handle token;
    bool disableAll;
    TokenPrivilegesRecord newState;
  };
  std::vector<AdjustCall> adjustCalls;
  std::vector<std::uint32_t> openAccess;       // desired access of each OpenProcessToken
  std::vector<std::string> lookupSystemNames;  // system name of each lookup ("" = local)
  std::set<Handle> openTokens;                 // token handles not closed yet
  std::uint32_t lastError = 0;

  bool openFails = false;
  bool lookupFails = false;
  bool adjustFails = false;

 private:
  struct TokenHandle {
    std::uint32_t access = 0;
  };
  std::map<std::string, Luid> names_;
  std::map<std::uint32_t, bool> held_;  // LUID low part -> enabled
  std::map<Handle, TokenHandle> handles_;
  Handle nextHandle_ = 0x1A4;
};

}  // namespace velmora::sim
