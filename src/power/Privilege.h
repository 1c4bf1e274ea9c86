// The shutdown privilege of the process's token, switched on for the lifetime of the object.
// Suspending or hibernating the machine needs it on the NT family.
#pragma once

#include "ports/TokenPort.h"

namespace velmora {

class TPrivilege {
 public:
  // Opens the process token and enables "SeShutdownPrivilege"; Enabled tells whether
  // AdjustTokenPrivileges accepted the request.
  explicit TPrivilege(ITokens& tokens);
  // Switches the privilege off again when this object switched it on; closes the token.
  virtual ~TPrivilege();
  TPrivilege(const TPrivilege&) = delete;
  TPrivilege& operator=(const TPrivilege&) = delete;

  Handle Token = kNullHandle;
  TokenPrivilegesRecord Privileges;
  bool Enabled = false;

 private:
  void EnableShutdownPrivilege();

  ITokens& tokens_;
};

}  // namespace velmora
