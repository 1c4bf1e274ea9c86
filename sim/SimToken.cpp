#include "sim/SimToken.h"

namespace velmora::sim {
namespace {

constexpr Handle kCurrentProcessPseudoHandle = ~Handle{0};
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorNoSuchPrivilege = 1313;
constexpr std::uint32_t kErrorNotAllAssigned = 1300;

}  // namespace

SimToken::SimToken() {
  // The LUIDs Windows gives these privileges on every system.
  names_["SeCreatePagefilePrivilege"] = Luid{15, 0};
  names_["SeShutdownPrivilege"] = Luid{19, 0};
  names_["SeDebugPrivilege"] = Luid{20, 0};
  names_["SeChangeNotifyPrivilege"] = Luid{23, 0};
  // An elevated administrator's token (the program asks for elevation) holds these, disabled
  // until the program enables them; change notification is always enabled.
  held_[15] = false;
  held_[19] = false;
  held_[23] = true;
}

Handle SimToken::GetCurrentProcess() {
  return kCurrentProcessPseudoHandle;
}

bool SimToken::OpenProcessToken(Handle process, std::uint32_t desiredAccess, Handle& token) {
  openAccess.push_back(desiredAccess);
  if (openFails || process != kCurrentProcessPseudoHandle) {
    lastError = kErrorAccessDenied;
    return false;
  }
  token = nextHandle_;
  nextHandle_ += 4;
  handles_[token] = TokenHandle{desiredAccess};
  openTokens.insert(token);
  return true;
}

bool SimToken::LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                                     Luid& luid) {
  lookupSystemNames.push_back(systemName);
  const auto found = names_.find(name);
  if (lookupFails || found == names_.end()) {
    lastError = kErrorNoSuchPrivilege;
    return false;
  }
  luid = found->second;
  return true;
}

bool SimToken::AdjustTokenPrivileges(Handle token, bool disableAllPrivileges,
                                     const TokenPrivilegesRecord& newState) {
  adjustCalls.push_back({token, disableAllPrivileges, newState});
  const auto handle = handles_.find(token);
  if (adjustFails || handle == handles_.end()) {
    lastError = handle == handles_.end() ? kErrorInvalidHandle : kErrorAccessDenied;
    return false;
  }
  if ((handle->second.access & win::kTokenAdjustPrivileges) == 0) {
    lastError = kErrorAccessDenied;
    return false;
  }
  lastError = 0;
  if (disableAllPrivileges) {
    for (auto& [luid, enabled] : held_) enabled = false;
    return true;
  }
  if (newState.PrivilegeCount != 1) return true;
  const auto held = held_.find(newState.PrivilegeLuid.LowPart);
  if (held == held_.end() || newState.PrivilegeLuid.HighPart != 0) {
    lastError = kErrorNotAllAssigned;
    return true;
  }
  held->second = (newState.Attributes & win::kSePrivilegeEnabled) != 0;
  return true;
}

bool SimToken::CloseHandle(Handle handle) {
  if (handles_.erase(handle) == 0) return false;
  openTokens.erase(handle);
  return true;
}

void SimToken::SetHeld(const std::string& name, bool held) {
  const std::uint32_t luid = names_.at(name).LowPart;
  if (held) {
    held_.emplace(luid, false);
  } else {
    held_.erase(luid);
  }
}

bool SimToken::IsEnabled(const std::string& name) const {
  const auto held = held_.find(names_.at(name).LowPart);
  return held != held_.end() && held->second;
}

}  // namespace velmora::sim
