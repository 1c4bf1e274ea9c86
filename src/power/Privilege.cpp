#include "power/Privilege.h"

namespace velmora {

TPrivilege::TPrivilege(ITokens& tokens, const char* privilegeName) : tokens_(tokens) {
  EnablePrivilege(privilegeName);
}

TPrivilege::~TPrivilege() {
  if (Enabled) {
    Privileges.Attributes = 0;
    tokens_.AdjustTokenPrivileges(Token, false, Privileges);
  }
  if (Token != kNullHandle) tokens_.CloseHandle(Token);
}

void TPrivilege::EnablePrivilege(const char* privilegeName) {
  Enabled = false;
  Handle token = kNullHandle;
  if (!tokens_.OpenProcessToken(tokens_.GetCurrentProcess(),
                                win::kTokenAdjustPrivileges | win::kTokenQuery, token)) {
    return;
  }
  Token = token;
  if (!tokens_.LookupPrivilegeValueA("", privilegeName, Privileges.PrivilegeLuid)) return;
  Privileges.PrivilegeCount = 1;
  Privileges.Attributes = win::kSePrivilegeEnabled;
  Enabled = tokens_.AdjustTokenPrivileges(Token, false, Privileges);
}

}  // namespace velmora
