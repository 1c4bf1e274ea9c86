// Finding another program's top-level window, letting it come to the foreground, and posting
// to it.
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

  // AllowSetForegroundWindow is not exported by every release (Windows 95 and NT 4 lack it), so
  // it is bound by name: GetModuleHandleA("user32.dll"), then GetProcAddress, which gives 0 when
  // the module does not export the name.
  virtual ModuleHandle GetModuleHandleA(const std::string& moduleName) = 0;
  virtual ProcAddress GetProcAddress(ModuleHandle module, const std::string& procName) = 0;
  // Calls through an address that GetProcAddress returned for "AllowSetForegroundWindow".
  virtual bool AllowSetForegroundWindow(ProcAddress function, std::uint32_t processId) = 0;
};

}  // namespace velmora
