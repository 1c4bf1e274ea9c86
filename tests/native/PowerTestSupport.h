// A power scheme manager on a simulated Windows 7 (or XP) desktop.
#pragma once

#include <memory>

#include "power/PowerMan.h"
#include "sim/SimPowerLibrary.h"
#include "sim/SimToken.h"

namespace velmora::testing {

class PowerManOnSim {
 public:
  explicit PowerManOnSim(sim::SimPowerSystem system = sim::Windows7Desktop())
      : library(std::move(system)) {
    library.privilegeEnabled = [this](const std::string& name) { return tokens.IsEnabled(name); };
  }

  sim::SimPowerSystem& System() { return library.System(); }
  // Built on first use, so a test can shape the system first.
  TPowerMan& Power() {
    if (!power_) power_ = std::make_unique<TPowerMan>(tokens, library);
    return *power_;
  }
  void Destroy() { power_.reset(); }

  sim::SimToken tokens;
  sim::SimPowerLibrary library;

 private:
  std::unique_ptr<TPowerMan> power_;
};

}  // namespace velmora::testing
