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
              NIF_TIP == win::kNifTip);

// The first layout of NOTIFYICONDATAW, with a 64-character tip: every shell from Windows NT 4
// on takes it, newer shells as well.
constexpr DWORD kNotifyIconDataSize = NOTIFYICONDATAW_V1_SIZE;
constexpr std::size_t kTipCapacity = 64;

}  // namespace

bool Win32ShellTray::Shell_NotifyIconW(std::uint32_t message, const NotifyIconData& data) {
  NOTIFYICONDATAW notify{};
  notify.cbSize = kNotifyIconDataSize;
  notify.hWnd = reinterpret_cast<HWND>(data.window);
  notify.uID = data.id;
  notify.uFlags = data.flags;
  notify.uCallbackMessage = data.callbackMessage;
  notify.hIcon = reinterpret_cast<HICON>(data.icon);
  const std::wstring tip = Utf8ToWide(data.tip);
  std::size_t length = std::min(tip.size(), kTipCapacity - 1);
  // A cut tip must not end in the first half of a surrogate pair.
  if (length < tip.size() && length > 0 && tip[length - 1] >= 0xD800 && tip[length - 1] <= 0xDBFF)
    --length;
  std::copy_n(tip.begin(), length, notify.szTip);
  notify.szTip[length] = L'\0';
  return ::Shell_NotifyIconW(message, &notify) != FALSE;
}

}  // namespace velmora::win32
