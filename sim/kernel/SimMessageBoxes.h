// Message boxes in the simulator: every box is recorded and answered with OK at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ports/MessageBoxPort.h"

namespace velmora::sim {

inline constexpr int kIdOk = 1;

struct SimMessageBox {
  WindowHandle owner = 0;
  std::string text;
  std::string caption;
  std::uint32_t type = 0;
};

class SimMessageBoxes : public IMessageBox {
 public:
  int MessageBoxA(WindowHandle owner, const std::string& text, const std::string& caption,
                  std::uint32_t type) override {
    boxes_.push_back({owner, text, caption, type});
    return kIdOk;
  }
  const std::vector<SimMessageBox>& Shown() const { return boxes_; }

 private:
  std::vector<SimMessageBox> boxes_;
};

}  // namespace velmora::sim
