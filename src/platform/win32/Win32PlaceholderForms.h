// Stand-ins for the skinned main window and the overlay form until those are built: a plain
// window of the main window's size that obeys the two instance requests, and a hidden overlay.
#pragma once

#include <windows.h>

#include "platform/ApplicationPort.h"

namespace velmora::win32 {

inline constexpr char kMainFormClass[] = "TvmMainForm";
inline constexpr char kMainFormCaption[] = "Zelkor Velmora";
inline constexpr char kOverlayFormClass[] = "TForm1";

HWND CreatePlaceholderMainForm(HINSTANCE instance, HWND applicationWindow);
HWND CreateHiddenOverlayForm(HINSTANCE instance);
// Show request: the main window comes back to the front; shut-down request: it closes.
MessageFilter PlaceholderInstanceFilter(HWND applicationWindow, HWND mainForm);

}  // namespace velmora::win32
