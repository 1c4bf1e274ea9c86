#include "controls/TrayIcon.h"

namespace velmora {

TTrayIcon::~TTrayIcon() {
  if (shown_) shell_.Shell_NotifyIconW(win::kNimDelete, IconData());
}

NotifyIconData TTrayIcon::IconData() const {
  NotifyIconData data;
  data.window = Window;
  data.id = Id;
  data.flags = win::kNifMessage | win::kNifIcon | win::kNifTip;
  data.callbackMessage = CallbackMessage;
  data.icon = Icon;
  data.tip = Hint;
  return data;
}

bool TTrayIcon::ShowBalloon(const std::string& title, const std::string& text) {
  if (!shown_) return false;
  NotifyIconData data = IconData();
  data.flags = win::kNifInfo;
  data.info = text;
  data.infoTitle = title;
  data.infoFlags = win::kNiifWarning;
  return shell_.Shell_NotifyIconW(win::kNimModify, data);
}

bool TTrayIcon::ShellRestarted() {
  if (!shown_) return true;
  shown_ = false;
  return SetVisible(true);
}

bool TTrayIcon::ShowIcon(bool value) {
  if (value == shown_) return true;
  if (!shell_.Shell_NotifyIconW(value ? win::kNimAdd : win::kNimDelete, IconData())) return false;
  shown_ = value;
  return true;
}

}  // namespace velmora
