// Notification-area icons through shell32's Shell_NotifyIconW.
#pragma once

#include "ports/ShellTrayPort.h"

namespace velmora::win32 {

class Win32ShellTray : public IShellTray {
 public:
  bool Shell_NotifyIconW(std::uint32_t message, const NotifyIconData& data) override;
};

}  // namespace velmora::win32
