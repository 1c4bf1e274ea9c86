// The user's language through kernel32.
#pragma once

#include "ports/LocalePort.h"

namespace velmora::win32 {

class Win32Locale : public ILocale {
 public:
  std::uint16_t GetUserDefaultLangID() override;
};

}  // namespace velmora::win32
