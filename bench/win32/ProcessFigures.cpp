#include "ProcessFigures.h"

// psapi.h and tlhelp32.h need the types of windows.h.
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <cstring>

namespace velmora::bench {
namespace {

// NtQuerySystemInformation classes: the handle table with full process ids (XP and later), and
// the older one whose process ids are cut to 16 bits.
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);

struct ExtendedHandleEntry {
  PVOID object;
  ULONG_PTR processId;
  ULONG_PTR handleValue;
  ULONG grantedAccess;
  USHORT creatorBackTraceIndex;
  USHORT objectTypeIndex;
  ULONG handleAttributes;
  ULONG reserved;
};

struct HandleEntry {
  USHORT processId;
  USHORT creatorBackTraceIndex;
  UCHAR objectTypeIndex;
  UCHAR handleAttributes;
  USHORT handleValue;
  PVOID object;
  ULONG grantedAccess;
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

QuerySystemInformation SystemInformationQuery() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (!ntdll) return nullptr;
  return reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
}

bool QueryTable(ULONG table, std::vector<char>& buffer) {
  QuerySystemInformation query = SystemInformationQuery();
  if (!query) return false;
  buffer.resize(64 * 1024);
  for (int attempt = 0; attempt < 12; ++attempt) {
    ULONG needed = 0;
    const LONG status = query(table, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == 0) return true;
    if (status != kStatusInfoLengthMismatch) return false;
    buffer.resize(buffer.size() * 2);
  }
  return false;
}

// The entries of a handle table that belong to the process: a count of type `Count`, then the
// entries `header` bytes from the start. -1 when the count claims more than the buffer holds.
template <typename Count, typename Entry>
long CountProcessEntries(const std::vector<char>& buffer, std::size_t header, DWORD processId) {
  Count count = 0;
  std::memcpy(&count, buffer.data(), sizeof count);
  if (buffer.size() < header || count > (buffer.size() - header) / sizeof(Entry)) return -1;
  long handles = 0;
  for (Count i = 0; i < count; ++i) {
    Entry entry;
    std::memcpy(&entry, buffer.data() + header + i * sizeof entry, sizeof entry);
    if (entry.processId == processId) ++handles;
  }
  return handles;
}

long CountHandlesInTable(DWORD processId) {
  std::vector<char> buffer;
  // ULONG_PTR NumberOfHandles; ULONG_PTR Reserved; then the entries.
  if (QueryTable(kSystemExtendedHandleInformation, buffer)) {
    const long extended = CountProcessEntries<ULONG_PTR, ExtendedHandleEntry>(
        buffer, 2 * sizeof(ULONG_PTR), processId);
    if (extended >= 0) return extended;
  }
  if (processId > 0xFFFF) return -1;
  // ULONG NumberOfHandles; then the entries.
  if (!QueryTable(kSystemHandleInformation, buffer)) return -1;
  return CountProcessEntries<ULONG, HandleEntry>(buffer, sizeof(ULONG_PTR), processId);
}

std::uint64_t FileTimeValue(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

struct WindowCensus {
  DWORD processId;
  int windows;
  int visibleTopLevel;
};

BOOL CALLBACK CountChild(HWND window, LPARAM census) {
  auto* counts = reinterpret_cast<WindowCensus*>(census);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == counts->processId) ++counts->windows;
  return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM census) {
  auto* counts = reinterpret_cast<WindowCensus*>(census);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == counts->processId) {
    ++counts->windows;
    if (IsWindowVisible(window)) ++counts->visibleTopLevel;
  }
  EnumChildWindows(window, CountChild, census);
  return TRUE;
}

WindowCensus TakeWindowCensus(DWORD processId) {
  WindowCensus census{processId, 0, 0};
  EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&census));
  HWND messageOnly = nullptr;
  while ((messageOnly = FindWindowExA(HWND_MESSAGE, messageOnly, nullptr, nullptr)) != nullptr)
    CountTopLevel(messageOnly, reinterpret_cast<LPARAM>(&census));
  return census;
}

void ReadMemory(HANDLE process, ProcessFigures& figures) {
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                            sizeof memory))
    return;
  figures.privateUsage = memory.PrivateUsage;
  figures.pagefileUsage = memory.PagefileUsage;
  figures.workingSet = memory.WorkingSetSize;
  figures.peakWorkingSet = memory.PeakWorkingSetSize;
}

// The first module of a process is its executable.
void ReadImageRange(DWORD processId, ProcessFigures& figures) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  MODULEENTRY32 module{};
  module.dwSize = sizeof module;
  if (Module32First(snapshot, &module)) {
    figures.imageBase = reinterpret_cast<std::uintptr_t>(module.modBaseAddr);
    figures.imageSize = module.modBaseSize;
  }
  CloseHandle(snapshot);
}

}  // namespace

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool CanReadOtherProcessTimes() {
  return !RunningUnderWine();
}

std::vector<ProcessEntry> ListProcesses() {
  std::vector<ProcessEntry> processes;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return processes;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    processes.push_back(ProcessEntry{entry.th32ProcessID, entry.szExeFile});
  CloseHandle(snapshot);
  return processes;
}

DWORD FindProcess(const std::string& target, std::string& error) {
  char* end = nullptr;
  const unsigned long id = std::strtoul(target.c_str(), &end, 10);
  if (!target.empty() && *end == '\0') return static_cast<DWORD>(id);
  DWORD found = 0;
  int matches = 0;
  for (const ProcessEntry& process : ListProcesses()) {
    if (lstrcmpiA(process.exeName.c_str(), target.c_str()) != 0) continue;
    found = process.processId;
    ++matches;
  }
  if (matches == 1) return found;
  error = matches == 0 ? "no process named " + target
                       : "more than one process named " + target + "; give its id";
  return 0;
}

bool ReadProcessorTime(HANDLE process, std::uint64_t& time) {
  FILETIME creation, exit, kernel, user;
  if (!GetProcessTimes(process, &creation, &exit, &kernel, &user)) return false;
  time = FileTimeValue(kernel) + FileTimeValue(user);
  return true;
}

int CountVisibleTopLevelWindows(DWORD processId) {
  return TakeWindowCensus(processId).visibleTopLevel;
}

bool ReadProcessFigures(DWORD processId, ProcessFigures& figures, std::string& error) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
  if (!process) {
    error = "cannot open process " + std::to_string(processId) + " (error " +
            std::to_string(GetLastError()) + ")";
    return false;
  }
  figures.processId = processId;
  for (const ProcessEntry& entry : ListProcesses())
    if (entry.processId == processId) figures.exeName = entry.exeName;
  ReadMemory(process, figures);
  ReadImageRange(processId, figures);
  GetProcessHandleCount(process, &figures.handleCount);
  figures.handlesInTable = CountHandlesInTable(processId);
  figures.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
  figures.userObjects = GetGuiResources(process, GR_USEROBJECTS);
  const WindowCensus census = TakeWindowCensus(processId);
  figures.windows = census.windows;
  figures.visibleTopLevelWindows = census.visibleTopLevel;
  FILETIME creation, exit, kernel, user;
  if (GetProcessTimes(process, &creation, &exit, &kernel, &user)) {
    figures.kernelTime = FileTimeValue(kernel);
    figures.userTime = FileTimeValue(user);
  }
  figures.timesAreTheTargets = CanReadOtherProcessTimes() || processId == GetCurrentProcessId();
  CloseHandle(process);
  return true;
}

}  // namespace velmora::bench
