// velmora-measure.exe: reads what a running Windows program costs, for the resident-cost and
// start-up benchmarks. Every figure is printed as one "key=value" line.
//
//   velmora-measure figures TARGET
//       memory (PrivateUsage, PagefileUsage, working set and its peak, in bytes), where the
//       executable's image lies (base and size), kernel handles
//       (GetProcessHandleCount and the count in the system handle table), GDI and USER objects
//       (GetGuiResources), the process's windows, and its processor time so far
//   velmora-measure cpu SECONDS TARGET
//       processor time (kernel + user) used over SECONDS, and as a percentage of one core
//   velmora-measure launch [--until hidden|tray] [--timeout MS] [--settle MS] [--dir DIR]
//                          [--icon-id N] PROGRAM [ARGS...]
//       starts PROGRAM and prints, in milliseconds from CreateProcess, when its first window
//       became visible, when none of its windows was visible any more and when its tray icon
//       (id N, default 1, on any of its windows) existed; then waits MS more (--settle, default
//       0) and prints its figures. The program keeps running. --until hidden stops watching at
//       the hidden window. window_shown_seen=0: the window came and went between two looks.
//
// TARGET is a decimal process id or an executable name ("VelmoraDemo.exe", any letter case).
// A figure that the system does not provide reads "n/a". Exit codes: 0 done; 1 launch: a
// milestone not reached in time or the program ended; 2 no such process; 3 the figure cannot
// be read on this system; 64 usage.
//
// Under Wine (8.0): PrivateUsage is 0 while PagefileUsage carries the private (anonymous)
// memory; GetProcessHandleCount and GetGuiResources give 0; GetProcessTimes on another process
// returns the caller's own times, so `cpu` refuses to run there.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ProcessFigures.h"
#include "TrayWatch.h"

