// The machine under the firmware fuzz targets: a simulated board built once per fuzzing process
// (the default board with its ACPI root pointer moved near the start of the segment searched for
// it; see FuzzBoardDescription). An input writes into the board's physical memory through Write,
// which remembers what each byte held; RunReaders starts the program's hardware side on the board
// as it is then and runs the SMBIOS reader and the ACPI locator as the platform checks use them;
// Restore puts every written byte back, so the next input finds the board as it was built. After
// an input that wrote into a device window (the PCI Express configuration window), whose
// registers a byte-wise restore cannot put back, the PCI functions' configuration spaces are made
// again from the board's description.
//
// Each run starts a simulated Windows of its own on the board (Windows 7, or Windows 98), with
// the program's configuration and driver client built as the program's start-up builds them:
// the driver installed and opened through the simulated service manager and device layer, so
// that the driver finds the firmware as the input left it, as it does at every open. Every
// request goes through the simulated Windows: on Windows 7 to the driver's request handler on
// the simulated kernel (about 60 a run on the fuzz board), on Windows 98 to the simulated
// virtual device driver (a page map and an unmap per 256-byte window, about 1,100 a run).
//
// Faults abort the run so that libFuzzer keeps the input: anything KernelFault finds in the
// simulated kernel (a page of RAM mapped, a misuse of the lock or of a mapping, a mapping left
// behind, a write beside the control byte); on Windows 98 an access outside every mapped page
// (SimAccessViolation) or a page left mapped; a list or table longer than the readers' own
// bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "sim/board/SimBoard.h"

namespace velmora::fuzz {

struct FirmwareRunOptions {
  bool windows98 = false;   // the 9x path: the virtual device driver maps one 4 KiB page
  bool debugLog = false;    // RwDebug=1: every request also formats its log line
  bool searchSsdts = true;  // ACPIDecodeSSDTEx
  // Windows 98: the pages the virtual device driver maps in one run (the readers need about 570
  // on the fuzz board, 45 without the SSDT search); later maps are refused, as a driver that ran
  // out of system pages would refuse them. Keeps the slowest inputs (tables near the readers'
  // 4 MiB cap: 16384 windows each, many SSDT candidates) from dominating the run time. The NT
  // driver copies up to 64 KiB a request and needs no such bound.
  std::uint32_t mapBudget = 1000;
};

struct FirmwareRunResult {
  std::uint32_t requests = 0;       // driver requests of the run, the start-up included
  std::uint32_t mapsRequested = 0;  // Windows 98: page maps, refused ones included
  bool budgetExhausted = false;
};

class FirmwareMachine {
 public:
  // The process's machine; `prepare` (first call only) may change the board's memory before
  // anything is started on it: that state is what Restore returns to.
  static FirmwareMachine& Instance(void (*prepare)(sim::SimBoard&) = nullptr);

  sim::SimBoard& Board() { return *board_; }

  // Writes bytes into physical memory, remembering what they overwrote.
  void Write(std::uint64_t address, const void* bytes, std::size_t size);
  // Every byte written since the last Restore gets its old value back (last write first).
  void Restore();
  // Whether [address, address + size) shares a byte with a device window of the board.
  bool TouchesDeviceWindow(std::uint64_t address, std::size_t size) const;

  // The program's start-up and the readers on the board as it is now.
  FirmwareRunResult RunReaders(const FirmwareRunOptions& options);

  ~FirmwareMachine();

 private:
  struct Session;
  struct Undo {
    std::uint64_t address;
    std::vector<std::uint8_t> bytes;
  };

  explicit FirmwareMachine(void (*prepare)(sim::SimBoard&));

  std::unique_ptr<sim::SimBoard> board_;
  std::vector<Undo> undo_;
  bool deviceWindowWritten_ = false;
};

}  // namespace velmora::fuzz
