// What every firmware fuzz target does once it has a board: the program's hardware start-up on a
// simulated Windows (configuration, driver client with PCI Express detection), then the SMBIOS
// reader and the ACPI locator, as the platform checks use them. Faults abort the run so that
// libFuzzer keeps the input: an access outside every mapped view (thrown by the simulated
// process), a mapping left behind, a list or table longer than the readers' own bounds.
#pragma once

#include <cstdint>

#include "sim/board/SimBoard.h"

namespace velmora::fuzz {

struct FirmwareRunOptions {
  bool windows98 = false;   // the 9x path: the virtual device driver maps one 4 KiB page
  bool debugLog = false;    // RwDebug=1: every request also formats its log line
  bool searchSsdts = true;  // ACPIDecodeSSDTEx
  // Memory mappings the driver grants in one run (the default board's start-up needs about 950);
  // later map requests are refused, as a driver that ran out of system address space would refuse
  // them. Keeps the slowest inputs (tables near the readers' 4 MiB cap: 16384 windows each, many
  // SSDT candidates) from dominating the run time.
  std::uint32_t mapBudget = 4000;
};

struct FirmwareRunResult {
  std::uint32_t mapsRequested = 0;  // including refused ones
  bool budgetExhausted = false;
};

FirmwareRunResult RunFirmwareReaders(sim::SimBoard& board, const FirmwareRunOptions& options);

}  // namespace velmora::fuzz
