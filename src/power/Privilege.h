// A privilege of the process's token, switched on for the lifetime of the object: the shutdown
// privilege, which suspending or hibernating the machine needs on the NT family, or another one
// for the length of one call.
#pragma once

#include "ports/TokenPort.h"

namespace velmora {

class TPrivilege {
 public:
  // Opens the process token and enables the privilege (by default "SeShutdownPrivilege");
  // Enabled tells whether AdjustTokenPrivileges accepted the request.
  explicit TPrivilege(ITokens& tokens, const char* privilegeName = win::kSeShutdownName);
  // Switches the privilege off again when this object switched it on; closes the token.
  virtual ~TPrivilege();
  TPrivilege(const TPrivilege&) = delete;
  TPrivilege& operator=(const TPrivilege&) = delete;

  Handle Token = kNullHandle;
  TokenPrivilegesRecord Privileges;
  bool Enabled = false;

 protected:
  ITokens& Tokens() { return tokens_; }

 private:
  void EnablePrivilege(const char* privilegeName);

  ITokens& tokens_;
};

}  // namespace velmora
