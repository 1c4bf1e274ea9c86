// One throw-away copy of the template prefix and the Windows processes started in it.
//
// Open() copies the template; Close() (also run by the destructor) kills every process of the
// prefix through `wineserver -k`, sweeps up anything that survived, and removes the copy. A
// process is started with `wine PROGRAM ARGS...` (no shell), its output goes to files that
// stay readable after it ended.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace velmora::wine_test {

using namespace std::chrono_literals;

// What a finished (or killed) Windows process left behind.
struct ProcessResult {
  int exitCode = -1;      // low 8 bits of the Windows exit code; -1 when it was killed
  bool timedOut = false;  // killed because the time limit expired
  std::string out;        // its stdout
  std::string err;        // its stderr (Wine's messages too)
  std::chrono::milliseconds elapsed{0};

  bool Succeeded() const { return !timedOut && exitCode == 0; }
  // For assertion messages: exit code, time and both outputs.
  std::string Describe() const;
};

// Refers to a process started by WinePrefix::Start.
struct ProcessHandle {
  std::size_t index = static_cast<std::size_t>(-1);
};

class WinePrefix {
 public:
  WinePrefix() = default;
  ~WinePrefix();
  WinePrefix(const WinePrefix&) = delete;
  WinePrefix& operator=(const WinePrefix&) = delete;

  // Copies the template prefix; reports a test failure and returns false when that fails.
  bool Open();
  void Close();
  bool IsOpen() const { return !prefixDir_.empty(); }

  // The prefix itself (WINEPREFIX) and its C: drive.
  const std::filesystem::path& PrefixDir() const { return prefixDir_; }
  std::filesystem::path DriveC() const { return prefixDir_ / "drive_c"; }

  // Adds or replaces an environment variable of the processes started from now on
  // (for example LC_ALL=zh_CN.UTF-8 for a Chinese Windows).
  void SetEnvironment(const std::string& name, const std::string& value);

  // `program` is a host path, a Windows path ("C:\\velmora\\Velmora.exe") or the name of a
  // program of Wine's own (e.g. "reg"). The process runs in the background.
  ProcessHandle Start(const std::string& program, const std::vector<std::string>& args = {});
  bool IsRunning(ProcessHandle process);
  // Waits for the end; when the time runs out the process is killed and a failure reported.
  ProcessResult WaitExit(ProcessHandle process, std::chrono::milliseconds timeout = 60s);
  // Kills the process (and its process group) without reporting anything.
  void Kill(ProcessHandle process);
  // What the process has written so far.
  std::string OutputSoFar(ProcessHandle process) const;
  // Start + WaitExit.
  ProcessResult Run(const std::string& program, const std::vector<std::string>& args = {},
                    std::chrono::milliseconds timeout = 60s);
  // velmora-probe.exe of the win32 build, in this prefix.
  ProcessResult Probe(const std::vector<std::string>& args,
                      std::chrono::milliseconds timeout = 30s);

  // Copies a host file into a folder of the prefix ("C:\\velmora\\"), creating the folder;
  // returns the Windows path of the copy, e.g. "C:\\velmora\\Velmora.exe".
  std::string CopyIntoPrefix(const std::filesystem::path& hostFile, const std::string& windowsDir);
  // "C:\\a\\b.ini" -> <prefix>/drive_c/a/b.ini (letter case kept as given).
  std::filesystem::path HostPath(const std::string& windowsPath) const;
  // A host path as Windows sees it: C:\... inside the prefix's C: drive, Z:\... elsewhere.
  std::string WindowsPath(const std::filesystem::path& hostPath) const;
  std::optional<std::string> ReadFile(const std::string& windowsPath) const;
  void WriteFile(const std::string& windowsPath, const std::string& contents);

  // Host processes that belong to this prefix (WINEPREFIX in their environment): the
  // wineserver and every Windows process. Empty after Close().
  std::vector<pid_t> ProcessesOfPrefix() const;
  static std::vector<pid_t> ProcessesOfPrefix(const std::filesystem::path& prefixDir);

  // velmora-probe.exe and Velmora.exe of the win32 build (host paths).
  static std::filesystem::path ProbeExe();
  static std::filesystem::path VelmoraExe();

 private:
  struct Started {
    std::string program;
    ChildProcess child;
    std::filesystem::path stdoutPath;
    std::filesystem::path stderrPath;
    std::chrono::steady_clock::time_point startTime;
  };

  std::vector<std::string> WineEnvironment() const;
  Started* Find(ProcessHandle process);
  ProcessResult Collect(Started& started) const;
  void StopWineServer();

  std::filesystem::path workDir_;
  std::filesystem::path prefixDir_;
  std::vector<std::string> extraEnvironment_;
  std::vector<Started> processes_;
};

}  // namespace velmora::wine_test
