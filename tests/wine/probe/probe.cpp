// velmora-probe.exe: looks at and pokes the Windows side of a Wine prefix for the process tests.
//
// Every command prints one result line to stdout and ends with a documented exit code:
//   window-visible CLASS TITLE      0 visible, 1 exists but hidden, 2 no such top-level window
//   find-window CLASS TITLE         0 found, 2 none
//   wait-window CLASS TITLE MS      0 found within MS milliseconds, 2 not
//   hide-window CLASS TITLE         0 hidden (ShowWindow SW_HIDE), 2 none
//   mutex-exists NAME               0 a mutex of that name exists, 2 not
//   post CLASS TITLE MSG [WPARAM [LPARAM]]
//                                   0 posted, 2 no window, 3 PostMessageA failed
//   watch-mutex NAME -- PROGRAM [ARGS...]
//                                   starts PROGRAM, watches the mutex every millisecond while
//                                   it runs; prints "mutex-seen=0|1 exit=CODE ms=ELAPSED", 0
//   hold-mutex NAME MS              creates the mutex, keeps it MS milliseconds; 0, or 3 when
//                                   it already existed (then it does not wait)
//   serve-window CLASS TITLE MS [MUTEX]
//                                   plays a running instance: optionally creates MUTEX, opens a
//                                   hidden top-level window and waits up to MS milliseconds for
//                                   a posted message of WM_USER or above; prints
//                                   "message=0xHHHH wparam=N lparam=N" and 0, or "none" and 2
// A CLASS or TITLE of "*" matches any (a NULL argument to FindWindowA).
// Numbers are decimal or hexadecimal with "0x". A usage error prints to stderr and exits 64.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kYes = 0;
constexpr int kHidden = 1;
constexpr int kNone = 2;
constexpr int kFailed = 3;
constexpr int kUsage = 64;

using Args = std::vector<std::string>;

int Result(int code, const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  return code;
}

int Usage(const char* what) {
  std::fprintf(stderr, "velmora-probe: %s\n", what);
  return kUsage;
}

bool ParseNumber(const std::string& text, unsigned long long& value) {
  if (text.empty()) return false;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* digits = text.c_str() + (hex ? 2 : 0);
  char* end = nullptr;
  value = std::strtoull(digits, &end, hex ? 16 : 10);
  return *digits != '\0' && *digits != '-' && *end == '\0';
}

const char* AnyOr(const std::string& text) {
  return text == "*" ? nullptr : text.c_str();
}

HWND FindTopLevel(const std::string& className, const std::string& title) {
  return FindWindowA(AnyOr(className), AnyOr(title));
}

double MillisecondsSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

bool MutexExists(const std::string& name) {
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
  if (mutex == nullptr) return false;
  CloseHandle(mutex);
  return true;
}

int WindowVisible(const Args& args) {
  if (args.size() != 2) return Usage("window-visible CLASS TITLE");
  HWND window = FindTopLevel(args[0], args[1]);
  if (window == nullptr) return Result(kNone, "none");
  return IsWindowVisible(window) ? Result(kYes, "visible") : Result(kHidden, "hidden");
}

int FindWindowCommand(const Args& args) {
  if (args.size() != 2) return Usage("find-window CLASS TITLE");
  return FindTopLevel(args[0], args[1]) ? Result(kYes, "found") : Result(kNone, "none");
}

int WaitWindow(const Args& args) {
  unsigned long long limit = 0;
  if (args.size() != 3 || !ParseNumber(args[2], limit)) return Usage("wait-window CLASS TITLE MS");
  const LARGE_INTEGER start = Now();
  do {
    if (FindTopLevel(args[0], args[1])) return Result(kYes, "found");
    Sleep(10);
  } while (MillisecondsSince(start) < static_cast<double>(limit));
  return Result(kNone, "none");
}

int HideWindow(const Args& args) {
  if (args.size() != 2) return Usage("hide-window CLASS TITLE");
  HWND window = FindTopLevel(args[0], args[1]);
  if (window == nullptr) return Result(kNone, "none");
  ShowWindow(window, SW_HIDE);
  return Result(kYes, "hidden");
}

int MutexExistsCommand(const Args& args) {
  if (args.size() != 1) return Usage("mutex-exists NAME");
  return MutexExists(args[0]) ? Result(kYes, "exists") : Result(kNone, "none");
}

int Post(const Args& args) {
  unsigned long long message = 0, wParam = 0, lParam = 0;
  const bool numbersOk = args.size() >= 3 && args.size() <= 5 && ParseNumber(args[2], message) &&
                         (args.size() < 4 || ParseNumber(args[3], wParam)) &&
                         (args.size() < 5 || ParseNumber(args[4], lParam));
  if (!numbersOk) return Usage("post CLASS TITLE MSG [WPARAM [LPARAM]]");
  HWND window = FindTopLevel(args[0], args[1]);
  if (window == nullptr) return Result(kNone, "none");
  if (!PostMessageA(window, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                    static_cast<LPARAM>(lParam))) {
    return Result(kFailed, "failed error=" + std::to_string(GetLastError()));
  }
  return Result(kYes, "posted");
}

