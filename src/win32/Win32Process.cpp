#include "win32/Win32Process.h"

#include <windows.h>

#include "win32/Win32SystemInfo.h"
#include "win32/Win32Text.h"

namespace velmora::win32 {
namespace {

using AllowSetForegroundWindowFn = BOOL(WINAPI*)(DWORD);

}  // namespace

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

ModuleHandle Win32Process::GetModuleHandleA(const std::string& moduleName) {
  return reinterpret_cast<ModuleHandle>(::GetModuleHandleA(moduleName.c_str()));
}

ProcAddress Win32Process::GetProcAddress(ModuleHandle module, const std::string& procName) {
  return ExportAddress(module, procName);
}

bool Win32Process::AllowSetForegroundWindow(ProcAddress function, std::uint32_t processId) {
  return reinterpret_cast<AllowSetForegroundWindowFn>(function)(processId) != FALSE;
}

}  // namespace velmora::win32
