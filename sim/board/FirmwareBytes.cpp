#include "sim/board/FirmwareBytes.h"

namespace velmora::sim {

std::uint8_t ByteSum(const std::uint8_t* data, std::size_t size) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < size; ++i) sum = static_cast<std::uint8_t>(sum + data[i]);
  return sum;
}

void SetChecksum(Bytes& bytes, std::size_t begin, std::size_t size, std::size_t checksumOffset) {
  if (begin + size > bytes.size() || checksumOffset >= bytes.size()) return;
  bytes[checksumOffset] = 0;
  bytes[checksumOffset] = static_cast<std::uint8_t>(0x100 - ByteSum(bytes.data() + begin, size));
}

void Put8(Bytes& bytes, std::size_t offset, std::uint8_t value) {
  if (bytes.size() < offset + 1) bytes.resize(offset + 1, 0);
  bytes[offset] = value;
}

void Put16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
  Put8(bytes, offset, static_cast<std::uint8_t>(value));
  Put8(bytes, offset + 1, static_cast<std::uint8_t>(value >> 8));
}

void Put32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  Put16(bytes, offset, static_cast<std::uint16_t>(value));
  Put16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

void Put64(Bytes& bytes, std::size_t offset, std::uint64_t value) {
  Put32(bytes, offset, static_cast<std::uint32_t>(value));
  Put32(bytes, offset + 4, static_cast<std::uint32_t>(value >> 32));
}

void PutText(Bytes& bytes, std::size_t offset, std::string_view text, std::size_t width,
             char padding) {
  for (std::size_t i = 0; i < width; ++i) {
    Put8(bytes, offset + i, static_cast<std::uint8_t>(i < text.size() ? text[i] : padding));
  }
}

std::uint16_t Get16(const Bytes& bytes, std::size_t offset) {
  auto at = [&](std::size_t i) -> std::uint16_t {
    return offset + i < bytes.size() ? bytes[offset + i] : 0;
  };
  return static_cast<std::uint16_t>(at(0) | (at(1) << 8));
}

std::uint32_t Get32(const Bytes& bytes, std::size_t offset) {
  return Get16(bytes, offset) | (static_cast<std::uint32_t>(Get16(bytes, offset + 2)) << 16);
}

std::uint64_t Get64(const Bytes& bytes, std::size_t offset) {
  return Get32(bytes, offset) | (static_cast<std::uint64_t>(Get32(bytes, offset + 4)) << 32);
}

}  // namespace velmora::sim
