// Message boxes: the only way anything below the main window ever speaks to the user.
#pragma once

#include <cstdint>
#include <string>

#include "ports/WinTypes.h"

namespace velmora {

class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  // MessageBoxA(owner, text, caption, type); returns the button pressed (IDOK = 1).
  virtual int MessageBoxA(WindowHandle owner, const std::string& text, const std::string& caption,
                          std::uint32_t type) = 0;
};

}  // namespace velmora
