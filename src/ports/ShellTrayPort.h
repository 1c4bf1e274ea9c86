// Notification-area icons (shell32 Shell_NotifyIconW). The shell answers FALSE when it cannot
// take the request, typically right after logon while the taskbar does not exist yet.
#pragma once

#include <cstdint>
#include <string>

#include "ports/WinTypes.h"

namespace velmora {

using IconHandle = std::uintptr_t;  // HICON

namespace win {
// Shell_NotifyIcon messages and NOTIFYICONDATA flags (shellapi.h).
inline constexpr std::uint32_t kNimAdd = 0x00000000;
inline constexpr std::uint32_t kNimModify = 0x00000001;
inline constexpr std::uint32_t kNimDelete = 0x00000002;
inline constexpr std::uint32_t kNifMessage = 0x00000001;
inline constexpr std::uint32_t kNifIcon = 0x00000002;
inline constexpr std::uint32_t kNifTip = 0x00000004;
inline constexpr std::uint32_t kNifInfo = 0x00000010;  // a balloon: Windows 2000 and later
inline constexpr std::uint32_t kNiifWarning = 0x00000002;
}  // namespace win

// The NOTIFYICONDATAW fields the program fills; the icon is known to the shell by (window, id).
struct NotifyIconData {
  WindowHandle window = 0;            // hWnd: receives the callback message
  std::uint32_t id = 0;               // uID
  std::uint32_t flags = 0;            // uFlags: which of the fields below are valid
  std::uint32_t callbackMessage = 0;  // uCallbackMessage
  IconHandle icon = 0;                // hIcon
  std::string tip;                    // szTip, UTF-8 here; the adapter cuts it to the field's size
  std::string info;                   // szInfo: the balloon's text (with kNifInfo)
  std::string infoTitle;              // szInfoTitle
  std::uint32_t infoFlags = 0;        // dwInfoFlags: the balloon's icon

  bool operator==(const NotifyIconData&) const = default;
};

class IShellTray {
 public:
  virtual ~IShellTray() = default;
  // True when the shell accepted the request.
  virtual bool Shell_NotifyIconW(std::uint32_t message, const NotifyIconData& data) = 0;
};

}  // namespace velmora
