#include "sim/kernel/SimKernel.h"

#include <algorithm>

#include "hw/DriverProtocol.h"

namespace velmora::sim {

namespace {

constexpr std::uint64_t kPageMask = kPageSize - 1;

}  // namespace

// MmMapIoSpace maps whole pages and answers the address of the requested byte in them.
driver::KernelAddress SimKernel::MapPhysical(std::uint64_t physical, std::uint32_t size,
                                             driver::Caching caching, driver::Access access) {
  NoteMemoryCall();
  if (size == 0 || MapFails(physical, size)) return 0;
  const std::uint64_t last = physical + (size - 1);
  if (TouchesRam(physical, last)) ++ramMappings_;
  mappings_.push_back({physical, size, caching, access});
  const std::uint64_t page = physical & ~kPageMask;
  const std::optional<ProcessAddress> base =
      system_.MapView(page, ((last | kPageMask) + 1) - page, kSystemPages);
  if (!base) return 0;
  const driver::KernelAddress address = *base + (physical - page);
  live_[address] = LiveMapping{physical, size, access};
  return address;
}

void SimKernel::UnmapPhysical(driver::KernelAddress address, std::uint32_t size) {
  NoteMemoryCall();
  const auto found = live_.find(address);
  if (found == live_.end() || found->second.size != size) {
    ++misuses_;
    return;
  }
  system_.UnmapViewContaining(static_cast<ProcessAddress>(address));
  live_.erase(found);
}

// The mapping that holds [address, address + size); a read or write anywhere else is a bug check
// on a real kernel, here SimAccessViolation from the system address space.
const SimKernel::LiveMapping* SimKernel::Holding(driver::KernelAddress address,
                                                 std::uint32_t size) const {
  for (const auto& [start, mapping] : live_) {
    if (address >= start && address + size <= start + mapping.size) return &mapping;
  }
  return nullptr;
}

void SimKernel::ReadMapped(driver::KernelAddress address, std::uint8_t* destination,
                           std::uint32_t size) {
  if (Holding(address, size) == nullptr) ++misuses_;
  system_.Read(static_cast<ProcessAddress>(address), destination, size);
}

void SimKernel::WriteMappedByte(driver::KernelAddress address, std::uint8_t value) {
  const LiveMapping* mapping = Holding(address, 1);
  if (mapping == nullptr || mapping->access != driver::Access::kReadWrite) ++misuses_;
  for (const auto& [start, live] : live_) {
    if (address >= start && address < start + live.size) {
      writes_.push_back({live.physical + (address - start), value});
    }
  }
  system_.Write(static_cast<ProcessAddress>(address), &value, 1);
}

std::uint32_t SimKernel::PhysicalMemoryRanges(driver::MemoryRange* ranges,
                                              std::uint32_t capacity) {
  if (failRamQueries_) return 0;
  const std::vector<MemoryRegion>& ram = machine_.MemoryMap().ManagedRam();
  for (std::size_t i = 0; i < ram.size() && i < capacity; ++i) {
    ranges[i] = driver::MemoryRange{ram[i].base, ram[i].length};
  }
  return static_cast<std::uint32_t>(ram.size());
}

bool SimKernel::TouchesRam(std::uint64_t first, std::uint64_t last) const {
  first &= ~kPageMask;
  last |= kPageMask;
  for (const MemoryRegion& ram : machine_.MemoryMap().ManagedRam()) {
    if (ram.base <= last && first <= ram.base + (ram.length - 1)) return true;
  }
  return false;
}

// As the HAL reads it: configuration mechanism #1, one double word at a time. A slot where no
// function answers gives its vendor ID 0xFFFF and a count of 2, as HalGetBusDataByOffset
// reports a bus that exists without a device at the slot.
std::uint32_t SimKernel::ReadPciConfig(std::uint32_t bus, std::uint32_t device,
                                       std::uint32_t function, std::uint32_t offset,
                                       std::uint8_t* buffer, std::uint32_t length) {
  namespace dp = driver_protocol;
  ++pciReads_;
  const auto dword = [&](std::uint32_t reg) {
    machine_.PortOut(dp::kPciConfigAddressPort, 4, dp::PciConfigAddress(bus, device, function, reg));
    return machine_.PortIn(dp::kPciConfigDataPort, 4);
  };
  if ((dword(0) & 0xFFFF) == 0xFFFF) {
    for (std::uint32_t i = 0; i < length && i < 2; ++i) buffer[i] = 0xFF;
    return 2;
  }
  for (std::uint32_t i = 0; i < length; ++i) {
    buffer[i] = static_cast<std::uint8_t>(dword((offset + i) & ~3u) >> (8 * ((offset + i) & 3)));
  }
  return length;
}

// ZwQuerySystemInformation(SystemFirmwareTableInformation): the table when the system has the
// provider and the table fits the caller's room.
std::uint32_t SimKernel::FirmwareTable(std::uint32_t provider, std::uint32_t tableId,
                                       std::uint8_t* buffer, std::uint32_t capacity) {
  if (noProvider_) return 0;
  const std::optional<std::vector<std::uint8_t>> table = machine_.FirmwareTable(provider, tableId);
  if (!table || table->empty() || table->size() > capacity) return 0;
  std::copy(table->begin(), table->end(), buffer);
  return static_cast<std::uint32_t>(table->size());
}

// ExAcquireFastMutex raises to APC level; the release lowers back.
void SimKernel::AcquireLock() {
  if (lockDepth_ != 0) ++misuses_;
  ++lockDepth_;
  ++acquisitions_;
  irql_ = kApcLevel;
}

void SimKernel::ReleaseLock() {
  if (lockDepth_ == 0) {
    ++misuses_;
    return;
  }
  if (--lockDepth_ == 0) irql_ = kPassiveLevel;
}

void SimKernel::CompleteRequest(const driver::IoRequest& request, const driver::IoResult& result) {
  completions_.push_back({request.kind, request.controlCode, result, lockDepth_});
}

void SimKernel::FailMapsOf(std::uint64_t physical, std::uint64_t length) {
  failingMaps_.push_back({physical, length});
}

bool SimKernel::MapFails(std::uint64_t physical, std::uint64_t length) const {
  for (const Range& range : failingMaps_) {
    if (physical < range.start + range.length && range.start < physical + length) return true;
  }
  return false;
}

void SimKernel::NoteMemoryCall() {
  if (lockDepth_ == 0) ++misuses_;
}

}  // namespace velmora::sim