// Quotes one argument the way CommandLineToArgvW and the C runtime split it again.
std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote itself escaped.
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');  // before the closing quote
  return quoted + "\"";
}

std::string CommandLineOf(Args::const_iterator first, Args::const_iterator last) {
  std::string line;
  for (auto it = first; it != last; ++it) {
    if (!line.empty()) line += ' ';
    line += QuoteArgument(*it);
  }
  return line;
}

int WatchMutex(const Args& args) {
  if (args.size() < 3 || args[1] != "--") return Usage("watch-mutex NAME -- PROGRAM [ARGS...]");
  std::string commandLine = CommandLineOf(args.begin() + 2, args.end());
  // The watched program writes to NUL, so that the result stays the only line on stdout.
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inheritable, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
  PROCESS_INFORMATION process{};
  const LARGE_INTEGER start = Now();
  const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  const DWORD startError = GetLastError();
  CloseHandle(nul);
  if (!started) return Result(kFailed, "failed error=" + std::to_string(startError));
  bool seen = false;
  do {
    seen = seen || MutexExists(args[0]);
  } while (WaitForSingleObject(process.hProcess, 1) == WAIT_TIMEOUT);
  const double elapsed = MillisecondsSince(start);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return Result(kYes, "mutex-seen=" + std::to_string(seen ? 1 : 0) +
                          " exit=" + std::to_string(exitCode) +
                          " ms=" + std::to_string(static_cast<long long>(elapsed)));
}

int HoldMutex(const Args& args) {
  unsigned long long milliseconds = 0;
  if (args.size() != 2 || !ParseNumber(args[1], milliseconds)) {
    return Usage("hold-mutex NAME MS");
  }
  HANDLE mutex = CreateMutexA(nullptr, FALSE, args[0].c_str());
  if (mutex == nullptr) return Result(kFailed, "failed error=" + std::to_string(GetLastError()));
  if (GetLastError() == ERROR_ALREADY_EXISTS) return Result(kFailed, "already-exists");
  Sleep(static_cast<DWORD>(milliseconds));
  return Result(kYes, "released");
}

LRESULT CALLBACK ServedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateServedWindow(const std::string& className, const std::string& title) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ServedWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = className.c_str();
  if (!RegisterClassA(&windowClass)) return nullptr;
  // Top-level and never shown, like a framework's hidden application window.
  return CreateWindowExA(0, className.c_str(), title.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr,
                         nullptr, windowClass.hInstance, nullptr);
}

std::string Hex(unsigned long long value) {
  char text[32];
  std::snprintf(text, sizeof(text), "0x%llX", value);
  return text;
}

int ServeWindow(const Args& args) {
  unsigned long long limit = 0;
  if (args.size() < 3 || args.size() > 4 || !ParseNumber(args[2], limit)) {
    return Usage("serve-window CLASS TITLE MS [MUTEX]");
  }
  if (args.size() == 4 && CreateMutexA(nullptr, FALSE, args[3].c_str()) == nullptr) {
    return Result(kFailed, "failed error=" + std::to_string(GetLastError()));
  }
  HWND window = CreateServedWindow(args[0], args[1]);
  if (window == nullptr) return Result(kFailed, "failed error=" + std::to_string(GetLastError()));
  const LARGE_INTEGER start = Now();
  MSG message;
  while (MillisecondsSince(start) < static_cast<double>(limit)) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.hwnd == window && message.message >= WM_USER) {
        return Result(kYes, "message=" + Hex(message.message) +
                                " wparam=" + std::to_string(message.wParam) +
                                " lparam=" + std::to_string(message.lParam));
      }
      DispatchMessageA(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return Result(kNone, "none");
}

struct Command {
  const char* name;
  int (*run)(const Args&);
};

constexpr Command kCommands[] = {
    {"window-visible", WindowVisible},    {"find-window", FindWindowCommand},
    {"wait-window", WaitWindow},          {"hide-window", HideWindow},
    {"mutex-exists", MutexExistsCommand}, {"post", Post},
    {"watch-mutex", WatchMutex},          {"hold-mutex", HoldMutex},
    {"serve-window", ServeWindow},
};

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // "\n", not "\r\n": the result is parsed on Linux
  if (argc < 2) return Usage("usage: velmora-probe COMMAND ARGS...");
  const std::string name = argv[1];
  const Args args(argv + 2, argv + argc);
  for (const Command& command : kCommands) {
    if (name == command.name) return command.run(args);
  }
  return Usage(("unknown command: " + name).c_str());
}
