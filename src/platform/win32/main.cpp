// Velmora.exe: the composition root on real Windows. Every port gets its Win32 adapter here and
// nowhere else.
#include <windows.h>

#include "app/ProgramEntry.h"
#include "config/DebugLog.h"
#include "platform/win32/Win32Application.h"
#include "platform/win32/Win32Files.h"
#include "platform/win32/Win32Process.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  velmora::win32::Win32Files files;
  velmora::win32::Win32AnsiCodePage codePage;
  velmora::DebugLogBind(&files, &codePage);

  velmora::win32::Win32Process process;
  velmora::win32::Win32Application application(instance);
  const int exitCode = velmora::RunProgramEntry(process, process, application);
  velmora::DebugLogBind(nullptr, nullptr);
  return exitCode;
}
