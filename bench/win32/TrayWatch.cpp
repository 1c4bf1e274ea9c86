#include "TrayWatch.h"

// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include <vector>

#include "ProcessFigures.h"

namespace velmora::bench {
namespace {

constexpr DWORD kWindowPollMs = 5;
constexpr double kIconPollMs = 25;

struct IconProbe {
  DWORD processId;
  UINT iconId;
  bool found;
};

bool ProbeIcon(HWND window, UINT iconId) {
  NOTIFYICONDATAW icon{};
  icon.cbSize = NOTIFYICONDATAW_V1_SIZE;
  icon.hWnd = window;
  icon.uID = iconId;
  icon.uFlags = 0;  // change nothing
  return Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE;
}

BOOL CALLBACK ProbeWindow(HWND window, LPARAM probe) {
  auto* p = reinterpret_cast<IconProbe*>(probe);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == p->processId && ProbeIcon(window, p->iconId)) p->found = true;
  return p->found ? FALSE : TRUE;
}

double Elapsed(const LARGE_INTEGER& start, const LARGE_INTEGER& frequency) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

bool Reached(const TrayMilestones& m, WatchUntil until) {
  if (m.windowHidden < 0) return false;
  return until == WatchUntil::kHidden || m.trayIcon >= 0;
}

class Watcher {
 public:
  Watcher(TrayMilestones& m, UINT iconId) : m_(m), iconId_(iconId) {}

  void Observe(double now) {
    if (m_.trayIcon < 0 && now - lastIconProbe_ >= kIconPollMs) {
      lastIconProbe_ = now;
      if (TrayIconExists(m_.processId, iconId_)) m_.trayIcon = now;
    }
    const int visible = CountVisibleTopLevelWindows(m_.processId);
    if (m_.windowShown < 0 && visible > 0) {
      m_.windowShown = now;
      m_.shownSeen = true;
    }
    if (m_.windowShown >= 0 && m_.windowHidden < 0 && visible == 0) m_.windowHidden = now;
    // A window shown and hidden again between two looks: the icon tells that it happened.
    if (m_.windowShown < 0 && m_.trayIcon >= 0 && visible == 0)
      m_.windowShown = m_.windowHidden = now;
  }

 private:
  TrayMilestones& m_;
  UINT iconId_;
  double lastIconProbe_ = -kIconPollMs;
};

bool Start(const std::string& commandLine, const std::string& directory, TrayMilestones& m,
           std::string& error) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory.empty() ? nullptr : directory.c_str(), &startup, &started)) {
    error = "cannot start " + commandLine + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  CloseHandle(started.hThread);
  m.process = started.hProcess;
  m.processId = started.dwProcessId;
  return true;
}

}  // namespace

bool TrayIconExists(DWORD processId, UINT iconId) {
  IconProbe probe{processId, iconId, false};
  EnumWindows(ProbeWindow, reinterpret_cast<LPARAM>(&probe));
  HWND messageOnly = nullptr;
  while (!probe.found &&
         (messageOnly = FindWindowExA(HWND_MESSAGE, messageOnly, nullptr, nullptr)) != nullptr)
    ProbeWindow(messageOnly, reinterpret_cast<LPARAM>(&probe));
  return probe.found;
}

bool LaunchAndWatch(const std::string& commandLine, const std::string& directory,
                    const WatchOptions& options, TrayMilestones& m, std::string& error) {
  LARGE_INTEGER frequency, start;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  if (!Start(commandLine, directory, m, error)) return false;
  Watcher watcher(m, options.iconId);
  while (!Reached(m, options.until) && Elapsed(start, frequency) < options.timeoutMs) {
    if (WaitForSingleObject(m.process, kWindowPollMs) == WAIT_OBJECT_0) {
      GetExitCodeProcess(m.process, &m.exitCode);
      break;
    }
    watcher.Observe(Elapsed(start, frequency));
  }
  return true;
}

}  // namespace velmora::bench
