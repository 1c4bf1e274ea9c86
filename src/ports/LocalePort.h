// The user's language (kernel32 GetUserDefaultLangID): decides the main window's language.
#pragma once

#include <cstdint>

namespace velmora {

class ILocale {
 public:
  virtual ~ILocale() = default;
  virtual std::uint16_t GetUserDefaultLangID() = 0;
};

}  // namespace velmora
