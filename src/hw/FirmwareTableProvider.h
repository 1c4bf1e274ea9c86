// The system's firmware table provider as a program reaches it: kernel32's
// GetSystemFirmwareTable, bound by name (Vista and later and XP x64 export it; 32-bit XP and the
// 9x family do not). It hands out the firmware tables Windows itself took at boot, also on UEFI
// firmware that leaves no copy of its entry points in the BIOS area.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ports/SystemInfoPort.h"

namespace velmora {

// An ACPI table's identifier: its signature read as a little-endian number ("RSDT" is 'TDSR').
constexpr std::uint32_t AcpiTableId(const char (&signature)[5]) {
  std::uint32_t id = 0;
  for (int i = 3; i >= 0; --i) id = (id << 8) | static_cast<std::uint8_t>(signature[i]);
  return id;
}

class TFirmwareTableProvider {
 public:
  explicit TFirmwareTableProvider(ISystemInfo& system);

  bool Exists() const { return function_ != 0; }
  // The whole table: asked for its size first, then copied. Nothing when the function is
  // missing, the provider holds no such table, or its answers do not agree.
  std::optional<std::vector<std::uint8_t>> Table(std::uint32_t provider, std::uint32_t tableId);

 private:
  ISystemInfo& system_;
  ProcAddress function_ = 0;
};

}  // namespace velmora
