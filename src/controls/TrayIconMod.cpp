#include "controls/TrayIconMod.h"

namespace velmora {

TTrayIconMod::TTrayIconMod(IShellTray& shell, ITimers& timers)
    : TTrayIcon(shell), retryTimer_(timers) {
  retryTimer_.SetEnabled(false);
  retryTimer_.SetInterval(kRetryIntervalMs);
  retryTimer_.SetOnTimer([this] { ShellNotifyTimerTimer(); });
}

bool TTrayIconMod::SetVisible(bool value) {
  desiredVisible_ = value;
  retryTimer_.SetEnabled(false);
  if (!IconVisible(value)) retryTimer_.SetEnabled(true);
  return true;
}

void TTrayIconMod::ShellNotifyTimerTimer() {
  SetVisible(desiredVisible_);
  Shell().Shell_NotifyIconW(win::kNimModify, IconData());
}

}  // namespace velmora
