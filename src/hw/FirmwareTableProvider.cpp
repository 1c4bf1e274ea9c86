#include "hw/FirmwareTableProvider.h"

namespace velmora {
namespace {

// Far beyond any firmware table (an SMBIOS table, a DSDT); a larger size is taken as no table.
constexpr std::uint32_t kMostTableBytes = 16u << 20;

}  // namespace

TFirmwareTableProvider::TFirmwareTableProvider(ISystemInfo& system)
    : system_(system),
      function_(system.GetProcAddress(system.GetModuleHandleA("kernel32.dll"),
                                      "GetSystemFirmwareTable")) {}

std::optional<std::vector<std::uint8_t>> TFirmwareTableProvider::Table(std::uint32_t provider,
                                                                       std::uint32_t tableId) {
  if (!Exists()) return std::nullopt;
  const std::uint32_t size =
      system_.GetSystemFirmwareTable(function_, provider, tableId, nullptr, 0);
  if (size == 0 || size > kMostTableBytes) return std::nullopt;
  std::vector<std::uint8_t> table(size);
  // A table that changed size between the two calls is not taken.
  if (system_.GetSystemFirmwareTable(function_, provider, tableId, table.data(), size) != size) {
    return std::nullopt;
  }
  return table;
}

}  // namespace velmora
