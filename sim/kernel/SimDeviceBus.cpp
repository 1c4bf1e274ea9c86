#include "sim/kernel/SimDeviceBus.h"

#include <algorithm>
#include <limits>

namespace velmora::sim {

void SimDeviceBus::AttachPorts(std::uint16_t first, std::uint16_t count, SimPortDevice& device) {
  ports_.push_back({first, count, &device});
}

void SimDeviceBus::AttachMemory(std::uint64_t base, std::uint64_t size, PhysicalWindow& window) {
  memory_.push_back({base, size, &window});
}

const SimDeviceBus::PortRange* SimDeviceBus::PortsAt(std::uint16_t port) const {
  for (const PortRange& range : ports_) {
    if (port >= range.first && port - range.first < range.count) return &range;
  }
  return nullptr;
}

const SimDeviceBus::MemoryRange* SimDeviceBus::MemoryAt(std::uint64_t address) const {
  for (const MemoryRange& range : memory_) {
    if (address >= range.base && address - range.base < range.size) return &range;
  }
  return nullptr;
}

std::uint64_t SimDeviceBus::RoomBeforeWindow(std::uint64_t address) const {
  // Up to the top of the address space, where an access wraps to 0 (and maybe into a window).
  std::uint64_t room = address == 0 ? std::numeric_limits<std::uint64_t>::max() : 0 - address;
  for (const MemoryRange& range : memory_) {
    if (range.base > address) room = std::min(room, range.base - address);
  }
  return room;
}

// An access straddling a device's edge is cut there, so that each side answers its own part.
template <typename Visit>
void SimDeviceBus::ForEachPiece(std::uint64_t address, std::size_t size, Visit visit) const {
  std::size_t done = 0;
  while (done < size) {
    const std::uint64_t at = address + done;
    const MemoryRange* range = MemoryAt(at);
    const std::uint64_t room =
        range != nullptr ? range->base + range->size - at : RoomBeforeWindow(at);
    const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, room));
    visit(range, at, done, piece);
    done += piece;
  }
}

void SimDeviceBus::ReadPhysical(std::uint64_t address, void* destination, std::size_t size) {
  auto* bytes = static_cast<std::uint8_t*>(destination);
  ForEachPiece(
      address, size,
      [&](const MemoryRange* range, std::uint64_t at, std::size_t done, std::size_t piece) {
        if (range == nullptr) {
          board_.ReadPhysical(at, bytes + done, piece);
        } else {
          range->window->Read(at - range->base, bytes + done, piece);
        }
      });
}

void SimDeviceBus::WritePhysical(std::uint64_t address, const void* source, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(source);
  ForEachPiece(
      address, size,
      [&](const MemoryRange* range, std::uint64_t at, std::size_t done, std::size_t piece) {
        if (range == nullptr) {
          board_.WritePhysical(at, bytes + done, piece);
        } else {
          range->window->Write(at - range->base, bytes + done, piece);
        }
      });
}

std::uint32_t SimDeviceBus::PortIn(std::uint16_t port, unsigned width) {
  const PortRange* range = PortsAt(port);
  if (range == nullptr) return board_.PortIn(port, width);
  return range->device->In(static_cast<std::uint16_t>(port - range->first), width);
}

void SimDeviceBus::PortOut(std::uint16_t port, unsigned width, std::uint32_t value) {
  const PortRange* range = PortsAt(port);
  if (range == nullptr) {
    board_.PortOut(port, width, value);
    return;
  }
  range->device->Out(static_cast<std::uint16_t>(port - range->first), width, value);
}

}  // namespace velmora::sim
