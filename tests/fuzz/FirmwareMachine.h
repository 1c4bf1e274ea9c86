// The machine under the firmware fuzz targets, built once per fuzzing process: a simulated board
// (the default board with its ACPI root pointer moved near the start of the segment searched for
// it; see FuzzBoardDescription) and on it a simulated Windows with the program's hardware
// configuration and driver client started as the program starts them (one on Windows 7, one on
// Windows 98, each made when first asked for). An input writes into the board's physical memory
// through Write, which remembers what each byte held; RunReaders runs the SMBIOS reader and the
// ACPI locator as the platform checks use them; Restore puts every written byte back, so the
// next input finds the board as it was built. After an input that wrote into a device window
// (the PCI Express configuration window), whose registers a byte-wise restore cannot put back,
// the PCI functions' configuration spaces are made again from the board's description.
//
// The readers get every byte through the program's own driver client (TReadWrite): a map
// request per 256-byte window, a copy from the view, an unmap request. The two memory requests
// are answered by the fuzz harness by the driver's rules, not by the driver's request handler on
// the simulated kernel (FirmwareMachine.cpp says why, and how the two are kept in agreement);
// every other request, and the whole start-up, goes through the simulated Windows to the
// driver's handler.
//
// Faults abort the run so that libFuzzer keeps the input: an access outside every mapped view
// (SimAccessViolation), a mapping left behind, a list or table longer than the readers' own
// bounds, a map answer that differs from the driver's (with VELMORA_FUZZ_CHECK_DRIVER=1).
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
  // Memory mappings the driver grants in one run (the readers need about 570 on the fuzz board,
  // 45 without the SSDT search); later map requests are refused, as a driver that ran out of system address space would refuse them. Keeps the
  // slowest inputs (tables near the readers' 4 MiB cap: 16384 windows each, many SSDT
  // candidates, tables in the PCI Express configuration window, which the simulated board
  // answers byte by byte) from dominating the run time.
  std::uint32_t mapBudget = 1000;
};

struct FirmwareRunResult {
  std::uint32_t mapsRequested = 0;  // including refused ones
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

  // The readers on the board as it is now.
  FirmwareRunResult RunReaders(const FirmwareRunOptions& options);

  ~FirmwareMachine();

 private:
  struct Session;
  struct Undo {
    std::uint64_t address;
    std::vector<std::uint8_t> bytes;
  };

  explicit FirmwareMachine(void (*prepare)(sim::SimBoard&));
  void Build();
  Session& SessionFor(bool windows98);

  void (*prepare_)(sim::SimBoard&);
  std::unique_ptr<sim::SimBoard> board_;
  std::unique_ptr<Session> nt_;
  std::unique_ptr<Session> win98_;
  std::vector<Undo> undo_;
  bool deviceWindowWritten_ = false;
};

}  // namespace velmora::fuzz
