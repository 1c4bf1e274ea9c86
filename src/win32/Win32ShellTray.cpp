#include "win32/Win32ShellTray.h"

#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include <algorithm>
#include <string>

#include "win32/Win32Text.h"

namespace velmora::win32 {
namespace {

static_assert(NIM_ADD == win::kNimAdd && NIM_MODIFY == win::kNimModify &&
              NIM_DELETE == win::kNimDelete);
static_assert(NIF_MESSAGE == win::kNifMessage && NIF_ICON == win::kNifIcon &&
              NIF_TIP == win::kNifTip && NIF_INFO == win::kNifInfo &&
              NIIF_WARNING == win::kNiifWarning);

// The first layout of NOTIFYICONDATAW, with a 64-character tip: every shell from Windows NT 4
// on takes it, newer shells as well. A balloon needs the second layout (Windows 2000 and later).
constexpr DWORD kNotifyIconDataSize = NOTIFYICONDATAW_V1_SIZE;
constexpr DWORD kBalloonDataSize = NOTIFYICONDATAW_V2_SIZE;

// The text in a field of `capacity` characters, cut so that it never ends in the first half of
// a surrogate pair, and terminated.
template <std::size_t capacity>
void CopyField(const std::string& text, WCHAR (&field)[capacity]) {
  const std::wstring wide = Utf8ToWide(text);
  std::size_t length = std::min(wide.size(), capacity - 1);
  if (length < wide.size() && length > 0 && wide[length - 1] >= 0xD800 &&
      wide[length - 1] <= 0xDBFF)
    --length;
  std::copy_n(wide.begin(), length, field);
  field[length] = L'\0';
}

}  // namespace

bool Win32ShellTray::Shell_NotifyIconW(std::uint32_t message, const NotifyIconData& data) {
  NOTIFYICONDATAW notify{};
  notify.cbSize = (data.flags & NIF_INFO) != 0 ? kBalloonDataSize : kNotifyIconDataSize;
  notify.hWnd = reinterpret_cast<HWND>(data.window);
  notify.uID = data.id;
  notify.uFlags = data.flags;
  notify.uCallbackMessage = data.callbackMessage;
  notify.hIcon = reinterpret_cast<HICON>(data.icon);
  // szTip is 128 characters from the second layout on, but the first layout's shells read 64.
  WCHAR tip[64];
  CopyField(data.tip, tip);
  std::copy_n(tip, 64, notify.szTip);
  CopyField(data.info, notify.szInfo);
  CopyField(data.infoTitle, notify.szInfoTitle);
  notify.dwInfoFlags = data.infoFlags;
  return ::Shell_NotifyIconW(message, &notify) != FALSE;
}

}  // namespace velmora::win32
