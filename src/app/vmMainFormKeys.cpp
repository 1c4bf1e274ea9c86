// The window from the keyboard: Tab and Shift+Tab move the focus through the shown buttons in
// reading order, Space and Enter press the focused one, the arrows move between the two modes,
// and Esc minimises as the minimise button does.
#include <algorithm>

#include "app/vmMainForm.h"

namespace velmora {
namespace {

constexpr int kTabCount = kMainButtonCount;

int TabPosition(std::optional<MainButton> button) {
  if (!button) return -1;
  return static_cast<int>(std::find(std::begin(kReadingOrder), std::end(kReadingOrder), *button) -
                          std::begin(kReadingOrder));
}

bool IsModeButton(std::optional<MainButton> button) {
  return button == MainButton::kFast || button == MainButton::kRegular;
}

}  // namespace

bool TvmMainForm::KeyDown(std::uint32_t key, bool shift, bool repeat) {
  if (StartFailed) return false;
  const std::optional<MainButton> focused = view_.FocusedButton();
  switch (key) {
    case win::kVkTab:
      MoveFocus(shift);
      return true;
    case win::kVkEscape:
      if (!repeat) MinimizeImageEnClick();
      return true;
    case win::kVkSpace:
    case win::kVkReturn:
      // Held down, the key would press the button again and again.
      if (!repeat && focused) {
        TImageEn& button = view_.Button(*focused);
        if (button.OnClick) button.OnClick(button);
      }
      return true;
    case win::kVkLeft:
    case win::kVkUp:
    case win::kVkRight:
    case win::kVkDown: {
      if (!IsModeButton(focused)) return false;
      const MainButton other =
          focused == MainButton::kFast ? MainButton::kRegular : MainButton::kFast;
      if (view_.PanelVisible(other)) view_.FocusButton(other);
      return true;
    }
    default:
      return false;
  }
}

// From no focused button, Tab starts at the first and Shift+Tab at the last; hidden buttons
// (Apply before a choice, Fast on boards without it) are passed over.
void TvmMainForm::MoveFocus(bool backwards) {
  const int step = backwards ? kTabCount - 1 : 1;
  int position = TabPosition(view_.FocusedButton());
  if (position < 0) position = backwards ? 0 : kTabCount - 1;
  for (int tried = 0; tried < kTabCount; ++tried) {
    position = (position + step) % kTabCount;
    if (view_.PanelVisible(kReadingOrder[position])) {
      view_.FocusButton(kReadingOrder[position]);
      return;
    }
  }
}

}  // namespace velmora
