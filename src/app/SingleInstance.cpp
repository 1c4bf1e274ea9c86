#include "app/SingleInstance.h"

#include <algorithm>
#include <string>

#include "app/InstanceProtocol.h"

namespace velmora {

bool CommandLineAsksUninstall(const std::string& commandLine) {
  std::string upper = commandLine;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  });
  return upper.find(kUninstallSwitch) != std::string::npos;
}

namespace {

void AllowAnyProcessToTakeTheForeground(IWindowMessages& windows) {
  const ProcAddress allow = windows.GetProcAddress(windows.GetModuleHandleA("user32.dll"),
                                                   "AllowSetForegroundWindow");
  if (allow != 0) windows.AllowSetForegroundWindow(allow, win::kAsfwAny);
}

}  // namespace

StartDecision CheckSingleInstance(IProcess& process, IWindowMessages& windows) {
  const bool uninstall = CommandLineAsksUninstall(process.GetCommandLineA());

  // The handle of an opened mutex is deliberately kept: this process ends right after.
  if (process.OpenMutexA(win::kMutexAllAccess, false, kInstanceMutexName) != kNullHandle) {
    const WindowHandle running = windows.FindWindowA(kApplicationWindowClass, kApplicationTitle);
    if (running != 0) {
      if (uninstall) {
        windows.PostMessageA(running, MSG_SHUTDOWN_INSTANCE, 0, 0);
        process.Sleep(kUninstallPostDelayMs);
      } else {
        // The running instance brings its window to the front when it gets the request, but
        // Windows lets a process take the foreground only when the foreground process allows
        // it. This start is that process now (the user just started it): it passes the right on
        // before it ends, or the window would stay behind whatever the user was looking at.
        AllowAnyProcessToTakeTheForeground(windows);
        windows.PostMessageA(running, MSG_SHOW_INSTANCE, 0, 0);
      }
    }
    return StartDecision::kEnd;
  }

  // Held, never released, until the process ends: a start meanwhile finds this one.
  process.CreateMutexA(false, kInstanceMutexName);
  return uninstall ? StartDecision::kTurnOffAlone : StartDecision::kRunProgram;
}

}  // namespace velmora
