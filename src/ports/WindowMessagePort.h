// Finding another program's top-level window and posting to it.
#pragma once

#include <cstdint>
#include <string>

#include "ports/WinTypes.h"

namespace velmora {

class IWindowMessages {
 public:
  virtual ~IWindowMessages() = default;

  // FindWindowA(className, windowName); 0 when no top-level window matches both.
  virtual WindowHandle FindWindowA(const std::string& className, const std::string& windowName) = 0;
  virtual bool PostMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam) = 0;
};

}  // namespace velmora
