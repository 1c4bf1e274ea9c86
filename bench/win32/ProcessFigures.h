// What a running Windows process costs, read from outside: memory, kernel handles, GUI objects,
// windows and processor time, plus the lookup of a process by id or executable name.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::bench {

struct ProcessFigures {
  DWORD processId = 0;
  std::string exeName;
  // PROCESS_MEMORY_COUNTERS_EX, in bytes.
  std::uint64_t privateUsage = 0;
  std::uint64_t pagefileUsage = 0;
  std::uint64_t workingSet = 0;
  std::uint64_t peakWorkingSet = 0;
  // GetProcessHandleCount, and the same counted in the system's handle table.
  DWORD handleCount = 0;
  long handlesInTable = -1;  // -1: the table could not be read
  // GetGuiResources: GR_GDIOBJECTS, GR_USEROBJECTS.
  DWORD gdiObjects = 0;
  DWORD userObjects = 0;
  // Windows of the process: top-level (with their children) and message-only.
  int windows = 0;
  int visibleTopLevelWindows = 0;
  // Where the executable's image lies in the process (Module32First); 0 when unknown.
  std::uintptr_t imageBase = 0;
  std::uint32_t imageSize = 0;
  // GetProcessTimes, in 100-ns units.
  std::uint64_t kernelTime = 0;
  std::uint64_t userTime = 0;
  bool timesAreTheTargets = true;
};

// True inside Wine (ntdll exports wine_get_version).
bool RunningUnderWine();

// Wine 8 answers GetProcessTimes for another process with the caller's own times, so under Wine
// the processor time of another process cannot be read from the Windows side.
bool CanReadOtherProcessTimes();

struct ProcessEntry {
  DWORD processId = 0;
  std::string exeName;
};

std::vector<ProcessEntry> ListProcesses();

// A decimal process id, or an executable name compared without letter case. Fills `error`
// and returns 0 when nothing or more than one process matches.
DWORD FindProcess(const std::string& target, std::string& error);

// Opens the process and reads every figure; false (with `error`) when it cannot be opened.
bool ReadProcessFigures(DWORD processId, ProcessFigures& figures, std::string& error);

// Processor time (kernel + user) of the process in 100-ns units; false when unreadable.
bool ReadProcessorTime(HANDLE process, std::uint64_t& time);

// Visible top-level windows of a process.
int CountVisibleTopLevelWindows(DWORD processId);

}  // namespace velmora::bench
