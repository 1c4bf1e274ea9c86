// A person at VelmoraDemo.exe: real pointer clicks on the window's buttons, what the X screen
// shows (the window, the pictures of its buttons, the notification-area icon), and the outside
// world afterwards: the registry as `wine reg` reads it and the simulated firmware's control byte
// as the board file keeps it.
//
// The screen is read with xdotool, which answers in milliseconds: fast enough to catch a window
// that a running instance shows for a second only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "DemoSession.h"

namespace velmora::wine_test {

inline constexpr char kVelmoraUserKey[] = "HKCU\\Software\\Zelkor\\Velmora";

struct ScreenPoint {
  int x = 0;
  int y = 0;
};

struct ScreenRect {
  int left = 0, top = 0, width = 0, height = 0;
};

// "[Demo] ControlByte" of a board file (sections and keys in any letter case, decimal or "0x").
std::optional<std::uint8_t> DemoControlByte(const std::string& boardFile);
// The data of a REG_DWORD line of `wine reg query` output for `valueName`.
std::optional<std::uint32_t> RegDwordFromQuery(const std::string& output,
                                               const std::string& valueName);

class DemoScenario : public DemoSession {
 protected:
  // Is the main window (caption "vmMainForm") mapped on the screen?
  bool MainWindowShown();
  // The screen position of the shown main window's top left corner.
  std::optional<ScreenPoint> MainWindowOrigin();
  // Wine, with no notification area on the display, draws the icons in a window of its own,
  // "Wine System Tray", which is mapped while it holds at least one icon.
  bool TrayIconShown();
  std::optional<ScreenRect> TrayWindowRect();
  // Pixels of that tray window in the product icon's teal (the generic Windows icon has none).
  int TrayPixelsOfTheProductIcon();
  // With VELMORA_SCREENSHOT_DIR set, saves the tray window as `fileName` there (tools/screenshots).
  void SaveTrayForDocs(const std::string& fileName);

  // Clicks the middle of `place` of the shown window with real pointer input (xdotool waits
  // until the pointer is there), then moves the pointer off the window so that no button keeps
  // its hover picture.
  bool ClickAt(const LayoutRect& place);
  // Presses and releases each key (xdotool names: "Tab", "space", "Return") with real keyboard
  // input, which goes to the window that has the focus.
  bool PressKeys(const std::vector<std::string>& keys);
  // How much of the skin picture `name` (resources/skin/NAME.bmp, key blue left out) the screen
  // shows at `place` of the window.
  Agreement PictureAt(const LayoutRect& place, const std::string& name);
  // Polls the screen until it shows the picture at `place` (98 % of its pixels).
  bool WaitForPicture(const LayoutRect& place, const std::string& name,
                      std::chrono::milliseconds limit);
  // Clicks a mode or Disable button until it shows its chosen picture and Apply stands in place
  // of the inactive picture (a click that came before the window was ready is tried again).
  // A Chinese user's Apply is "CHS_Bt_apply_1".
  void Choose(const LayoutRect& button, const std::string& chosenPicture,
              const std::string& applyPicture = "Bt_apply_1");

  // A REG_DWORD under HKCU\Software\Zelkor\Velmora; nullopt when the value is missing.
  std::optional<std::uint32_t> VelmoraDword(const std::string& valueName);
  bool SetVelmoraDword(const std::string& valueName, std::uint32_t data);
  // The firmware's control byte as the demo left it in its board file.
  std::optional<std::uint8_t> ControlByte() const;
  std::string SettingsFile() const;

 private:
  // Runs xdotool on the test's display; its stdout, or nullopt when it did not exit with 0.
  static std::optional<std::string> XdoTool(const std::vector<std::string>& args);
};

}  // namespace velmora::wine_test
