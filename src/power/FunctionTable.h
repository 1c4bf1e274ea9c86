// The maker's "QVZX" function table: a standard 36-byte ACPI header followed by packed entries
// of type (1 byte), length (1 byte, counting type and length) and data. The entry of type 3 and
// length 3 is the control entry; its one data byte is the control byte shared with the firmware.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace velmora {

inline constexpr char kFunctionTableSignature[5] = "QVZX";
inline constexpr std::uint32_t kFunctionTableHeaderLength = 36;
inline constexpr std::uint8_t kControlEntryType = 3;
inline constexpr std::uint8_t kControlEntryLength = 3;
inline constexpr std::uint32_t kControlByteOffset = 2;  // within the control entry

// Offset, within the table, of the last control entry. The walk covers the entries the table's
// own length field announces and stops early at an entry of length 0 or one that does not fit
// in the copy; a control entry met before that point still counts.
std::optional<std::uint32_t> FindControlEntry(const std::vector<std::uint8_t>& table);

}  // namespace velmora
