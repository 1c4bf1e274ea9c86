#include "tests/fuzz/FirmwareFuzzRun.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "hw/AcpiBase.h"
#include "hw/DriverProtocol.h"
#include "hw/SmbiosBase.h"
#include "sim/ForwardingFiles.h"
#include "sim/SimStartup.h"

namespace velmora::fuzz {
namespace {

[[noreturn]] void Fault(const char* what) {
  std::fprintf(stderr, "firmware fuzz: %s\n", what);
  std::abort();
}

// The simulated Windows' file and device layer, with a limit on the memory mappings granted.
// Unmaps always pass, so a refusal can never leave a view behind.
class BudgetedIo : public sim::ForwardingFiles {
 public:
  explicit BudgetedIo(std::uint32_t budget) : budget_(budget) {}

  bool DeviceIoControl(Handle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                       void* out, std::uint32_t outSize, std::uint32_t* returned) override {
    if (code == driver_protocol::IOCTL_MAP_PHYSICAL_MEMORY && ++maps_ > budget_) return false;
    return ForwardingFiles::DeviceIoControl(device, code, in, inSize, out, outSize, returned);
  }

  std::uint32_t Maps() const { return maps_; }

 private:
  std::uint32_t budget_;
  std::uint32_t maps_ = 0;
};

std::string IniText(const FirmwareRunOptions& options) {
  std::string text = "[Config]\r\n";
  text += options.debugLog ? "RwDebug=1\r\n" : "RwDebug=0\r\n";
  text += options.searchSsdts ? "ACPIDecodeSSDTEx=1\r\n" : "ACPIDecodeSSDTEx=0\r\n";
  return text;
}

// VELMORA_FUZZ_VERBOSE=1 shows what the readers made of an input (for looking at one input, not
// for fuzzing).
bool Verbose() {
  static const bool verbose = std::getenv("VELMORA_FUZZ_VERBOSE") != nullptr;
  return verbose;
}

// Everything the rest of the program asks of the SMBIOS copy, and a little more.
void QuerySmbios(const TSmbiosBase& smbios) {
  if (smbios.Found == 1 && smbios.Table.size() != smbios.TableLength) {
    Fault("the SMBIOS copy differs in size from the entry point's table length");
  }
  std::size_t text = smbios.BoardName().size();
  if (Verbose()) {
    std::fprintf(stderr, "SMBIOS: entry point %08X, table %u bytes, board name \"%s\"\n",
                 smbios.EntryPointAddress, smbios.TableLength, smbios.BoardName().c_str());
  }
  for (std::uint8_t type = 0; type <= 4; ++type) {
    for (std::uint32_t occurrence = 0; occurrence < 3; ++occurrence) {
      const std::uint8_t* structure = smbios.FindStructure(type, occurrence);
      if (structure == nullptr) break;
      if (smbios.StructureSize(structure) >
          static_cast<std::size_t>(smbios.Table.data() + smbios.Table.size() - structure)) {
        Fault("an SMBIOS structure reaches past the copied table");
      }
      for (std::uint8_t number = 0; number < 6; ++number) {
        text += smbios.GetString(structure, number).size();
      }
      text += smbios.GetString(structure, 0xFF).size();
    }
  }
  if (text > (std::size_t{1} << 30)) Fault("impossible amount of SMBIOS text");
}

void QueryAcpi(TAcpiBase& acpi) {
  if (acpi.Tables.size() > kMaxAcpiTables) Fault("the ACPI list outgrew its bound");
  if (acpi.Found == 0 && !acpi.Tables.empty()) Fault("ACPI tables listed without a pointer");
  const bool qvzx = acpi.FindTable("QVZX");
  acpi.FindTable("DSDT");
  if (Verbose()) {
    std::fprintf(stderr, "ACPI: pointer %s, %zu table(s), QVZX %s\n",
                 acpi.Found ? "found" : "not found", acpi.Tables.size(), qvzx ? "found" : "absent");
  }
  if (acpi.CurrentEntry() == nullptr && !acpi.Tables.empty()) Fault("Current left the list");
}

}  // namespace

FirmwareRunResult RunFirmwareReaders(sim::SimBoard& board, const FirmwareRunOptions& options) {
  BudgetedIo io(options.mapBudget);
  FirmwareRunResult result;
  {
    sim::SimStartup startup(board, options.windows98 ? sim::Windows98() : sim::Windows7X86(),
                            IniText(options), &io);
    io.Bind(startup.world.io);
    startup.Configure();
    TReadWrite& driver = startup.ConnectDriver();
    if (driver.DeviceHandle() == kInvalidHandleValue) Fault("the driver did not open");
    {
      const TSmbiosBase smbios(driver, startup.codePage);
      QuerySmbios(smbios);
    }
    {
      TAcpiBase acpi(driver, startup.Config());
      QueryAcpi(acpi);
    }
    if (startup.world.process.LiveViewCount() != 0) Fault("a memory mapping outlived its read");
  }
  result.mapsRequested = io.Maps();
  result.budgetExhausted = io.Maps() > options.mapBudget;
  if (Verbose()) {
    std::fprintf(stderr, "%u map request(s)%s\n", io.Maps(),
                 result.budgetExhausted ? ", budget exhausted" : "");
  }
  return result;
}

}  // namespace velmora::fuzz