namespace velmora::bench {
namespace {

constexpr int kDone = 0;
constexpr int kNotReached = 1;
constexpr int kNoProcess = 2;
constexpr int kUnavailable = 3;
constexpr int kUsage = 64;

using Args = std::vector<std::string>;

int Usage(const char* what) {
  std::fprintf(stderr,
               "velmora-measure: %s\n"
               "usage: velmora-measure figures TARGET\n"
               "       velmora-measure cpu SECONDS TARGET\n"
               "       velmora-measure launch [--until hidden|tray] [--timeout MS] "
               "[--settle MS] [--dir DIR] [--icon-id N] PROGRAM [ARGS...]\n",
               what);
  return kUsage;
}

bool ParseCount(const std::string& text, unsigned long& value) {
  char* end = nullptr;
  value = std::strtoul(text.c_str(), &end, 10);
  return !text.empty() && text[0] != '-' && *end == '\0';
}

double Milliseconds(std::uint64_t hundredNanoseconds) {
  return hundredNanoseconds / 10000.0;
}

void PrintMilliseconds(const char* key, double value) {
  if (value < 0)
    std::printf("%s=n/a\n", key);
  else
    std::printf("%s=%.1f\n", key, value);
}

void PrintFigures(const ProcessFigures& f) {
  std::printf("pid=%lu\nexe=%s\n", static_cast<unsigned long>(f.processId), f.exeName.c_str());
  std::printf("private_usage_bytes=%llu\n", static_cast<unsigned long long>(f.privateUsage));
  std::printf("pagefile_usage_bytes=%llu\n", static_cast<unsigned long long>(f.pagefileUsage));
  std::printf("working_set_bytes=%llu\n", static_cast<unsigned long long>(f.workingSet));
  std::printf("peak_working_set_bytes=%llu\n", static_cast<unsigned long long>(f.peakWorkingSet));
  std::printf("image_base=0x%08lX\nimage_size_bytes=%lu\n", static_cast<unsigned long>(f.imageBase),
              static_cast<unsigned long>(f.imageSize));
  std::printf("handles=%lu\n", static_cast<unsigned long>(f.handleCount));
  if (f.handlesInTable < 0)
    std::printf("handles_in_table=n/a\n");
  else
    std::printf("handles_in_table=%ld\n", f.handlesInTable);
  std::printf("gdi_objects=%lu\nuser_objects=%lu\n", static_cast<unsigned long>(f.gdiObjects),
              static_cast<unsigned long>(f.userObjects));
  std::printf("windows=%d\nvisible_top_level_windows=%d\n", f.windows, f.visibleTopLevelWindows);
  PrintMilliseconds("kernel_ms", f.timesAreTheTargets ? Milliseconds(f.kernelTime) : -1);
  PrintMilliseconds("user_ms", f.timesAreTheTargets ? Milliseconds(f.userTime) : -1);
}

int Figures(const Args& args) {
  if (args.size() != 1) return Usage("figures takes one TARGET");
  std::string error;
  const DWORD id = FindProcess(args[0], error);
  ProcessFigures figures;
  if (!id || !ReadProcessFigures(id, figures, error)) {
    std::fprintf(stderr, "velmora-measure: %s\n", error.c_str());
    return kNoProcess;
  }
  PrintFigures(figures);
  return kDone;
}

double SecondsSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

int ProcessorTime(const Args& args) {
  unsigned long seconds = 0;
  if (args.size() != 2 || !ParseCount(args[0], seconds) || seconds == 0)
    return Usage("cpu takes SECONDS (> 0) and TARGET");
  std::string error;
  const DWORD id = FindProcess(args[1], error);
  HANDLE process = id ? OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id) : nullptr;
  if (!process) {
    std::fprintf(stderr, "velmora-measure: %s\n", id ? "cannot open the process" : error.c_str());
    return kNoProcess;
  }
  if (!CanReadOtherProcessTimes() && id != GetCurrentProcessId()) {
    std::printf("cpu_ms=n/a\ncpu_percent_of_one_core=n/a\n");
    std::fprintf(stderr,
                 "velmora-measure: Wine answers GetProcessTimes for another process "
                 "with the caller's own times; read /proc/PID/stat on the host\n");
    CloseHandle(process);
    return kUnavailable;
  }
  std::uint64_t before = 0, after = 0;
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  const bool read = ReadProcessorTime(process, before);
  Sleep(seconds * 1000);
  const bool readAgain = ReadProcessorTime(process, after);
  const double wall = SecondsSince(start);
  CloseHandle(process);
  if (!read || !readAgain) return kUnavailable;
  const double cpuMs = Milliseconds(after - before);
  std::printf("pid=%lu\nwall_ms=%.1f\ncpu_ms=%.1f\ncpu_percent_of_one_core=%.4f\n",
              static_cast<unsigned long>(id), wall * 1000.0, cpuMs, cpuMs / (wall * 10.0));
  return kDone;
}

struct LaunchOptions {
  WatchOptions watch;
  unsigned long settleMs = 0;
  std::string directory;
  std::string commandLine;
};

std::string Quoted(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  return "\"" + argument + "\"";
}

bool ParseOption(const std::string& name, const std::string& value, LaunchOptions& options) {
  unsigned long number = 0;
  if (name == "--until") {
    if (value != "hidden" && value != "tray") return false;
    options.watch.until = value == "hidden" ? WatchUntil::kHidden : WatchUntil::kTray;
    return true;
  }
  if (name == "--timeout" || name == "--icon-id") {
    if (!ParseCount(value, number)) return false;
    if (name == "--timeout")
      options.watch.timeoutMs = number;
    else
      options.watch.iconId = number;
    return true;
  }
  if (name == "--settle") return ParseCount(value, options.settleMs);
  if (name == "--dir") {
    options.directory = value;
    return !value.empty();
  }
  return false;
}

bool ParseLaunch(const Args& args, LaunchOptions& options) {
  std::size_t i = 0;
  for (; i + 1 < args.size() && args[i].rfind("--", 0) == 0; i += 2)
    if (!ParseOption(args[i], args[i + 1], options)) return false;
  if (i >= args.size()) return false;
  for (; i < args.size(); ++i)
    options.commandLine += (options.commandLine.empty() ? "" : " ") + Quoted(args[i]);
  return true;
}

bool MilestonesReached(const TrayMilestones& m, WatchUntil until) {
  return m.exitCode == STILL_ACTIVE && m.windowHidden >= 0 &&
         (until == WatchUntil::kHidden || m.trayIcon >= 0);
}

int Launch(const Args& args) {
  LaunchOptions options;
  if (!ParseLaunch(args, options)) return Usage("launch: bad options or no PROGRAM");
  TrayMilestones m;
  std::string error;
  if (!LaunchAndWatch(options.commandLine, options.directory, options.watch, m, error)) {
    std::fprintf(stderr, "velmora-measure: %s\n", error.c_str());
    return kNoProcess;
  }
  std::printf("pid=%lu\n", static_cast<unsigned long>(m.processId));
  PrintMilliseconds("window_shown_ms", m.windowShown);
  PrintMilliseconds("window_hidden_ms", m.windowHidden);
  PrintMilliseconds("tray_icon_ms", m.trayIcon);
  std::printf("window_shown_seen=%d\n", m.shownSeen ? 1 : 0);
  const bool reached = MilestonesReached(m, options.watch.until);
  if (m.exitCode != STILL_ACTIVE)
    std::printf("exited=%lu\n", static_cast<unsigned long>(m.exitCode));
  std::fflush(stdout);
  if (m.exitCode == STILL_ACTIVE) {
    Sleep(options.settleMs);
    ProcessFigures figures;
    if (ReadProcessFigures(m.processId, figures, error)) PrintFigures(figures);
  }
  CloseHandle(m.process);
  return reached ? kDone : kNotReached;
}

int Main(const Args& args) {
  if (args.empty()) return Usage("no command");
  const Args rest(args.begin() + 1, args.end());
  if (args[0] == "figures") return Figures(rest);
  if (args[0] == "cpu") return ProcessorTime(rest);
  if (args[0] == "launch") return Launch(rest);
  return Usage("unknown command");
}

}  // namespace
}  // namespace velmora::bench

int main(int argc, char** argv) {
  const velmora::bench::Args args(argv + 1, argv + argc);
  const int code = velmora::bench::Main(args);
  std::fflush(stdout);
  return code;
}
