// MessageBoxA through user32.
#pragma once

#include "ports/MessageBoxPort.h"

namespace velmora::win32 {

class Win32MessageBox : public IMessageBox {
 public:
  int MessageBoxA(WindowHandle owner, const std::string& text, const std::string& caption,
                  std::uint32_t type) override;
};

}  // namespace velmora::win32
