#include "sim/board/SimPhysicalMemory.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace velmora::sim {

const SimPhysicalMemory::MappedWindow* SimPhysicalMemory::WindowAt(std::uint64_t address,
                                                                   std::uint64_t& base) const {
  auto next = windows_.upper_bound(address);
  if (next == windows_.begin()) return nullptr;
  const auto found = std::prev(next);
  if (address - found->first > found->second.size - 1) return nullptr;
  base = found->first;
  return &found->second;
}

std::size_t SimPhysicalMemory::ChunkSize(std::uint64_t address, std::size_t size) const {
  std::uint64_t limit = kPageSize - (address % kPageSize);  // to the end of the page
  std::uint64_t base = 0;
  if (const MappedWindow* window = WindowAt(address, base)) {
    limit = window->size - (address - base);  // to the end of the window (may exceed a page)
  } else {
    const auto next = windows_.upper_bound(address);
    if (next != windows_.end()) limit = std::min(limit, next->first - address);
  }
  return static_cast<std::size_t>(std::min<std::uint64_t>(limit, size));
}

void SimPhysicalMemory::ReadChunk(std::uint64_t address, std::uint8_t* destination,
                                  std::size_t size) const {
  std::uint64_t base = 0;
  if (const MappedWindow* window = WindowAt(address, base)) {
    window->device->Read(address - base, destination, size);
    return;
  }
  const auto page = pages_.find(address / kPageSize);
  if (page == pages_.end()) {
    std::fill_n(destination, size, std::uint8_t{0xFF});
    return;
  }
  std::copy_n(page->second.begin() + static_cast<std::ptrdiff_t>(address % kPageSize), size,
              destination);
}

void SimPhysicalMemory::WriteChunk(std::uint64_t address, const std::uint8_t* source,
                                   std::size_t size) {
  std::uint64_t base = 0;
  if (const MappedWindow* window = WindowAt(address, base)) {
    window->device->Write(address - base, source, size);
    return;
  }
  Page& page = pages_[address / kPageSize];
  if (page.empty()) page.assign(kPageSize, 0xFF);  // a fresh page keeps the unwritten bytes 0xFF
  std::copy_n(source, size, page.begin() + static_cast<std::ptrdiff_t>(address % kPageSize));
}

void SimPhysicalMemory::Read(std::uint64_t address, void* destination, std::size_t size) const {
  auto* out = static_cast<std::uint8_t*>(destination);
  while (size > 0) {
    const std::size_t chunk = ChunkSize(address, size);
    ReadChunk(address, out, chunk);
    out += chunk;
    size -= chunk;
    address += chunk;  // wraps at the top of the address space
  }
}

void SimPhysicalMemory::Write(std::uint64_t address, const void* source, std::size_t size) {
  const auto* in = static_cast<const std::uint8_t*>(source);
  while (size > 0) {
    const std::size_t chunk = ChunkSize(address, size);
    WriteChunk(address, in, chunk);
    in += chunk;
    size -= chunk;
    address += chunk;
  }
}

void SimPhysicalMemory::Load(std::uint64_t address, const std::vector<std::uint8_t>& bytes) {
  Write(address, bytes.data(), bytes.size());
}

bool SimPhysicalMemory::LoadFile(std::uint64_t address, const std::string& path,
                                 std::size_t maxBytes) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return false;
  const std::streamoff size = file.tellg();
  if (size < 0 || static_cast<std::uint64_t>(size) > maxBytes) return false;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(bytes.data()), size)) return false;
  Load(address, bytes);
  return true;
}

std::uint8_t SimPhysicalMemory::Read8(std::uint64_t address) const {
  std::uint8_t value = 0;
  Read(address, &value, 1);
  return value;
}

std::uint16_t SimPhysicalMemory::Read16(std::uint64_t address) const {
  std::uint8_t b[2];
  Read(address, b, 2);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t SimPhysicalMemory::Read32(std::uint64_t address) const {
  std::uint8_t b[4];
  Read(address, b, 4);
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

void SimPhysicalMemory::Write8(std::uint64_t address, std::uint8_t value) {
  Write(address, &value, 1);
}

void SimPhysicalMemory::Write32(std::uint64_t address, std::uint32_t value) {
  const std::uint8_t b[4] = {
      static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
      static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  Write(address, b, 4);
}

std::vector<std::uint8_t> SimPhysicalMemory::ReadBytes(std::uint64_t address,
                                                       std::size_t size) const {
  std::vector<std::uint8_t> bytes(size);
  Read(address, bytes.data(), size);
  return bytes;
}

bool SimPhysicalMemory::MapWindow(std::uint64_t base, std::uint64_t size,
                                  std::shared_ptr<PhysicalWindow> window) {
  if (size == 0 || !window || base + (size - 1) < base) return false;
  const std::uint64_t last = base + (size - 1);
  for (const auto& [otherBase, other] : windows_) {
    const std::uint64_t otherLast = otherBase + (other.size - 1);
    if (base <= otherLast && otherBase <= last) return false;
  }
  windows_[base] = MappedWindow{size, std::move(window)};
  return true;
}

bool SimPhysicalMemory::IsBacked(std::uint64_t address) const {
  std::uint64_t base = 0;
  return WindowAt(address, base) != nullptr || pages_.count(address / kPageSize) != 0;
}

}  // namespace velmora::sim
