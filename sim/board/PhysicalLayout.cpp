#include "sim/board/PhysicalLayout.h"

#include <limits>

namespace velmora::sim {
namespace {

constexpr std::uint64_t kTop = std::numeric_limits<std::uint64_t>::max();

// The last byte of a range, saturated at the top of the address space.
std::uint64_t LastByte(std::uint64_t address, std::uint64_t size) {
  return size - 1 > kTop - address ? kTop : address + (size - 1);
}

}  // namespace

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
  if (alignment <= 1) return value;
  const std::uint64_t mask = alignment - 1;
  return value > kTop - mask ? kTop & ~mask : (value + mask) & ~mask;
}

void PhysicalLayout::Reserve(std::uint64_t address, std::uint64_t size, std::string what) {
  if (size == 0) return;
  if (size - 1 > kTop - address) size = kTop - address + 1;
  ranges_.push_back(PhysicalRange{address, size, std::move(what)});
}

const PhysicalRange* PhysicalLayout::Overlap(std::uint64_t address, std::uint64_t size) const {
  if (size == 0) return nullptr;
  const std::uint64_t last = LastByte(address, size);
  for (const PhysicalRange& range : ranges_) {
    if (address <= LastByte(range.address, range.size) && range.address <= last) return &range;
  }
  return nullptr;
}

std::optional<std::uint64_t> PhysicalLayout::FindFree(std::uint64_t from, std::uint64_t limit,
                                                      std::uint64_t size,
                                                      std::uint64_t alignment) const {
  if (size == 0) size = 1;
  std::uint64_t candidate = AlignUp(from, alignment);
  // Each step moves past one reserved range, so the loop ends after at most ranges_.size() + 1.
  for (std::size_t step = 0; step <= ranges_.size(); ++step) {
    if (candidate < from || candidate > limit || limit - candidate < size) return std::nullopt;
    const PhysicalRange* blocking = Overlap(candidate, size);
    if (blocking == nullptr) return candidate;
    const std::uint64_t after = LastByte(blocking->address, blocking->size);
    if (after == kTop) return std::nullopt;
    candidate = AlignUp(after + 1, alignment);
  }
  return std::nullopt;
}

}  // namespace velmora::sim
