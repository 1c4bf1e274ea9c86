// The message boxes of a Windows program under test: read with velmora-probe (caption, text and
// window of the box), answered with real key presses (xdotool on the test's display: Wine ignores
// synthetic input sent to a window).
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "WinePrefix.h"

namespace velmora::wine_test {

struct ShownBox {
  std::string window;   // "0x..." as the probe prints it
  std::string caption;  // UTF-8
  std::string text;     // UTF-8, line breaks as "\n"
  bool operator==(const ShownBox&) const = default;
};

class MessageBoxes {
 public:
  MessageBoxes(WinePrefix& prefix, std::string caption)
      : prefix_(prefix), caption_(std::move(caption)) {}

  // The box with the caption shown now, waiting up to `wait` for one. The probe is asked for any
  // box (a caption outside the ANSI code page would not survive its command line) and the
  // caption is compared here.
  std::optional<ShownBox> Current(std::chrono::milliseconds wait);
  // Presses Return once on the display.
  static bool PressReturn();
  // Answers box after box until the process has ended (or the limit has passed) and returns the
  // texts of the boxes in the order they came. A key pressed before the new box has the focus is
  // lost, so each box is pressed until it is gone.
  std::vector<std::string> AnswerUntilEnd(ProcessHandle process, std::chrono::milliseconds limit);

 private:
  WinePrefix& prefix_;
  std::string caption_;
};

}  // namespace velmora::wine_test
