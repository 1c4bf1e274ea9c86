// The driver's request handler (driver/RequestHandler) on the simulated kernel, twice in lock
// step, on one of a few simulated boards: the maker's default board; the same with its firmware
// memory map reserved in pages (the RAM after the tables starts in the tables' 64 KiB block);
// the same without legacy copies (UEFI: no root pointer or SMBIOS anchor in the BIOS area, the
// driver takes the root tables from the firmware table provider); and that on a system without
// the provider (Windows XP). The handler is called the way the I/O manager calls it
// (METHOD_BUFFERED: one system buffer of max(input, output) bytes, allocated to that size, the
// input copied in, the rest stale pool), and only with what the I/O manager can send: requests
// on a file object between its create and its close.
//
// The two machines differ only in what the system buffer holds past the input: 0xC5 in one,
// 0x3A in the other. A driver that answers only its caller's input and the bytes it wrote gives
// both callers the same answer; any returned byte it did not write, and any decision taken on
// bytes past the input, shows as a difference. After each request (a fault traps, so that
// libFuzzer keeps the input):
//   - both machines completed it once, under the lock, with what the handler returned, and
//     with the same status, count and returned bytes;
//   - a create, cleanup or close succeeded with no data, a request of another major function
//     was refused as an invalid device request;
//   - the count of a request that did not fail is at most the output length;
//   - a code the driver does not serve was refused as an invalid device request (or as a
//     closed file, after cleanup) without a mapping or a PCI read;
//   - KernelFault finds nothing in either kernel (lock, IRQL, misuses, RAM, mappings left,
//     writable mappings and writes beside the control byte);
//   - every mapping, and every range the list of readable ranges names, lies inside the
//     board's firmware as FirmwareOracle knows it; mappings are uncached in the configuration
//     window and cached elsewhere;
//   - every write to the control byte keeps the firmware's bits 5-7 and never sets its request
//     bit 4.
// AddressSanitizer catches any access outside the system buffer.
//
// The boards are built once per process (building one costs more than most inputs) and put
// back as built before each input; kernels and handlers are new for each input.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "driver/RequestHandler.h"
#include "sim/kernel/SimKernel.h"
#include "tests/fuzz/FirmwareOracle.h"

namespace velmora::fuzz {

inline constexpr int kBoardLayouts = 4;
inline constexpr int kFileObjects = 4;

struct RequestMachine;
struct LayoutBoards;

class DriverRequestRig {
 public:
  explicit DriverRequestRig(int layout);
  ~DriverRequestRig();

  // The firmware ranges of the board, for inputs that aim at them.
  const std::vector<FirmwareOracle::Range>& Firmware() const;
  std::uint64_t ControlByte() const;

  // Create, cleanup, close or a request of another major function, when the file object's
  // state lets the I/O manager send it (nothing otherwise).
  void Lifecycle(int file, driver::IoRequest::Kind kind);
  void DeviceControl(int file, std::uint32_t code, const std::vector<std::uint8_t>& input,
                     std::uint32_t outputLength);
  // Cleans up and closes every file object still open, as the I/O manager does at the end.
  void Finish();

 private:
  enum class FileState { kNone, kOpen, kCleanedUp };
  struct Sent {
    driver::IoResult result;
    std::unique_ptr<std::uint8_t[]> buffer;
  };

  Sent Send(RequestMachine& machine, int file, std::uint32_t code,
            const std::vector<std::uint8_t>& input, std::uint32_t outputLength, std::uint8_t pool);
  driver::IoResult Dispatch(RequestMachine& machine, const driver::IoRequest& request);
  void CompareAnswers(const Sent (&sent)[2], std::uint32_t outputLength) const;
  void CheckRefusal(std::uint32_t code, const driver::IoResult& result, std::size_t mappingsBefore,
                    std::uint64_t pciReadsBefore, int file) const;
  void CheckListedRanges(const std::uint8_t* answer, std::uint32_t information) const;
  void CheckMachines();
  void CheckMappings(RequestMachine& machine) const;
  void CheckWrites(RequestMachine& machine) const;

  LayoutBoards& boards_;
  std::array<std::unique_ptr<RequestMachine>, 2> machines_;
  std::array<FileState, kFileObjects> files_{};
};

}  // namespace velmora::fuzz
