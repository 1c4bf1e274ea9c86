// What the VelmoraDemo.exe tests share: the program in a fresh prefix, the layout of its window,
// screenshots compared with the skin, real mouse input, the board file and the demo's log.
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "ProgramSession.h"
#include "ScreenImage.h"

namespace velmora::wine_test {

// Where the layout puts the window, and the background picture that outlines it.
inline constexpr int kWindowLeft = 193;
inline constexpr int kWindowTop = 115;
inline constexpr int kSkinWidth = 500;
inline constexpr int kSkinHeight = 400;

struct LayoutRect {
  int left, top, width, height;
  bool Near(int x, int y, int margin) const {
    return x >= left - margin && y >= top - margin && x < left + width + margin &&
           y < top + height + margin;
  }
};
// The button panels, and the inactive Apply picture in the Apply button's place.
inline constexpr LayoutRect kCloseButton{460, 11, 29, 29};
inline constexpr LayoutRect kMinimizeButton{429, 11, 29, 29};
inline constexpr LayoutRect kDisableButton{250, 252, 30, 30};
inline constexpr LayoutRect kApplyButton{339, 306, 58, 27};
inline constexpr LayoutRect kFastButton{53, 288, 23, 22};
inline constexpr LayoutRect kRegularButton{53, 329, 23, 22};
inline constexpr LayoutRect kNonApplyImage = kApplyButton;

// How many screen pixels were compared and how many were as expected.
struct Agreement {
  int compared = 0;
  int equal = 0;
  double Share() const { return compared == 0 ? 0.0 : static_cast<double>(equal) / compared; }
};
std::ostream& operator<<(std::ostream& out, const Agreement& agreement);

// A picture of resources/skin/ ("BackgroundImage", "CHS_Bt_apply_4", ...).
RgbImage Skin(const std::string& name);
// Background pixels away from the button panels and the inactive Apply picture for which
// `wanted` holds: does the screen show the pixel that `expected` gives?
Agreement CompareBackground(const RgbImage& screen, const RgbImage& skin,
                            const std::function<bool(int, int)>& wanted,
                            const std::function<Rgb(int, int)>& expected);
// The skin's own pixels (everything that is not key blue) at the window's place.
Agreement SkinShown(const RgbImage& screen, const RgbImage& skin);

class DemoSession : public WineSession {
 protected:
  void SetUp() override;

  RgbImage Screen();
  // Starts the demo and returns the first screen that shows `skin` at the window's place (or
  // the last one tried, for the failure report).
  RgbImage StartAndShoot(const RgbImage& skin);
  // Real input at a point of the window: button 1 left, 3 right.
  bool Click(int x, int y, int button);
  // Presses OK on the box and waits until it has gone.
  bool CloseBox(const std::string& caption);
  // With VELMORA_SCREENSHOT_DIR set, saves the shown message box's client area there as
  // `fileName` (tools/screenshots): without a window manager nobody draws the caption.
  void SaveBoxForDocs(const std::string& fileName);

  std::string BoardFile() const;
  std::string DemoLog() const;
  void UseBoard(const std::string& text);
  // Cfg.ini beside the program: section [Config] with these lines.
  void UseSettings(const std::string& lines);
  // Polls `condition` every `interval` until it holds or `limit` has passed.
  static bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit,
                        std::chrono::milliseconds interval = std::chrono::milliseconds(100));
  // Polls `text()` until it contains `wanted`.
  static bool Eventually(const std::function<std::string()>& text, const std::string& wanted,
                         std::chrono::milliseconds limit);

  std::string exe;
  ProcessHandle demo;
};

}  // namespace velmora::wine_test
