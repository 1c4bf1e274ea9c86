#include "tests/fuzz/FirmwareMachine.h"

#include <cstdio>
#include <string>

#include "hw/AcpiBase.h"
#include "hw/ReadWrite.h"
#include "hw/SmbiosBase.h"
#include "sim/ForwardingFiles.h"
#include "sim/SimStartup.h"
#include "sim/board/SimPciBus.h"
#include "tests/fuzz/FuzzReport.h"
#include "tests/fuzz/KernelChecks.h"

namespace velmora::fuzz {
namespace {

constexpr char kTarget[] = "firmware fuzz";
constexpr std::uint64_t kFuzzRsdpAddress = 0xE0400;

// The default board with its root pointer near the start of the segment the locator searches
// (0xE0000-0xFFFFF, 16-byte steps) instead of at 0xF6A40: on Windows 98, where the search maps
// the segment window by window, every run spent 360 of its 930 windows passing over the same
// empty stretch before finding it. An input that breaks or hides the pointer still sends the
// search over the whole segment. The first 1 KiB stays free for the anchors an input writes in
// front of it.
sim::BoardDescription FuzzBoardDescription() {
  sim::BoardDescription board = sim::DefaultBoardDescription();
  board.acpi.rsdpAddress = kFuzzRsdpAddress;
  return board;
}

// The configuration file of a run: the debug log and the SSDT search as the run asks, the rest
// as the program's defaults have it (the PCI Express base detected by the driver client).
std::string IniText(const FirmwareRunOptions& options) {
  return std::string("[Config]\r\nRwDebug=") + (options.debugLog ? "1" : "0") +
         "\r\nACPIDecodeSSDTEx=" + (options.searchSsdts ? "1" : "0") + "\r\n";
}

// Everything the rest of the program asks of the SMBIOS copy, and a little more.
void QuerySmbiosStructures(const TSmbiosBase& smbios) {
  std::size_t text = smbios.BoardName().size();
  for (std::uint8_t type = 0; type <= 4; ++type) {
    for (std::uint32_t occurrence = 0; occurrence < 3; ++occurrence) {
      const std::uint8_t* structure = smbios.FindStructure(type, occurrence);
      if (structure == nullptr) break;
      if (smbios.StructureSize(structure) >
          static_cast<std::size_t>(smbios.Table.data() + smbios.Table.size() - structure)) {
        Fault(kTarget, "an SMBIOS structure reaches past the copied table");
      }
      for (std::uint8_t number = 0; number < 6; ++number) {
        text += smbios.GetString(structure, number).size();
      }
      text += smbios.GetString(structure, 0xFF).size();
    }
  }
  if (text > (std::size_t{1} << 30)) Fault(kTarget, "impossible amount of SMBIOS text");
}

void QuerySmbios(const TSmbiosBase& smbios) {
  if (smbios.Found == 1 && smbios.Table.size() != smbios.TableLength) {
    Fault(kTarget, "the SMBIOS copy differs in size from the entry point's table length");
  }
  if (Verbose()) {
    std::fprintf(stderr, "SMBIOS: entry point %08X, table %u bytes, board name \"%s\"\n",
                 smbios.EntryPointAddress, smbios.TableLength, smbios.BoardName().c_str());
  }
  QuerySmbiosStructures(smbios);
}

void QueryAcpi(TAcpiBase& acpi) {
  if (acpi.Tables.size() > kMaxAcpiTables) Fault(kTarget, "the ACPI list outgrew its bound");
  if (acpi.Found == 0 && !acpi.Tables.empty())
    Fault(kTarget, "ACPI tables listed without a pointer");
  const bool qvzx = acpi.FindTable("QVZX");
  acpi.FindTable("DSDT");
  if (Verbose()) {
    std::fprintf(stderr, "ACPI: pointer %s, %zu table(s), QVZX %s\n",
                 acpi.Found ? "found" : "not found", acpi.Tables.size(), qvzx ? "found" : "absent");
  }
  if (acpi.CurrentEntry() == nullptr && !acpi.Tables.empty())
    Fault(kTarget, "Current left the list");
}

// The program's file and device layer with a bound on the virtual device driver's page maps:
// past the run's budget a map is refused, as a driver out of system pages would refuse it.
class PageMapBudget : public sim::ForwardingFiles {
 public:
  explicit PageMapBudget(std::uint32_t budget) : budget_(budget) {}

