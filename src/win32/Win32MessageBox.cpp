#include "win32/Win32MessageBox.h"

#include <windows.h>

#include "win32/Win32Text.h"

namespace velmora::win32 {

// Texts are UTF-8 in the program; the ANSI call wants the ANSI code page.
int Win32MessageBox::MessageBoxA(WindowHandle owner, const std::string& text,
                                 const std::string& caption, std::uint32_t type) {
  return ::MessageBoxA(reinterpret_cast<HWND>(owner), Utf8ToAnsi(text).c_str(),
                       Utf8ToAnsi(caption).c_str(), type);
}

}  // namespace velmora::win32
