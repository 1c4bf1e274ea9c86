#include "WineHost.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace velmora::wine_test {
namespace {

namespace fs = std::filesystem;

std::string LastLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  const std::size_t newline = text.rfind('\n');
  return newline == std::string::npos ? text : text.substr(newline + 1);
}

// Xvfb writes its display number, then a newline, once it accepts connections.
std::string ReadDisplayNumber(int fd, std::chrono::milliseconds timeout) {
  std::string number;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, 100) <= 0) continue;
    char c = 0;
    if (read(fd, &c, 1) != 1) break;
    if (c == '\n') return number;
    number += c;
  }
  return "";
}

}  // namespace

WineHost& WineHost::Get() {
  static WineHost host;
  return host;
}

WineHost::WineHost() {
  PrepareTemplate();
  const char* display = std::getenv("DISPLAY");
  if (display != nullptr && *display != '\0') {
    display_ = display;
  } else {
    StartXvfb();
  }
}

fs::path WineHost::SourceDir() {
  return VELMORA_SOURCE_DIR;
}

const char* WineHost::kNeeds32BitProduct =
    "tests the 32-bit product Velmora.exe itself, which needs a machine that executes 32-bit "
    "programs (this run uses 64-bit Wine)";

bool WineHost::Is64Bit() {
  static const bool is64Bit = [] {
    const fs::path output =
        fs::temp_directory_path() / ("velmora-wine-arch." + std::to_string(getpid()));
    SpawnRequest request;
    request.argv = {"bash", (SourceDir() / "tools/wine-arch").string()};
    request.environment = EnvironmentWith({});
    request.stdoutPath = output.string();
    std::string error;
    ChildProcess query = ChildProcess::Spawn(request, error);
    if (!query.Started() || !query.WaitFor(std::chrono::seconds(30)) || query.ExitCode() != 0) {
      throw std::runtime_error("tools/wine-arch failed " + error);
    }
    const std::string arch = LastLine(ReadHostFile(output).value_or(""));
    fs::remove(output);
    if (arch != "win32" && arch != "win64") throw std::runtime_error("tools/wine-arch: " + arch);
    return arch == "win64";
  }();
  return is64Bit;
}

const char* WineHost::WineLoader() {
  return Is64Bit() ? "/usr/lib/wine/wine64" : "/usr/lib/wine/wine";
}

fs::path WineHost::WindowsBuildDir() {
  const char* variable = Is64Bit() ? "VELMORA_WIN64_BUILD_DIR" : "VELMORA_WIN32_BUILD_DIR";
  const char* configured = std::getenv(variable);
  if (configured != nullptr && *configured != '\0') return configured;
  return Is64Bit() ? VELMORA_WIN64_BUILD_DIR : VELMORA_WIN32_BUILD_DIR;
}

fs::path WineHost::WindowsProgram(const std::string& fileName) {
  const fs::path build = WindowsBuildDir();
  const std::vector<fs::path> candidates = {build / fileName, build / "tests/wine" / fileName,
                                            build / "src/win32" / fileName};
  for (const fs::path& candidate : candidates) {
    if (fs::exists(candidate)) return candidate;
  }
  return candidates.front();
}

// tools/wine-run owns the recipe and the lock; it prints the template's path on stdout.
void WineHost::PrepareTemplate() {
  const fs::path output =
      fs::temp_directory_path() / ("velmora-template-path." + std::to_string(getpid()));
  SpawnRequest request;
  request.argv = {"bash", (SourceDir() / "tools/wine-run").string(), "--prepare-template"};
  request.environment =
      EnvironmentWith({std::string("VELMORA_WINE_ARCH=") + (Is64Bit() ? "win64" : "win32")});
  request.stdoutPath = output.string();
  std::string error;
  ChildProcess prepare = ChildProcess::Spawn(request, error);
  if (!prepare.Started()) throw std::runtime_error("tools/wine-run: " + error);
  const bool ended = prepare.WaitFor(std::chrono::minutes(10));
  if (!ended) prepare.KillGroup();
  templateDir_ = LastLine(ReadHostFile(output).value_or(""));
  fs::remove(output);
  if (!ended || prepare.ExitCode() != 0 || !fs::is_directory(templateDir_)) {
    throw std::runtime_error("tools/wine-run --prepare-template failed (exit " +
                             std::to_string(prepare.ExitCode()) + ")");
  }
}

// Xvfb picks a free display itself (-displayfd), so parallel test programs never collide.
void WineHost::StartXvfb() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  SpawnRequest request;
  request.argv = {"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"};
  request.environment = EnvironmentWith({});
  request.stdoutPath = "/dev/null";
  request.stderrPath = "/dev/null";
  request.passAsFd3 = fds[1];
  std::string error;
  xvfb_ = ChildProcess::Spawn(request, error);
  close(fds[1]);
  const std::string number =
      xvfb_.Started() ? ReadDisplayNumber(fds[0], std::chrono::seconds(20)) : std::string();
  close(fds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start " + error);
  display_ = ":" + number;
}

}  // namespace velmora::wine_test