  bool DeviceIoControl(Handle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                       void* out, std::uint32_t outSize, std::uint32_t* returned) override {
    if (code == driver_protocol::IOCTL_MAP_PHYSICAL_MEMORY && ++maps_ > budget_) {
      if (returned != nullptr) *returned = 0;
      return false;
    }
    return ForwardingFiles::DeviceIoControl(device, code, in, inSize, out, outSize, returned);
  }
  std::uint32_t Maps() const { return maps_; }

 private:
  std::uint32_t budget_;
  std::uint32_t maps_ = 0;
};

}  // namespace

// One started Windows on the board: the configuration object and the driver client built as the
// program's start-up builds them.
struct FirmwareMachine::Session {
  Session(sim::SimBoard& board, const FirmwareRunOptions& options)
      : budget(options.mapBudget),
        startup(board, options.windows98 ? sim::Windows98() : sim::Windows7X86(), IniText(options),
                &budget) {
    budget.Bind(startup.world.io);
    if (startup.ConnectDriver().DeviceHandle() == kInvalidHandleValue) {
      Fault(kTarget, "the driver did not open");
    }
  }

  void RunReaders() {
    {
      const TSmbiosBase smbios(startup.Driver(), startup.codePage);
      QuerySmbios(smbios);
    }
    TAcpiBase acpi(startup.Driver(), startup.Config());
    QueryAcpi(acpi);
  }

  void Check(const sim::SimBoard& board) const {
    if (startup.world.process.LiveViewCount() != 0) Fault(kTarget, "a page was left mapped");
    if (const char* fault = KernelFault(startup.world.kernel, board.ControlByteAddress())) {
      Fault(kTarget, fault);
    }
    if (MixedCaching(startup.world.kernel)) {
      Fault(kTarget, "a page was mapped both cached and uncached");
    }
  }

  PageMapBudget budget;
  sim::SimStartup startup;
};

FirmwareMachine& FirmwareMachine::Instance(void (*prepare)(sim::SimBoard&)) {
  static FirmwareMachine machine(prepare);
  return machine;
}

FirmwareMachine::FirmwareMachine(void (*prepare)(sim::SimBoard&))
    : board_(std::make_unique<sim::SimBoard>(FuzzBoardDescription())) {
  if (prepare != nullptr) prepare(*board_);
}

FirmwareMachine::~FirmwareMachine() = default;

bool FirmwareMachine::TouchesDeviceWindow(std::uint64_t address, std::size_t size) const {
  const std::optional<std::uint64_t>& ecam = board_->Description().ecamBase;
  if (!ecam || size == 0) return false;
  const std::uint64_t windowLast = *ecam + (sim::SimPciBus::kEcamSize - 1);
  const std::uint64_t last = address + (size - 1);
  if (last < address) return windowLast >= address || *ecam <= last;  // wraps past 2^64
  return address <= windowLast && *ecam <= last;
}

void FirmwareMachine::Write(std::uint64_t address, const void* bytes, std::size_t size) {
  if (size == 0) return;
  if (TouchesDeviceWindow(address, size)) deviceWindowWritten_ = true;
  undo_.push_back(Undo{address, board_->Memory().ReadBytes(address, size)});
  board_->Memory().Write(address, bytes, size);
}

void FirmwareMachine::Restore() {
  for (auto undo = undo_.rbegin(); undo != undo_.rend(); ++undo) {
    board_->Memory().Write(undo->address, undo->bytes.data(), undo->bytes.size());
  }
  undo_.clear();
  if (deviceWindowWritten_) {
    // Configuration registers do not all read back what was written to them: each function's
    // configuration space is made again from the board's description.
    for (const sim::PciFunctionDescription& function : board_->Description().pciFunctions) {
      board_->Pci().AddFunction(function);
    }
    deviceWindowWritten_ = false;
  }
}

FirmwareRunResult FirmwareMachine::RunReaders(const FirmwareRunOptions& options) {
  FirmwareRunResult result;
  {
    Session session(*board_, options);
    session.RunReaders();
    session.Check(*board_);
    result.requests = session.startup.Driver().Requests().Total();
    result.mapsRequested = session.budget.Maps();
    result.budgetExhausted = session.budget.Maps() > options.mapBudget;
  }
  if (Verbose()) {
    std::fprintf(stderr, "%u driver request(s), %u page map(s)%s\n", result.requests,
                 result.mapsRequested, result.budgetExhausted ? ", budget exhausted" : "");
  }
  return result;
}

}  // namespace velmora::fuzz
