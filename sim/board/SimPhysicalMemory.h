// The board's physical address space: sparse RAM in 4 KiB pages that come into being when they
// are first written or loaded, plus memory-mapped windows (such as the PCI Express enhanced
// configuration window) that answer accesses in their range instead of RAM. Addresses are 64-bit;
// an access that runs past the top of the address space wraps around to 0, as the bus does.
// Bytes nobody backs read as 0xFF, the value a real bus floats to when no device answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace velmora::sim {

// A device decoding a range of physical addresses. Offsets are relative to the window's base;
// an access never crosses the end of the window (the memory splits it).
class PhysicalWindow {
 public:
  virtual ~PhysicalWindow() = default;
  virtual void Read(std::uint64_t offset, std::uint8_t* destination, std::size_t size) = 0;
  virtual void Write(std::uint64_t offset, const std::uint8_t* source, std::size_t size) = 0;
};

class SimPhysicalMemory {
 public:
  static constexpr std::uint64_t kPageSize = 4096;

  void Read(std::uint64_t address, void* destination, std::size_t size) const;
  void Write(std::uint64_t address, const void* source, std::size_t size);
  void Load(std::uint64_t address, const std::vector<std::uint8_t>& bytes);
  // Loads a whole file at address; false (and nothing written) when it cannot be read or is
  // larger than maxBytes.
  bool LoadFile(std::uint64_t address, const std::string& path, std::size_t maxBytes = 64u << 20);

  // Little-endian helpers.
  std::uint8_t Read8(std::uint64_t address) const;
  std::uint16_t Read16(std::uint64_t address) const;
  std::uint32_t Read32(std::uint64_t address) const;
  void Write8(std::uint64_t address, std::uint8_t value);
  void Write32(std::uint64_t address, std::uint32_t value);
  std::vector<std::uint8_t> ReadBytes(std::uint64_t address, std::size_t size) const;

  // Windows take precedence over RAM in their range; a window must not overlap another one
  // (returns false and maps nothing then). size 0 is refused.
  bool MapWindow(std::uint64_t base, std::uint64_t size, std::shared_ptr<PhysicalWindow> window);
  bool IsBacked(std::uint64_t address) const;
  std::size_t BackedPageCount() const { return pages_.size(); }

 private:
  struct MappedWindow {
    std::uint64_t size = 0;  // the window covers [base, base + size - 1]
    std::shared_ptr<PhysicalWindow> device;
  };
  using Page = std::vector<std::uint8_t>;

  // The window containing address, and the bytes left in it from there; null when none.
  const MappedWindow* WindowAt(std::uint64_t address, std::uint64_t& base) const;
  // How many bytes from address belong to the same page and the same window-or-RAM region.
  std::size_t ChunkSize(std::uint64_t address, std::size_t size) const;
  void ReadChunk(std::uint64_t address, std::uint8_t* destination, std::size_t size) const;
  void WriteChunk(std::uint64_t address, const std::uint8_t* source, std::size_t size);

  std::map<std::uint64_t, Page> pages_;            // page number -> 4096 bytes
  std::map<std::uint64_t, MappedWindow> windows_;  // base -> window
};

}  // namespace velmora::sim
