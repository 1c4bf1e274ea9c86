#include "win32/Win32Process.h"

#include <windows.h>

#include "win32/Win32Text.h"

namespace velmora::win32 {

std::string Win32Process::GetCommandLineA() { return AnsiToUtf8(::GetCommandLineA()); }

std::string Win32Process::GetModuleFileNameA() {
  // The wide call: a folder name outside the ANSI code page must not turn into question marks.
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return WideToUtf8(std::wstring(path, length));
}

Handle Win32Process::OpenMutexA(std::uint32_t desiredAccess, bool inheritHandle,
                                const std::string& name) {
  return reinterpret_cast<Handle>(
      ::OpenMutexA(desiredAccess, inheritHandle ? TRUE : FALSE, Utf8ToAnsi(name).c_str()));
}

Handle Win32Process::CreateMutexA(bool initialOwner, const std::string& name) {
  return reinterpret_cast<Handle>(
      ::CreateMutexA(nullptr, initialOwner ? TRUE : FALSE, Utf8ToAnsi(name).c_str()));
}

void Win32Process::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

WindowHandle Win32Process::FindWindowA(const std::string& className,
                                       const std::string& windowName) {
  return reinterpret_cast<WindowHandle>(
      ::FindWindowA(Utf8ToAnsi(className).c_str(), Utf8ToAnsi(windowName).c_str()));
}

bool Win32Process::PostMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam) {
  return ::PostMessageA(reinterpret_cast<HWND>(window), message, wParam, lParam) != FALSE;
}

}  // namespace velmora::win32
