// Which physical ranges the board's firmware image already occupies, so that tables placed later
// (built ones, or dump tables without an address) never land on top of earlier ones.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::sim {

struct PhysicalRange {
  std::uint64_t address = 0;
  std::uint64_t size = 0;
  std::string what;
};

class PhysicalLayout {
 public:
  // Ranges of size 0 occupy nothing. A range running past the top of the address space is cut
  // there.
  void Reserve(std::uint64_t address, std::uint64_t size, std::string what);
  // The first reserved range that shares a byte with [address, address + size), or null.
  const PhysicalRange* Overlap(std::uint64_t address, std::uint64_t size) const;
  // The lowest address >= from, a multiple of alignment (a power of two), with
  // [address, address + size) free and ending at or below limit; nullopt when there is none.
  std::optional<std::uint64_t> FindFree(std::uint64_t from, std::uint64_t limit, std::uint64_t size,
                                        std::uint64_t alignment) const;
  const std::vector<PhysicalRange>& Ranges() const { return ranges_; }

 private:
  std::vector<PhysicalRange> ranges_;
};

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment);

}  // namespace velmora::sim
