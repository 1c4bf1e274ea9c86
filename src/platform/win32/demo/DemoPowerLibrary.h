// The simulated PowrProf of the demo program: a Windows 7 desktop with S1, S3, S4 and S5, whose
// suspend calls are reported (a line for the demo's log) instead of putting the machine to sleep.
#pragma once

#include <functional>
#include <string>

#include "sim/SimPowerLibrary.h"

namespace velmora::demo {

class DemoPowerLibrary : public sim::SimPowerLibrary {
 public:
  // `report` receives "SetSuspendState hibernate=H forceCritical=F disableWakeEvent=D result=R"
  // for every call, before it returns.
  explicit DemoPowerLibrary(std::function<void(const std::string&)> report)
      : report_(std::move(report)) {}

  std::uint8_t SetSuspendState(ProcAddress function, bool hibernate, bool forceCritical,
                               bool disableWakeEvent) override;

 private:
  std::function<void(const std::string&)> report_;
};

}  // namespace velmora::demo
