#include "sim/kernel/SimDeviceBus.h"

#include <algorithm>

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

// Byte by byte, so that an access straddling a device's edge reaches both sides correctly.
void SimDeviceBus::ReadPhysical(std::uint64_t address, void* destination, std::size_t size) {
  auto* bytes = static_cast<std::uint8_t*>(destination);
  std::size_t done = 0;
  while (done < size) {
    const std::uint64_t at = address + done;
    const MemoryRange* range = MemoryAt(at);
    if (range == nullptr) {
      board_.ReadPhysical(at, bytes + done, 1);
      ++done;
      continue;
    }
    const std::size_t piece = static_cast<std::size_t>(
        std::min<std::uint64_t>(size - done, range->base + range->size - at));
    range->window->Read(at - range->base, bytes + done, piece);
    done += piece;
  }
}

void SimDeviceBus::WritePhysical(std::uint64_t address, const void* source, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(source);
  std::size_t done = 0;
  while (done < size) {
    const std::uint64_t at = address + done;
    const MemoryRange* range = MemoryAt(at);
    if (range == nullptr) {
      board_.WritePhysical(at, bytes + done, 1);
      ++done;
      continue;
    }
    const std::size_t piece = static_cast<std::size_t>(
        std::min<std::uint64_t>(size - done, range->base + range->size - at));
    range->window->Write(at - range->base, bytes + done, piece);
    done += piece;
  }
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
