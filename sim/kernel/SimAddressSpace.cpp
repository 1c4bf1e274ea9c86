#include "sim/kernel/SimAddressSpace.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace velmora::sim {
namespace {

std::string ViolationText(ProcessAddress address, bool write) {
  char text[96];
  std::snprintf(text, sizeof text, "access violation %s 0x%08X (no view mapped there)",
                write ? "writing" : "reading", address);
  return text;
}

std::uint64_t RoundUp(std::uint64_t value, std::uint64_t unit) {
  return (value + unit - 1) / unit * unit;
}

}  // namespace

SimAccessViolation::SimAccessViolation(ProcessAddress address, bool write)
    : std::runtime_error(ViolationText(address, write)), address(address), write(write) {}

std::optional<ProcessAddress> SimAddressSpace::MapView(std::uint64_t physical, std::uint64_t size,
                                                       const ViewPlacement& placement) {
  const std::uint64_t viewSize = RoundUp(std::max<std::uint64_t>(size, 1), kPageSize);
  std::uint64_t candidate = placement.floor;
  for (const auto& [base, view] : views_) {
    if (base + view.size <= candidate) continue;
    if (candidate + viewSize <= base) break;
    candidate = RoundUp(base + view.size, placement.alignment);
  }
  if (candidate + viewSize > placement.ceiling) return std::nullopt;
  const auto base = static_cast<ProcessAddress>(candidate);
  views_[base] = View{base, viewSize, physical};
  ++viewsMapped_;
  return base;
}

bool SimAddressSpace::UnmapViewContaining(ProcessAddress address) {
  const View* view = Containing(address);
  if (view == nullptr) return false;
  views_.erase(view->base);
  return true;
}

const SimAddressSpace::View* SimAddressSpace::Containing(std::uint64_t address) const {
  auto after = views_.upper_bound(
      static_cast<ProcessAddress>(std::min<std::uint64_t>(address, 0xFFFFFFFFu)));
  if (after == views_.begin()) return nullptr;
  const View& view = std::prev(after)->second;
  return address < view.base + view.size ? &view : nullptr;
}

void SimAddressSpace::CheckMapped(ProcessAddress address, std::uint32_t size, bool write) const {
  std::uint64_t at = address;
  const std::uint64_t end = at + size;
  while (at < end) {
    const View* view = Containing(at);
    if (view == nullptr) throw SimAccessViolation(static_cast<ProcessAddress>(at), write);
    at = view->base + view->size;
  }
}

template <typename Transfer>
void SimAddressSpace::ForEachPiece(ProcessAddress address, std::uint32_t size, Transfer transfer) {
  std::uint64_t at = address;
  std::uint32_t done = 0;
  while (done < size) {
    const View* view = Containing(at);
    const std::uint64_t piece = std::min<std::uint64_t>(size - done, view->base + view->size - at);
    transfer(view->physical + (at - view->base), done, static_cast<std::uint32_t>(piece));
    at += piece;
    done += static_cast<std::uint32_t>(piece);
  }
}

void SimAddressSpace::Read(ProcessAddress address, void* destination, std::uint32_t size) {
  CheckMapped(address, size, false);
  auto* bytes = static_cast<std::uint8_t*>(destination);
  ForEachPiece(address, size, [&](std::uint64_t physical, std::uint32_t done, std::uint32_t n) {
    machine_.ReadPhysical(physical, bytes + done, n);
  });
}

void SimAddressSpace::Write(ProcessAddress address, const void* source, std::uint32_t size) {
  CheckMapped(address, size, true);
  const auto* bytes = static_cast<const std::uint8_t*>(source);
  ForEachPiece(address, size, [&](std::uint64_t physical, std::uint32_t done, std::uint32_t n) {
    machine_.WritePhysical(physical, bytes + done, n);
  });
}

}  // namespace velmora::sim
