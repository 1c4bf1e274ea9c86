// Writes arbitrary bytes over the firmware areas of the default board, then starts the program's
// hardware side on it and runs the SMBIOS reader and the ACPI locator as the platform checks use
// them: absurd lengths, cycles, strings that never end, structures of length 0, SSDT candidates
// with huge lengths reach the driver's firmware discovery and the readers directly.
//
// The board is built once per process (FirmwareMachine); each input's writes are undone after its
// run. Each run starts its own simulated Windows on the board: on Windows 7 the driver, opened
// as the program opens it, finds the firmware as the input left it, and the readers get every
// byte as a copy from it (the list of what it reads, reads of up to 64 KiB); on Windows 98 they
// read through the virtual device driver's page maps, a map per 256-byte window.
//
// Input: one flags byte, then records until the input ends:
//   byte 0     area (low 5 bits, taken modulo the number of areas); bit 7: afterwards make the
//              structure add up to 0 again (see FixChecksum): the area's own table or entry
//              point, or in the three search areas the structure at the written address
//   bytes 1-2  offset from the area's start, little-endian
//   byte 3     count of bytes to write (a record cut short by the end of the input writes what
//              it has)
//   count bytes
// Flags: bit 0 Windows 98 (page maps by the virtual device driver), bit 1 the debug log on,
// bit 2 the SSDT search off.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "sim/board/SimBoard.h"
#include "tests/fuzz/FirmwareMachine.h"

namespace {

using velmora::fuzz::FirmwareMachine;
using velmora::sim::SimBoard;

constexpr std::uint8_t kFixChecksum = 0x80;
constexpr std::uint8_t kAreaMask = 0x1F;
constexpr std::uint32_t kLargestFixedTable = 0x10000;

// Where each area starts on the default board: its tables by signature, the SMBIOS entry point
// and table, and the three 64 KiB pieces the searches cover (the last is what the 16-byte-step
// searches reach beyond 0xFFFFF).
constexpr std::size_t kFirstSearchArea = 12;
std::vector<std::uint64_t> AreaStarts(SimBoard& board) {
  std::vector<std::uint64_t> starts;
  for (const char* signature :
       {"RSDP", "RSDT", "FACP", "FACS", "DSDT", "SSDT", "APIC", "ECDT", "MCFG", "QVZX"}) {
    std::uint64_t address = 0xCFF80000;
    for (const velmora::sim::PlacedTable& table : board.AcpiTables()) {
      if (table.signature == signature) {
        address = table.address;
        break;
      }
    }
    starts.push_back(address);
  }
  starts.push_back(board.SmbiosEntryAddress());
  starts.push_back(board.Memory().Read32(board.SmbiosEntryAddress() + 0x18));
  starts.push_back(0xE0000);
  starts.push_back(0xF0000);
  starts.push_back(0x100000);
  return starts;
}

// Checksums are what random bytes almost never get right, and what keeps a reader from looking
// further: the entry points and tables whose sum must be 0 get their checksum byte recomputed.
void FixChecksum(FirmwareMachine& machine, std::uint64_t address) {
  const velmora::sim::SimPhysicalMemory& memory = machine.Board().Memory();
  char anchor[8];
  memory.Read(address, anchor, sizeof anchor);
  std::uint64_t checksumAt = address + 9;
  std::uint32_t length = 0;
  if (std::memcmp(anchor, "RSD PTR ", 8) == 0) {
    checksumAt = address + 8;
    length = 20;
  } else if (std::memcmp(anchor, "_SM_", 4) == 0) {
    checksumAt = address + 4;
    length = 31;
  } else {
    length = memory.Read32(address + 4);
    if (length < 10 || length > kLargestFixedTable) return;
  }
  const std::uint8_t zero = 0;
  machine.Write(checksumAt, &zero, 1);
  const std::vector<std::uint8_t> bytes = memory.ReadBytes(address, length);
  std::uint8_t sum = 0;
  for (std::uint8_t b : bytes) sum = static_cast<std::uint8_t>(sum + b);
  const auto fixed = static_cast<std::uint8_t>(0x100 - sum);
  machine.Write(checksumAt, &fixed, 1);
}

void ApplyRecords(FirmwareMachine& machine, const std::uint8_t* data, std::size_t size) {
  // The same on every board the machine builds: taken once.
  static const std::vector<std::uint64_t> starts = AreaStarts(machine.Board());
  std::size_t at = 0;
  while (at + 4 <= size) {
    const std::uint8_t area = data[at];
    const std::size_t index = (area & kAreaMask) % starts.size();
    const std::uint64_t address = starts[index] + (data[at + 1] | (data[at + 2] << 8));
    std::size_t count = data[at + 3];
    at += 4;
    if (count > size - at) count = size - at;
    machine.Write(address, data + at, count);
    at += count;
    if ((area & kFixChecksum) != 0) {
      FixChecksum(machine, index >= kFirstSearchArea ? address : starts[index]);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  FirmwareMachine& machine = FirmwareMachine::Instance();
  ApplyRecords(machine, data + 1, size - 1);
  velmora::fuzz::FirmwareRunOptions options;
  options.windows98 = (data[0] & 1) != 0;
  options.debugLog = (data[0] & 2) != 0;
  options.searchSsdts = (data[0] & 4) == 0;
  (void)machine.RunReaders(options);
  machine.Restore();
  return 0;
}
