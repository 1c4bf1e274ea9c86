#include "win32/Win32Regions.h"

#include <windows.h>

namespace velmora::win32 {
namespace {

static_assert(RGN_XOR == win::kRgnXor && RGN_COPY == win::kRgnCopy);
static_assert(NULLREGION == win::kNullRegion && COMPLEXREGION == win::kComplexRegion);

HRGN Rgn(RegionHandle region) {
  return reinterpret_cast<HRGN>(region);
}

// What a form with no border style keeps of its frame: none of the caption, the sizing frame
// or the edges.
constexpr LONG kFrameStyles = WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_DLGFRAME | WS_SYSMENU |
                              WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr LONG kFrameExStyles =
    WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE | WS_EX_STATICEDGE;

}  // namespace

RegionHandle Win32Regions::CreateRectRgn(int left, int top, int right, int bottom) {
  return reinterpret_cast<RegionHandle>(::CreateRectRgn(left, top, right, bottom));
}

int Win32Regions::CombineRgn(RegionHandle destination, RegionHandle source1, RegionHandle source2,
                             int mode) {
  return ::CombineRgn(Rgn(destination), Rgn(source1), Rgn(source2), mode);
}

bool Win32Regions::DeleteObject(RegionHandle region) {
  return ::DeleteObject(reinterpret_cast<HGDIOBJ>(region)) != FALSE;
}

int Win32Regions::SetWindowRgn(WindowHandle window, RegionHandle region, bool redraw) {
  return ::SetWindowRgn(reinterpret_cast<HWND>(window), Rgn(region), redraw ? TRUE : FALSE);
}

void Win32Regions::RemoveBorder(WindowHandle window) {
  const HWND hwnd = reinterpret_cast<HWND>(window);
  // A form that loses its border keeps its client area: the window shrinks to it.
  RECT client{};
  ::GetClientRect(hwnd, &client);
  const DWORD style = ::GetWindowLongA(hwnd, GWL_STYLE) & ~kFrameStyles;
  const DWORD exStyle = ::GetWindowLongA(hwnd, GWL_EXSTYLE) & ~kFrameExStyles;
  ::SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(style));
  ::SetWindowLongA(hwnd, GWL_EXSTYLE, static_cast<LONG>(exStyle));
  ::AdjustWindowRectEx(&client, style, FALSE, exStyle);
  ::SetWindowPos(hwnd, nullptr, 0, 0, client.right - client.left, client.bottom - client.top,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace velmora::win32
