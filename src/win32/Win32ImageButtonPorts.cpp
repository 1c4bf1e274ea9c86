#include "win32/Win32ImageButtonPorts.h"

#include <memory>
#include <utility>
#include <vector>

#include "win32/Win32PictureDrawing.h"

namespace velmora::win32 {
namespace {

DWORD WINAPI RunBody(LPVOID parameter) {
  const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  (*body)();
  return 0;
}

HANDLE Thread(ThreadHandle thread) {
  return reinterpret_cast<HANDLE>(thread);
}

}  // namespace

ThreadHandle Win32Threads::CreateSuspendedThread(std::function<void()> body) {
  auto* owned = new std::function<void()>(std::move(body));
  DWORD id = 0;
  const HANDLE thread = ::CreateThread(nullptr, 0, &RunBody, owned, CREATE_SUSPENDED, &id);
  if (thread == nullptr) {
    delete owned;
    return 0;
  }
  return reinterpret_cast<ThreadHandle>(thread);
}

void Win32Threads::ResumeThread(ThreadHandle thread) {
  ::ResumeThread(Thread(thread));
}

void Win32Threads::SuspendThread(ThreadHandle thread) {
  ::SuspendThread(Thread(thread));
}

// The worker may be waiting in SendMessageW for this very thread: keep delivering sent messages
// (PeekMessage handles them) until it has ended.
void Win32Threads::WaitForThreadAndClose(ThreadHandle thread) {
  const HANDLE handle = Thread(thread);
  while (::MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE) !=
         WAIT_OBJECT_0) {
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
  }
  ::CloseHandle(handle);
}

std::intptr_t Win32SentMessages::SendMessageW(WindowHandle window, std::uint32_t message,
                                              std::uintptr_t wParam, std::intptr_t lParam) {
  return ::SendMessageW(reinterpret_cast<HWND>(window), message, wParam, lParam);
}

TPicture PictureFromBitmap(HBITMAP bitmap) {
  BITMAP info{};
  if (::GetObjectA(bitmap, sizeof(info), &info) == 0 || info.bmWidth <= 0 || info.bmHeight <= 0)
    return TPicture();
  BITMAPINFO request = TopDownDibInfo(info.bmWidth, info.bmHeight);
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(info.bmWidth) *
                                    static_cast<std::size_t>(info.bmHeight));
  const HDC screen = ::GetDC(nullptr);
  const int rows = ::GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels.data(),
                               &request, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  if (rows != info.bmHeight) return TPicture();
  std::vector<ColorRef> colors;
  colors.reserve(pixels.size());
  for (const std::uint32_t pixel : pixels) colors.push_back(SwapRedBlue(pixel));
  return TPicture(info.bmWidth, info.bmHeight, std::move(colors));
}

}  // namespace velmora::win32
