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
//   watch-visible CLASS TITLE -- PROGRAM [ARGS...]
//                                   starts PROGRAM, looks every millisecond while it runs whether
//                                   a top-level window CLASS TITLE is visible; prints
//                                   "visible-seen=0|1 exit=CODE ms=ELAPSED", 0
//   box-text TITLE MS               waits up to MS milliseconds for a shown message box (dialog
//                                   class "#32770") titled TITLE; prints "box=0xHWND
//                                   caption=CAPTION text=TEXT" (caption and text in UTF-8, line
//                                   breaks as "\n") and 0, or "none" and 2. A TITLE outside the
//                                   ANSI code page may not survive the command line: give "*"
//                                   and look at the caption.
//   box-press TITLE                 clicks the OK button of the message box titled TITLE (a
//                                   BM_CLICK, no real input); 0 pressed, 2 no box
//   window-rect CLASS TITLE         prints "left=L top=T width=W height=H client=CWxCH" (screen
//                                   rectangle and client size of the top-level window) and 0, or
//                                   "none" and 2
//   uncheck CLASS TITLE TEXT        finds the check box ending in TEXT among the top-level
//                                   window's descendants, prints "checked=1|0" (before) and
//                                   clears it; 0, or "none" and 2
//   window-texts CLASS TITLE        prints "texts=" and the texts of the top-level window's
//                                   visible descendants (UTF-8, line breaks as "\n", separated by
//                                   " | "; e.g. the page a wizard shows) and 0, or "none" and 2
// A CLASS or TITLE of "*" matches any (a NULL argument to FindWindowA).
// Numbers are decimal or hexadecimal with "0x". A usage error prints to stderr and exits 64.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
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

// Asks `found` every 10 ms until it says yes or `limit` milliseconds have passed (at least once).
template <typename Found>
bool PollFor(unsigned long long limit, Found found) {
  const LARGE_INTEGER start = Now();
  do {
    if (found()) return true;
    Sleep(10);
  } while (MillisecondsSince(start) < static_cast<double>(limit));
  return false;
}

int FindWindowCommand(const Args& args) {
  if (args.size() != 2) return Usage("find-window CLASS TITLE");
  return FindTopLevel(args[0], args[1]) ? Result(kYes, "found") : Result(kNone, "none");
}

int WaitWindow(const Args& args) {
  unsigned long long limit = 0;
  if (args.size() != 3 || !ParseNumber(args[2], limit)) return Usage("wait-window CLASS TITLE MS");
  return PollFor(limit, [&] { return FindTopLevel(args[0], args[1]) != nullptr; })
             ? Result(kYes, "found")
             : Result(kNone, "none");
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

// Starts the program and arguments in [first, last) with its output going to NUL (so that the
// result stays the only line on stdout) and asks `look` every millisecond while it runs; prints
// "WHAT-seen=0|1 exit=CODE ms=ELAPSED".
int WatchWhileRunning(Args::const_iterator first, Args::const_iterator last,
                      const std::string& what, const std::function<bool()>& look) {
  std::string commandLine = CommandLineOf(first, last);
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
    seen = seen || look();
  } while (WaitForSingleObject(process.hProcess, 1) == WAIT_TIMEOUT);
  const double elapsed = MillisecondsSince(start);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return Result(kYes, what + "-seen=" + std::to_string(seen ? 1 : 0) +
                          " exit=" + std::to_string(exitCode) +
                          " ms=" + std::to_string(static_cast<long long>(elapsed)));
}

int WatchMutex(const Args& args) {
  if (args.size() < 3 || args[1] != "--") return Usage("watch-mutex NAME -- PROGRAM [ARGS...]");
  return WatchWhileRunning(args.begin() + 2, args.end(), "mutex",
                           [&] { return MutexExists(args[0]); });
}

int WatchVisible(const Args& args) {
  if (args.size() < 4 || args[2] != "--") {
    return Usage("watch-visible CLASS TITLE -- PROGRAM [ARGS...]");
  }
  return WatchWhileRunning(args.begin() + 3, args.end(), "visible", [&] {
    HWND window = FindTopLevel(args[0], args[1]);
    return window != nullptr && IsWindowVisible(window) != FALSE;
  });
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

// The static control that carries a message box's text has the id 0xFFFF.
constexpr int kMessageBoxTextId = 0xFFFF;

HWND FindMessageBox(const std::string& title) {
  HWND box = FindWindowA("#32770", AnyOr(title));
  return box != nullptr && IsWindowVisible(box) ? box : nullptr;
}

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size,
                      nullptr, nullptr);
  return utf8;
}

