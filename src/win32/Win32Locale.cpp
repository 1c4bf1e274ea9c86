#include "win32/Win32Locale.h"

#include <windows.h>

namespace velmora::win32 {

std::uint16_t Win32Locale::GetUserDefaultLangID() {
  return ::GetUserDefaultLangID();
}

}  // namespace velmora::win32
