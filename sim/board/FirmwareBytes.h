// Little helpers for laying out firmware structures: byte vectors with little-endian fields,
// fixed-width text fields and the "all bytes add up to 0 modulo 256" checksum that ACPI and SMBIOS
// both use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace velmora::sim {

using Bytes = std::vector<std::uint8_t>;

std::uint8_t ByteSum(const std::uint8_t* data, std::size_t size);
// The byte that makes [begin, begin + size) add up to 0 when stored at checksumOffset.
void SetChecksum(Bytes& bytes, std::size_t begin, std::size_t size, std::size_t checksumOffset);

// Stores value at offset, growing the vector when it is too short.
void Put8(Bytes& bytes, std::size_t offset, std::uint8_t value);
void Put16(Bytes& bytes, std::size_t offset, std::uint16_t value);
void Put32(Bytes& bytes, std::size_t offset, std::uint32_t value);
void Put64(Bytes& bytes, std::size_t offset, std::uint64_t value);
// Copies text into a field of width bytes, padded with padding (blank or zero), cut when longer.
void PutText(Bytes& bytes, std::size_t offset, std::string_view text, std::size_t width,
             char padding = ' ');

// Reads return 0 for bytes past the end.
std::uint16_t Get16(const Bytes& bytes, std::size_t offset);
std::uint32_t Get32(const Bytes& bytes, std::size_t offset);
std::uint64_t Get64(const Bytes& bytes, std::size_t offset);

}  // namespace velmora::sim
