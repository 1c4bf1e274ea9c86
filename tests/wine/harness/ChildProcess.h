// A Linux child process started without a shell: argument vector, environment, working folder
// and output files given explicitly. Each child leads its own process group (so a time-out can
// end everything it started) and is killed when the test process dies.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmora::wine_test {

struct SpawnRequest {
  std::vector<std::string> argv;         // argv[0] is looked up on PATH unless it has a '/'
  std::vector<std::string> environment;  // "NAME=value" entries, the complete environment
  std::string workingDirectory;          // empty: the test's own
  std::string stdoutPath;                // empty: the test's own stdout
  std::string stderrPath;                // empty: the test's own stderr
  int passAsFd3 = -1;                    // a descriptor the child gets as fd 3
};

class ChildProcess {
 public:
  // Starts the child; on failure returns a process whose Started() is false and sets `error`.
  static ChildProcess Spawn(const SpawnRequest& request, std::string& error);

  ChildProcess() = default;
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();  // kills and reaps a child that still runs

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  bool IsRunning();
  // True when the child ended within the time; false when it still runs.
  bool WaitFor(std::chrono::milliseconds timeout);
  // SIGKILL to the child's whole process group, then reaps the child.
  void KillGroup();
  // After the end: the exit status, or -1 when a signal ended the child.
  int ExitCode() const { return exitCode_; }
  int TermSignal() const { return termSignal_; }

 private:
  explicit ChildProcess(pid_t pid) : pid_(pid) {}
  void Record(int status);

  pid_t pid_ = -1;
  bool ended_ = false;
  int exitCode_ = -1;
  int termSignal_ = 0;
};

// The current environment as "NAME=value" entries, with `overrides` replacing or adding names.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides);

// Full path of a program on PATH; empty when there is none.
std::string FindOnPath(const std::string& program);

// Starts the child and waits for its end, killing its process group after `timeout`; true when
// it exited with 0 in time.
bool RunToEnd(const SpawnRequest& request, std::chrono::milliseconds timeout);

// All bytes of a file on the host; nullopt when it cannot be opened.
std::optional<std::string> ReadHostFile(const std::filesystem::path& path);

}  // namespace velmora::wine_test
