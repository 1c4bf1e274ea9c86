#pragma once

#include "ports/ProcessPort.h"
#include "ports/WindowMessagePort.h"

namespace velmora::win32 {

class Win32Process : public IProcess, public IWindowMessages {
 public:
  std::string GetCommandLineA() override;
  std::string GetModuleFileNameA() override;
  Handle OpenMutexA(std::uint32_t desiredAccess, bool inheritHandle,
                    const std::string& name) override;
  Handle CreateMutexA(bool initialOwner, const std::string& name) override;
  void Sleep(std::uint32_t milliseconds) override;

  WindowHandle FindWindowA(const std::string& className, const std::string& windowName) override;
  bool PostMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                    std::intptr_t lParam) override;
  ModuleHandle GetModuleHandleA(const std::string& moduleName) override;
  ProcAddress GetProcAddress(ModuleHandle module, const std::string& procName) override;
  bool AllowSetForegroundWindow(ProcAddress function, std::uint32_t processId) override;
};

}  // namespace velmora::win32
