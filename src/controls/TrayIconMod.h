// A notification-area icon that survives a shell that is not ready: right after logon the
// taskbar may not exist yet and Shell_NotifyIcon refuses the icon. Instead of failing, the
// component keeps the wanted visibility and tries again once a second until the shell accepts.
#pragma once

#include "controls/Timer.h"
#include "controls/TrayIcon.h"

namespace velmora {

class TTrayIconMod : public TTrayIcon {
 public:
  static constexpr std::uint32_t kRetryIntervalMs = 1000;

  // The retry timer is created disabled; it belongs to the component.
  TTrayIconMod(IShellTray& shell, ITimers& timers);
  // The retry timer goes first, then the icon leaves the notification area.
  ~TTrayIconMod() override = default;

  // Every visibility change goes through here. A refusal starts the retry timer and is not
  // reported: the result is always true.
  bool SetVisible(bool value) override;
  // One retry: the wanted visibility again, then the icon's data once more with NIM_MODIFY (its
  // result does not matter).
  void ShellNotifyTimerTimer();
  // Hides the icon, in the shape of a timer handler.
  void ShellNotifyRemoveTimerTimer() { SetVisible(false); }
  // Asks the shell directly; true when it accepted. The retry timer is not involved.
  bool IconVisible(bool value) { return ShowIcon(value); }

  bool DesiredVisible() const { return desiredVisible_; }
  bool Retrying() const { return retryTimer_.Enabled(); }

 private:
  bool desiredVisible_ = false;
  TTimer retryTimer_;
};

}  // namespace velmora
