// A notification-area icon: hint, icon and callback message, shown and hidden with NIM_ADD and
// NIM_DELETE. The shell knows the icon by its window and id.
#pragma once

#include <cstdint>
#include <string>

#include "ports/ShellTrayPort.h"

namespace velmora {

class TTrayIcon {
 public:
  explicit TTrayIcon(IShellTray& shell) : shell_(shell) {}
  // Takes the icon out of the notification area when it is there.
  virtual ~TTrayIcon();
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  // True while the shell shows the icon (its NIM_ADD was accepted and no NIM_DELETE since).
  bool Visible() const { return shown_; }
  // Shows or hides the icon; false when the shell refused (the icon then keeps its state).
  virtual bool SetVisible(bool value) { return ShowIcon(value); }

  // The shell has forgotten every icon (Explorer started again: "TaskbarCreated"). A shown icon
  // is added once more; false when the shell refused it (it then counts as not shown).
  bool ShellRestarted();

  // A balloon over the shown icon (NIM_MODIFY with NIF_INFO, a warning icon); false when the
  // icon is not shown or the shell refused.
  bool ShowBalloon(const std::string& title, const std::string& text);

  // The icon's NOTIFYICONDATAW: window, id, callback message, icon and hint as tip.
  NotifyIconData IconData() const;

  WindowHandle Window = 0;
  std::uint32_t Id = 1;
  std::uint32_t CallbackMessage = 0;
  IconHandle Icon = 0;
  std::string Hint;  // UTF-8

 protected:
  // NIM_ADD when not shown, NIM_DELETE when shown; nothing when the state is already the wanted
  // one. A refused NIM_ADD leaves the icon counted as not shown, so the next attempt asks again.
  bool ShowIcon(bool value);
  IShellTray& Shell() { return shell_; }

 private:
  IShellTray& shell_;
  bool shown_ = false;
};

}  // namespace velmora