// One line of UTF-8: CR dropped, LF written as "\n".
std::string OneLine(const wchar_t* text) {
  std::string line;
  for (char c : Utf8(text)) {
    if (c == '\r') continue;
    line += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return line;
}

std::string MessageBoxText(HWND box) {
  wchar_t text[1024] = {};
  GetDlgItemTextW(box, kMessageBoxTextId, text, 1024);
  return OneLine(text);
}

std::string WindowCaption(HWND window) {
  wchar_t caption[256] = {};
  GetWindowTextW(window, caption, 256);
  return OneLine(caption);
}

int BoxText(const Args& args) {
  unsigned long long limit = 0;
  if (args.size() != 2 || !ParseNumber(args[1], limit)) return Usage("box-text TITLE MS");
  HWND box = nullptr;
  if (!PollFor(limit, [&] { return (box = FindMessageBox(args[0])) != nullptr; })) {
    return Result(kNone, "none");
  }
  return Result(kYes, "box=" + Hex(reinterpret_cast<std::uintptr_t>(box)) +
                          " caption=" + WindowCaption(box) + " text=" + MessageBoxText(box));
}

int BoxPress(const Args& args) {
  if (args.size() != 1) return Usage("box-press TITLE");
  HWND box = FindMessageBox(args[0]);
  HWND ok = box != nullptr ? GetDlgItem(box, IDOK) : nullptr;
  if (ok == nullptr) return Result(kNone, "none");
  PostMessageA(ok, BM_CLICK, 0, 0);
  return Result(kYes, "pressed");
}

// Where a top-level window lies on the screen, and the size of its client area.
int WindowRect(const Args& args) {
  if (args.size() != 2) return Usage("window-rect CLASS TITLE");
  HWND window = FindTopLevel(args[0], args[1]);
  RECT outer{}, client{};
  if (window == nullptr || !GetWindowRect(window, &outer) || !GetClientRect(window, &client))
    return Result(kNone, "none");
  return Result(kYes, "left=" + std::to_string(outer.left) + " top=" + std::to_string(outer.top) +
                          " width=" + std::to_string(outer.right - outer.left) +
                          " height=" + std::to_string(outer.bottom - outer.top) + " client=" +
                          std::to_string(client.right) + "x" + std::to_string(client.bottom));
}

struct Command {
  const char* name;
  int (*run)(const Args&);
};

// Appends a shown child's text (WM_GETTEXT itself: GetWindowTextW does not ask another
// process's edit controls). A named CALLBACK function: a lambda is no stdcall function on x86.
BOOL CALLBACK CollectChildText(HWND child, LPARAM collected) {
  wchar_t text[4096] = {};
  DWORD_PTR length = 0;
  if (IsWindowVisible(child) &&
      SendMessageTimeoutW(child, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                          2000, &length) &&
      length > 0) {
    *reinterpret_cast<std::string*>(collected) += " | " + OneLine(text);
  }
  return TRUE;
}

struct CheckBoxSearch {
  std::string text;
  HWND found = nullptr;
};

BOOL CALLBACK FindChildByText(HWND child, LPARAM search) {
  auto* wanted = reinterpret_cast<CheckBoxSearch*>(search);
  wchar_t text[512] = {};
  DWORD_PTR length = 0;
  const bool checkBox = (GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX ||
                        (GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_CHECKBOX;
  std::string shown;
  if (checkBox &&
      SendMessageTimeoutW(child, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                          2000, &length) &&
      (shown = OneLine(text)).size() >= wanted->text.size() &&
      shown.compare(shown.size() - wanted->text.size(), std::string::npos, wanted->text) == 0) {
    wanted->found = child;
    return FALSE;
  }
  return TRUE;
}

// A check box of the window, by the end of its text: whether it was checked, and cleared if it
// was.
int Uncheck(const Args& args) {
  if (args.size() != 3) return Usage("uncheck CLASS TITLE TEXT");
  HWND window = FindTopLevel(args[0], args[1]);
  CheckBoxSearch search{args[2]};
  if (window != nullptr)
    EnumChildWindows(window, &FindChildByText, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) return Result(kNone, "none");
  const bool checked = SendMessageW(search.found, BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (checked) SendMessageW(search.found, BM_CLICK, 0, 0);
  return Result(kYes, checked ? "checked=1" : "checked=0");
}

int WindowTexts(const Args& args) {
  if (args.size() != 2) return Usage("window-texts CLASS TITLE");
  HWND window = FindTopLevel(args[0], args[1]);
  if (window == nullptr) return Result(kNone, "none");
  std::string texts;
  EnumChildWindows(window, &CollectChildText, reinterpret_cast<LPARAM>(&texts));
  return Result(kYes, "texts=" + texts);
}

constexpr Command kCommands[] = {
    {"window-visible", WindowVisible},
    {"uncheck", Uncheck},
    {"find-window", FindWindowCommand},
    {"wait-window", WaitWindow},
    {"hide-window", HideWindow},
    {"mutex-exists", MutexExistsCommand},
    {"post", Post},
    {"watch-mutex", WatchMutex},
    {"hold-mutex", HoldMutex},
    {"serve-window", ServeWindow},
    {"watch-visible", WatchVisible},
    {"box-text", BoxText},
    {"box-press", BoxPress},
    {"window-rect", WindowRect},
    {"window-texts", WindowTexts},
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
