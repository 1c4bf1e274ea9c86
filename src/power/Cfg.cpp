#include "power/Cfg.h"

namespace velmora {

TCfg::TCfg(IProfileFiles& profiles, const std::string& fileName) : TiFile(profiles, fileName) {
  Mode = ReadInteger(kSection, kModeKey, Mode);
  IdlePercentage = ReadInteger(kSection, kIdlePercentageKey, IdlePercentage);
  IdleCount = ReadInteger(kSection, kIdleCountKey, IdleCount);
}

TCfg::~TCfg() {
  SaveMode();
}

void TCfg::SaveMode() {
  WriteInteger(kSection, kModeKey, Mode);
}

}  // namespace velmora
