// Real SMBIOS data from the file `dmidecode --dump-bin` writes: the entry point at offset 0, the
// structure table at offset 0x20, and the entry point's table address rewritten to 0x20. The
// loader puts the entry point on a free 16-byte boundary in 0xF0000-0xFFFFF, where firmware keeps
// it, and the table at a chosen address, then patches the table address and the checksums:
// - "_SM_" (SMBIOS 2.x, 31 bytes): address at 0x18, "_DMI_" checksum at 0x15 over 16..30,
//   entry checksum at 4 over the entry point length (byte 5);
// - "_SM3_" (SMBIOS 3.x, 24 bytes, 64-bit table address at 0x10, checksum at 5): placed as it
//   is; it has no "_SM_" anchor, so a reader that knows only the 2.x entry point finds nothing,
//   as on the real machine. Reported;
// - a bare "_DMI_" (legacy 15-byte entry point): placed, reported.
// Anything else is rejected and reported. A table shorter than its entry point declares is
// loaded as far as the dump holds it; the rest reads as unbacked memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/board/FirmwareBytes.h"
#include "sim/board/PhysicalLayout.h"
#include "sim/board/SimPhysicalMemory.h"

namespace velmora::sim {

inline constexpr std::size_t kSmbiosDumpMaxBytes = 16u << 20;

struct SmbiosDumpPlacement {
  bool loaded = false;
  std::string anchor;  // "_SM_", "_SM3_", "_DMI_" or empty when rejected
  std::uint64_t entryAddress = 0;
  std::uint64_t tableAddress = 0;
  std::uint32_t tableLength = 0;  // as the entry point declares it
  std::vector<std::string> warnings;
};

SmbiosDumpPlacement PlaceDmidecodeDump(const Bytes& dump, SimPhysicalMemory& memory,
                                       PhysicalLayout& layout,
                                       std::uint32_t tableAddress = 0xCFF60000);
SmbiosDumpPlacement LoadDmidecodeDumpFile(const std::string& path, SimPhysicalMemory& memory,
                                          PhysicalLayout& layout,
                                          std::uint32_t tableAddress = 0xCFF60000);

}  // namespace velmora::sim
