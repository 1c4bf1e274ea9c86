#include "platform/win32/demo/DemoPowerLibrary.h"

namespace velmora::demo {

std::uint8_t DemoPowerLibrary::SetSuspendState(ProcAddress function, bool hibernate,
                                               bool forceCritical, bool disableWakeEvent) {
  const std::uint8_t result =
      SimPowerLibrary::SetSuspendState(function, hibernate, forceCritical, disableWakeEvent);
  if (report_) {
    report_(std::string("SetSuspendState hibernate=") + (hibernate ? "1" : "0") +
            " forceCritical=" + (forceCritical ? "1" : "0") + " disableWakeEvent=" +
            (disableWakeEvent ? "1" : "0") + " result=" + std::to_string(result));
  }
  return result;
}

}  // namespace velmora::demo
