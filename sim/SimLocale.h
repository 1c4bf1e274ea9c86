// The user's language in the simulated Windows (GetUserDefaultLangID), set by the test.
#pragma once

#include <cstdint>

#include "ports/LocalePort.h"

namespace velmora::sim {

inline constexpr std::uint16_t kLangEnglishUs = 0x0409;

class SimLocale : public ILocale {
 public:
  explicit SimLocale(std::uint16_t userLanguage = kLangEnglishUs) : language(userLanguage) {}

  std::uint16_t GetUserDefaultLangID() override {
    ++queries;
    return language;
  }

  std::uint16_t language;
  int queries = 0;
};

}  // namespace velmora::sim
