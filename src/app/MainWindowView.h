// What the main window's logic needs of its windows: the skinned form with its background and
// inactive-Apply pictures, the six button panels with their image buttons, the hidden
// application window, the tray menu and the overlay form. The Win32 view is made of real
// windows; tests use a recording view.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "controls/ImageEn.h"
#include "controls/Picture.h"
#include "ports/ShellTrayPort.h"
#include "ports/WinTypes.h"

namespace velmora {

namespace win {
// ShowWindow commands and WM_SYSCOMMAND values (winuser.h).
inline constexpr int kSwHide = 0;
inline constexpr int kSwShowNormal = 1;
inline constexpr std::uint32_t kWmSysCommand = 0x0112;
inline constexpr std::uint32_t kScMinimize = 0xF020;
// SC_MOVE | HTCAPTION: the system moves the window as if its caption were dragged.
inline constexpr std::uint32_t kScDragMove = 0xF012;
// Session messages the main window answers itself.
inline constexpr std::uint32_t kWmQueryEndSession = 0x0011;
inline constexpr std::uint32_t kWmPowerBroadcast = 0x0218;
inline constexpr std::uintptr_t kPbtApmSuspend = 4;
inline constexpr std::uintptr_t kPbtApmResumeSuspend = 7;
// Virtual-key codes of the keys the window answers.
inline constexpr std::uint32_t kVkTab = 0x09;
inline constexpr std::uint32_t kVkReturn = 0x0D;
inline constexpr std::uint32_t kVkEscape = 0x1B;
inline constexpr std::uint32_t kVkSpace = 0x20;
inline constexpr std::uint32_t kVkLeft = 0x25;
inline constexpr std::uint32_t kVkUp = 0x26;
inline constexpr std::uint32_t kVkRight = 0x27;
inline constexpr std::uint32_t kVkDown = 0x28;
}  // namespace win

// The six image buttons, each on a panel of its own.
enum class MainButton { kClose, kMinimize, kDisable, kApply, kFast, kRegular };
inline constexpr int kMainButtonCount = 6;
// The buttons as the window reads (the keyboard's Tab order, and the order of their names).
inline constexpr MainButton kReadingOrder[kMainButtonCount] = {
    MainButton::kFast,  MainButton::kRegular,  MainButton::kDisable,
    MainButton::kApply, MainButton::kMinimize, MainButton::kClose};

// Bitmaps stored in the executable, found by name without regard to letter case.
class IPictures {
 public:
  virtual ~IPictures() = default;
  // The bitmap's pixels; throws std::runtime_error when there is no such bitmap (the
  // framework's bitmap loading error, which ends construction with the exception report).
  virtual TPicture LoadBitmap(std::string_view name) = 0;
};

class IMainWindowView {
 public:
  virtual ~IMainWindowView() = default;

  virtual WindowHandle MainWindow() = 0;
  virtual WindowHandle ApplicationWindow() = 0;
  virtual WindowHandle PanelWindow(MainButton panel) = 0;
  virtual TImageEn& Button(MainButton button) = 0;

  // BackgroundImage and NonApplyImage show these pictures from now on.
  virtual void ShowBackground(const TPicture& picture) = 0;
  virtual void ShowNonApplyPicture(const TPicture& picture) = 0;
  virtual void SetNonApplyVisible(bool visible) = 0;
  virtual bool NonApplyVisible() = 0;
  virtual void SetPanelVisible(MainButton panel, bool visible) = 0;
  virtual bool PanelVisible(MainButton panel) = 0;
  virtual void SetPanelTop(MainButton panel, int top) = 0;
  // Double buffering of the main window and the six panels.
  virtual void SetDoubleBuffered(bool on) = 0;
  // The name a screen reader announces for the button (UTF-8).
  virtual void SetButtonName(MainButton button, const std::string& name) = 0;
  // The keyboard focus: on one of the buttons (shown with a focus mark), or on none of them.
  virtual void FocusButton(MainButton button) = 0;
  virtual std::optional<MainButton> FocusedButton() = 0;

  // ShowWindow(window, command) on the main or the application window.
  virtual void ShowWindow(WindowHandle window, int command) = 0;
  virtual void SetForegroundWindow(WindowHandle window) = 0;
  virtual void ReleaseCapture() = 0;
  virtual std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message,
                                     std::uintptr_t wParam, std::intptr_t lParam) = 0;

  // Closes the main window: the form's close event runs and the message loop ends.
  virtual void Close() = 0;
  // Application.Terminate: the message loop ends at its next turn; nothing is shown.
  virtual void Terminate() = 0;

  // The captions of the tray popup menu's two items (restore, exit), UTF-8.
  virtual void SetTrayMenuCaptions(const std::string& restore, const std::string& exit) = 0;
  // The window and callback message the tray icon reports to.
  virtual WindowHandle TrayWindow() = 0;
  virtual std::uint32_t TrayCallbackMessage() = 0;
  virtual IconHandle TrayIconImage() = 0;
  // Creates a TForm1 owned by the main window and shows it modally; returns when it closed.
  virtual void ShowOverlayModal() = 0;
};

}  // namespace velmora
