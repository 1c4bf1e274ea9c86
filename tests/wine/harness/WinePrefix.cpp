#include "WinePrefix.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "WineHost.h"

namespace velmora::wine_test {
namespace {

namespace fs = std::filesystem;

std::string EnvironmentOr(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

// Runs a helper program to its end (at most `timeout`); true when it exited with 0.
bool RunHelper(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               std::chrono::milliseconds timeout) {
  SpawnRequest request;
  request.argv = argv;
  request.environment = environment;
  request.stdoutPath = "/dev/null";
  request.stderrPath = "/dev/null";
  return RunToEnd(request, timeout);
}

// Debian's Wine keeps the server's socket folder in /tmp/<name from the prefix's "wineserver"
// file>/server-<device>-<inode of the prefix>; it outlives the server.
fs::path ServerSocketDir(const fs::path& prefixDir) {
  const std::optional<std::string> base = ReadHostFile(prefixDir / "wineserver");
  struct stat info {};
  if (!base || base->rfind("wine-", 0) != 0 || stat(prefixDir.c_str(), &info) != 0) return {};
  char name[64];
  std::snprintf(name, sizeof(name), "server-%llx-%llx",
                static_cast<unsigned long long>(info.st_dev),
                static_cast<unsigned long long>(info.st_ino));
  return fs::temp_directory_path() / *base / name;
}

bool EnvironmentNamesPrefix(pid_t pid, const std::string& wanted) {
  const std::optional<std::string> environment =
      ReadHostFile("/proc/" + std::to_string(pid) + "/environ");
  if (!environment) return false;
  std::size_t start = 0;
  while (start < environment->size()) {
    const std::size_t end = environment->find('\0', start);
    const std::string entry = environment->substr(start, end - start);
    if (entry == wanted) return true;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

}  // namespace

std::string ProcessResult::Describe() const {
  std::ostringstream text;
  text << "exit " << exitCode << (timedOut ? " (killed at the time limit)" : "") << " after "
       << elapsed.count() << " ms\n--- stdout ---\n"
       << out << "--- stderr ---\n"
       << err;
  return text.str();
}

WinePrefix::~WinePrefix() {
  Close();
}

bool WinePrefix::Open() {
  Close();
  const WineHost* host = nullptr;
  try {
    host = &WineHost::Get();
  } catch (const std::exception& problem) {
    ADD_FAILURE() << "Wine is not usable: " << problem.what();
    return false;
  }
  std::string pattern = (fs::temp_directory_path() / "velmora-wine-test.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "mkdtemp failed: " << std::strerror(errno);
    return false;
  }
  workDir_ = pattern;
  const fs::path copy = workDir_ / "prefix";
  // tools/wine-run rebuilds the template only under the exclusive lock; copies share it.
  const std::string lockFile = host->TemplateDir().string() + ".lock";
  if (!RunHelper({"flock", "-s", "-w", "600", lockFile, "cp", "-a", "--reflink=auto",
                  host->TemplateDir().string(), copy.string()},
                 EnvironmentWith({}), 700s)) {
    ADD_FAILURE() << "copying the template prefix " << host->TemplateDir() << " failed";
    fs::remove_all(workDir_);
    workDir_.clear();
    return false;
  }
  prefixDir_ = copy;
  return true;
}

void WinePrefix::Close() {
  if (workDir_.empty()) return;
  if (!prefixDir_.empty()) StopWineServer();
  for (Started& started : processes_) started.child.KillGroup();
  processes_.clear();
  if (!prefixDir_.empty()) {
    for (pid_t pid : ProcessesOfPrefix()) kill(pid, SIGKILL);  // whatever escaped the server
    std::error_code ignored;
    fs::remove_all(ServerSocketDir(prefixDir_), ignored);
  }
  std::error_code ignored;
  fs::remove_all(workDir_, ignored);
  workDir_.clear();
  prefixDir_.clear();
}

// `wineserver -k` ends every process of the prefix and then the server itself.
void WinePrefix::StopWineServer() {
  RunHelper({"wineserver", "-k"}, WineEnvironment(), 20s);
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!ProcessesOfPrefix().empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
}

void WinePrefix::SetEnvironment(const std::string& name, const std::string& value) {
  extraEnvironment_.push_back(name + "=" + value);
}

std::vector<std::string> WinePrefix::WineEnvironment() const {
  std::vector<std::string> overrides = {
      "WINEPREFIX=" + prefixDir_.string(),
      std::string("WINEARCH=") + (WineHost::Is64Bit() ? "win64" : "win32"),
      "WINEDEBUG=" + EnvironmentOr("WINEDEBUG", "-all"),
      "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d",
  };
  try {
    overrides.push_back("DISPLAY=" + WineHost::Get().Display());
  } catch (const std::exception&) {
    // Open() already reported it.
  }
  // Processes that Wine starts itself (winedevice for the driver, a second program) take the
  // loader from here; Debian's `wine` script sets it for the 64-bit loader only.
  if (WineHost::Is64Bit()) overrides.push_back(std::string("WINELOADER=") + WineHost::WineLoader());
  overrides.insert(overrides.end(), extraEnvironment_.begin(), extraEnvironment_.end());
  return EnvironmentWith(overrides);
}

ProcessHandle WinePrefix::Start(const std::string& program, const std::vector<std::string>& args) {
  if (!IsOpen()) {
    ADD_FAILURE() << "Start(" << program << ") without an open prefix";
    return {};
  }
  const std::size_t index = processes_.size();
  Started started;
  started.program = program;
  started.stdoutPath = workDir_ / ("stdout-" + std::to_string(index));
  started.stderrPath = workDir_ / ("stderr-" + std::to_string(index));
  SpawnRequest request;
  request.argv = {WineHost::WineLoader(), program};
  request.argv.insert(request.argv.end(), args.begin(), args.end());
  request.environment = WineEnvironment();
  request.workingDirectory = DriveC().string();
  request.stdoutPath = started.stdoutPath.string();
  request.stderrPath = started.stderrPath.string();
  std::string error;
  started.startTime = std::chrono::steady_clock::now();
  started.child = ChildProcess::Spawn(request, error);
  if (!started.child.Started()) {
    ADD_FAILURE() << "cannot start wine " << program << ": " << error;
    return {};
  }
  processes_.push_back(std::move(started));
  return ProcessHandle{index};
}

WinePrefix::Started* WinePrefix::Find(ProcessHandle process) {
  return process.index < processes_.size() ? &processes_[process.index] : nullptr;
}

bool WinePrefix::IsRunning(ProcessHandle process) {
  Started* started = Find(process);
  return started != nullptr && started->child.IsRunning();
}

void WinePrefix::Kill(ProcessHandle process) {
  if (Started* started = Find(process)) started->child.KillGroup();
}

std::string WinePrefix::OutputSoFar(ProcessHandle process) const {
  if (process.index >= processes_.size()) return "";
  return ReadHostFile(processes_[process.index].stdoutPath).value_or("");
}

ProcessResult WinePrefix::Collect(Started& started) const {
  ProcessResult result;
  result.exitCode = started.child.ExitCode();
  result.out = ReadHostFile(started.stdoutPath).value_or("");
  result.err = ReadHostFile(started.stderrPath).value_or("");
  result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started.startTime);
  return result;
}

ProcessResult WinePrefix::WaitExit(ProcessHandle process, std::chrono::milliseconds timeout) {
  Started* started = Find(process);
  if (started == nullptr) {
    ADD_FAILURE() << "WaitExit of a process that was never started";
    return {};
  }
  const bool ended = started->child.WaitFor(timeout);
  if (!ended) started->child.KillGroup();
  ProcessResult result = Collect(*started);
  if (!ended) {
    result.exitCode = -1;
    result.timedOut = true;
    ADD_FAILURE() << started->program << " did not end within " << timeout.count()
                  << " ms and was killed\n"
                  << result.Describe();
  }
  return result;
}

ProcessResult WinePrefix::Run(const std::string& program, const std::vector<std::string>& args,
                              std::chrono::milliseconds timeout) {
  const ProcessHandle process = Start(program, args);
  if (Find(process) == nullptr) return {};
  return WaitExit(process, timeout);
}

ProcessResult WinePrefix::Probe(const std::vector<std::string>& args,
                                std::chrono::milliseconds timeout) {
  const fs::path probe = ProbeExe();
  if (!fs::exists(probe)) {
    ADD_FAILURE() << probe << " is missing: build the win32 preset first";
    return {};
  }
  return Run(probe.string(), args, timeout);
}

fs::path WinePrefix::HostPath(const std::string& windowsPath) const {
  const bool onC = windowsPath.size() >= 2 && (windowsPath[0] == 'C' || windowsPath[0] == 'c') &&
                   windowsPath[1] == ':';
  if (!onC) ADD_FAILURE() << "only paths on C: map into the prefix: " << windowsPath;
  std::string relative = onC ? windowsPath.substr(2) : windowsPath;
  for (char& c : relative) {
    if (c == '\\') c = '/';
  }
  while (!relative.empty() && relative.front() == '/') relative.erase(0, 1);
  return DriveC() / relative;
}

std::string WinePrefix::WindowsPath(const fs::path& hostPath) const {
  const fs::path absolute = fs::absolute(hostPath).lexically_normal();
  const fs::path relative = absolute.lexically_relative(DriveC());
  const bool insideC = !relative.empty() && *relative.begin() != "..";
  std::string path = insideC ? "C:\\" + relative.string() : "Z:" + absolute.string();
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string WinePrefix::CopyIntoPrefix(const fs::path& hostFile, const std::string& windowsDir) {
  const fs::path folder = HostPath(windowsDir);
  std::error_code error;
  fs::create_directories(folder, error);
  fs::copy_file(hostFile, folder / hostFile.filename(), fs::copy_options::overwrite_existing,
                error);
  if (error)
    ADD_FAILURE() << "copying " << hostFile << " into " << windowsDir << ": " << error.message();
  std::string windowsFolder = windowsDir;
  if (windowsFolder.empty() || windowsFolder.back() != '\\') windowsFolder += '\\';
  return windowsFolder + hostFile.filename().string();
}

std::optional<std::string> WinePrefix::ReadFile(const std::string& windowsPath) const {
  return ReadHostFile(HostPath(windowsPath));
}

void WinePrefix::WriteFile(const std::string& windowsPath, const std::string& contents) {
  const fs::path path = HostPath(windowsPath);
  std::error_code ignored;
  fs::create_directories(path.parent_path(), ignored);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << contents;
  if (!file) ADD_FAILURE() << "cannot write " << windowsPath;
}

std::vector<pid_t> WinePrefix::ProcessesOfPrefix() const {
  return ProcessesOfPrefix(prefixDir_);
}

std::vector<pid_t> WinePrefix::ProcessesOfPrefix(const fs::path& prefixDir) {
  std::vector<pid_t> found;
  if (prefixDir.empty()) return found;
  const std::string wanted = "WINEPREFIX=" + prefixDir.string();
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(name));
    if (pid != getpid() && EnvironmentNamesPrefix(pid, wanted)) found.push_back(pid);
  }
  return found;
}

fs::path WinePrefix::ProbeExe() {
  return WineHost::WindowsProgram("velmora-probe.exe");
}

fs::path WinePrefix::VelmoraExe() {
  return WineHost::WindowsProgram("Velmora.exe");
}

}  // namespace velmora::wine_test
