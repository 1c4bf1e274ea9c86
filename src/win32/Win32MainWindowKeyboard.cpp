// The main window and the keyboard: which button holds the focus, the dotted focus mark around
// it, the buttons' names for screen readers, and the keys handed to the form. There is no dialog
// manager here (the window is no dialog): the focused button sends its keys up to this window.
#include "win32/Win32GuardedCall.h"
#include "win32/Win32MainWindow.h"
#include "win32/Win32Text.h"

namespace velmora::win32 {
namespace {

// The mark runs this many pixels outside the button's panel, on the window's own pictures: the
// panels are cut to their buttons' shapes, so a mark inside them would be cut as well.
constexpr int kFocusMarkMargin = 2;

}  // namespace

void Win32MainWindow::SetButtonName(MainButton button, const std::string& name) {
  PanelOf(button).button->SetName(Utf8ToWide(name));
}

void Win32MainWindow::FocusButton(MainButton button) {
  lastFocused_ = button;
  ::SetFocus(PanelOf(button).button->Window());
}

std::optional<MainButton> Win32MainWindow::FocusedButton() {
  const HWND focus = ::GetFocus();
  for (int index = 0; index < kMainButtonCount; ++index) {
    if (focus != nullptr && panels_[static_cast<std::size_t>(index)].button->Window() == focus) {
      return static_cast<MainButton>(index);
    }
  }
  return std::nullopt;
}

// Activation gives the focus to this window; a button that had it before gets it back.
void Win32MainWindow::FocusReturned() {
  if (lastFocused_ && PanelVisible(*lastFocused_)) FocusButton(*lastFocused_);
}

// Whether the key was pressed before (bit 30 of the flags): a key held down repeats.
bool Win32MainWindow::KeyDown(WPARAM key, LPARAM flags) {
  if (events_ == nullptr) return false;
  const bool shift = ::GetKeyState(VK_SHIFT) < 0;
  const bool repeat = (flags & (1L << 30)) != 0;
  return CallGuarded<bool>(
      false, [&] { return events_->KeyDown(static_cast<std::uint32_t>(key), shift, repeat); });
}

void Win32MainWindow::PaintFocusMark(HDC dc) {
  const std::optional<MainButton> focused = FocusedButton();
  if (!focused || !PanelVisible(*focused)) return;
  RECT mark{};
  const HWND panel = PanelOf(*focused).window;
  ::GetWindowRect(panel, &mark);
  ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&mark), 2);
  ::InflateRect(&mark, kFocusMarkMargin, kFocusMarkMargin);
  ::DrawFocusRect(dc, &mark);
}

}  // namespace velmora::win32
