// SendMessageW across threads: the message is handled by the window procedure on the thread that
// owns the window, and the sending thread waits until it has been handled.
#pragma once

#include <cstdint>

#include "ports/WinTypes.h"

namespace velmora {

class ISentMessages {
 public:
  virtual ~ISentMessages() = default;
  // Returns the window procedure's result; 0 when the window does not exist.
  virtual std::intptr_t SendMessageW(WindowHandle window, std::uint32_t message,
                                     std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

}  // namespace velmora
