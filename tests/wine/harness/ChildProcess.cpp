#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

extern char** environ;

namespace velmora::wine_test {
namespace {

std::vector<char*> PointersOf(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& text : strings) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void ExecChild(pid_t parent, const char* program, char* const* argv, char* const* envp,
                            const SpawnRequest& request, int outFd, int errFd) {
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);  // the parent died before prctl took effect
  int nullFd = open("/dev/null", O_RDONLY);
  if (nullFd >= 0) dup2(nullFd, 0);
  if (outFd >= 0) dup2(outFd, 1);
  if (errFd >= 0) dup2(errFd, 2);
  if (request.passAsFd3 == 3) fcntl(3, F_SETFD, 0);  // dup2 onto itself keeps close-on-exec
  if (request.passAsFd3 >= 0 && request.passAsFd3 != 3) dup2(request.passAsFd3, 3);
  // Nothing else of the test process may leak into the child: a Wine server inheriting a pipe
  // of the test runner would keep the runner waiting for end-of-file.
  const unsigned firstToClose = request.passAsFd3 >= 0 ? 4 : 3;
  if (syscall(SYS_close_range, firstToClose, ~0U, 0) != 0) {
    for (int fd = static_cast<int>(firstToClose); fd < 4096; ++fd) close(fd);
  }
  if (!request.workingDirectory.empty() && chdir(request.workingDirectory.c_str()) != 0) {
    _exit(127);
  }
  execve(program, argv, envp);
  _exit(127);
}

int OpenOutput(const std::string& path) {
  if (path.empty()) return -1;
  return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

}  // namespace

std::string FindOnPath(const std::string& program) {
  if (program.find('/') != std::string::npos) return program;
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= folders.size()) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string candidate = folders.substr(start, end - start) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides) {
  std::vector<std::string> result;
  auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    bool replaced = false;
    for (const std::string& override : overrides) replaced |= nameOf(override) == nameOf(text);
    if (!replaced) result.push_back(text);
  }
  result.insert(result.end(), overrides.begin(), overrides.end());
  return result;
}

ChildProcess ChildProcess::Spawn(const SpawnRequest& request, std::string& error) {
  const std::string program = request.argv.empty() ? "" : FindOnPath(request.argv[0]);
  if (program.empty()) {
    error = "program not found: " + (request.argv.empty() ? "(none)" : request.argv[0]);
    return {};
  }
  std::vector<std::string> argvStrings = request.argv;
  std::vector<std::string> envStrings = request.environment;
  std::vector<char*> argv = PointersOf(argvStrings);
  std::vector<char*> envp = PointersOf(envStrings);
  const int outFd = OpenOutput(request.stdoutPath);
  const int errFd = OpenOutput(request.stderrPath);
  if ((!request.stdoutPath.empty() && outFd < 0) || (!request.stderrPath.empty() && errFd < 0)) {
    error = "cannot create output file: " + std::string(std::strerror(errno));
    if (outFd >= 0) close(outFd);
    if (errFd >= 0) close(errFd);
    return {};
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) ExecChild(parent, program.c_str(), argv.data(), envp.data(), request, outFd, errFd);
  if (outFd >= 0) close(outFd);
  if (errFd >= 0) close(errFd);
  if (pid < 0) {
    error = "fork failed: " + std::string(std::strerror(errno));
    return {};
  }
  setpgid(pid, pid);  // also from this side, so a kill right after the start reaches the group
  return ChildProcess(pid);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept {
  *this = std::move(other);
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    if (Started() && !ended_) KillGroup();
    pid_ = std::exchange(other.pid_, -1);
    ended_ = other.ended_;
    exitCode_ = other.exitCode_;
    termSignal_ = other.termSignal_;
  }
  return *this;
}

ChildProcess::~ChildProcess() {
  if (Started() && !ended_) KillGroup();
}

void ChildProcess::Record(int status) {
  ended_ = true;
  if (WIFEXITED(status)) exitCode_ = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) termSignal_ = WTERMSIG(status);
}

bool ChildProcess::IsRunning() {
  if (!Started() || ended_) return false;
  int status = 0;
  const pid_t result = waitpid(pid_, &status, WNOHANG);
  if (result == pid_) Record(status);
  if (result < 0) ended_ = true;  // not our child any more
  return !ended_;
}

bool ChildProcess::WaitFor(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (IsRunning()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void ChildProcess::KillGroup() {
  if (!Started() || ended_) return;
  kill(-pid_, SIGKILL);
  kill(pid_, SIGKILL);
  int status = 0;
  if (waitpid(pid_, &status, 0) == pid_) {
    Record(status);
  } else {
    ended_ = true;
  }
}

bool RunToEnd(const SpawnRequest& request, std::chrono::milliseconds timeout) {
  std::string error;
  ChildProcess child = ChildProcess::Spawn(request, error);
  if (!child.Started()) return false;
  if (!child.WaitFor(timeout)) {
    child.KillGroup();
    return false;
  }
  return child.ExitCode() == 0;
}

std::optional<std::string> ReadHostFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

}  // namespace velmora::wine_test
