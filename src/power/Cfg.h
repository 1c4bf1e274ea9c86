// The product settings file: section "Config" with the chosen mode and the two thresholds of
// the idle suspend. The file need not exist; only the mode is ever written back.
#pragma once

#include <cstdint>
#include <string>

#include "power/CfgIniFile.h"

namespace velmora {

class TCfg : public TiFile {
 public:
  static constexpr std::int32_t kModeNone = 0;
  static constexpr std::int32_t kModeFast = 3;
  static constexpr std::int32_t kModeRegular = 4;

  static constexpr char kSection[] = "Config";
  static constexpr char kModeKey[] = "VelmoraMode";
  static constexpr char kIdlePercentageKey[] = "IdlePercentage";
  static constexpr char kIdleCountKey[] = "IdleCount";

  // Remembers the path and reads the three fields.
  TCfg(IProfileFiles& profiles, const std::string& fileName);
  // Saves the mode.
  ~TCfg() override;

  // Writes Mode as "VelmoraMode" in decimal; a failed write is ignored.
  void SaveMode();

  // 0 none, 3 Fast, 4 Regular; any other value selects no mode and is saved unchanged.
  std::int32_t Mode = kModeNone;
  // Processor load (percent) below which a timer tick counts as idle.
  std::int32_t IdlePercentage = 10;
  // Consecutive idle ticks that must be exceeded before the idle action.
  std::int32_t IdleCount = 5;
};

}  // namespace velmora
