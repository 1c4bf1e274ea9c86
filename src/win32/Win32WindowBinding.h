// The object behind a window: CreateWindowEx's last argument arrives in WM_NCCREATE and is kept
// in the window's user data, where the window procedure finds it for every later message.
#pragma once

#include <windows.h>

namespace velmora::win32 {

// The object bound to window, binding it first when the message is WM_NCCREATE; nullptr before
// that message and after the owner cleared the user data.
template <class Object>
Object* BoundObject(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  return reinterpret_cast<Object*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
}

}  // namespace velmora::win32
