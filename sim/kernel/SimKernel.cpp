#include "sim/kernel/SimKernel.h"

#include <algorithm>

#include "hw/DriverProtocol.h"

namespace velmora::sim {

std::uint32_t SimKernel::MapPhysicalIntoProcess(std::uint64_t physical, std::uint32_t length,
                                                driver::MappedView* view) {
  NoteMemoryCall();
  ++mapCalls_;
  if (MapFails(physical, length)) return kStatusConflictingAddresses;
  // The view starts at the offset rounded down to the allocation granularity and is as long
  // as needed to reach the end of the requested range.
  const std::uint64_t rounded = physical & ~std::uint64_t{kAllocationGranularity - 1};
  const std::optional<ProcessAddress> base =
      process_->MapView(rounded, physical - rounded + length, kUserViews);
  if (!base) return kStatusNoMemory;
  if (ReachesRam(rounded, (physical + length - 1) | (kPageSize - 1))) ++ramViews_;
  view->base = *base;
  view->roundedOffset = rounded;
  return driver_protocol::kStatusSuccess;
}

// KeStackAttachProcess to a process the caller holds no reference on may touch a freed
// EPROCESS: counted as misuse, and nothing is unmapped.
std::uint32_t SimKernel::UnmapFromProcess(driver::Process process,
                                          driver::KernelAddress addressInView) {
  NoteMemoryCall();
  const auto* target = static_cast<const SimAddressSpace*>(process);
  if (target != process_ && references_[process] <= 0) {
    ++misuses_;
    return kStatusNotMappedView;
  }
  if (target != process_) ++attachedUnmaps_;
  if (addressInView > 0xFFFFFFFFu) return kStatusNotMappedView;
  return const_cast<SimAddressSpace*>(target)->UnmapViewContaining(
             static_cast<ProcessAddress>(addressInView))
             ? driver_protocol::kStatusSuccess
             : kStatusNotMappedView;
}

void SimKernel::ReferenceProcess(driver::Process process) {
  if (known_.count(static_cast<const SimAddressSpace*>(process)) == 0) ++misuses_;
  ++references_[process];
}

void SimKernel::ReleaseProcess(driver::Process process) {
  if (references_[process] <= 0) {
    ++misuses_;
    return;
  }
  --references_[process];
}

int SimKernel::ProcessReferences() const {
  int total = 0;
  for (const auto& [process, count] : references_) total += count;
  return total;
}

void SimKernel::SwitchToProcess(SimAddressSpace& process) {
  process_ = &process;
  known_.insert(process_);
}

std::uint32_t SimKernel::PhysicalMemoryRanges(driver::MemoryRange* ranges, std::uint32_t capacity) {
  if (failRamQueries_) return 0;
  const std::vector<MemoryRegion>& ram = machine_.MemoryMap().ManagedRam();
  for (std::size_t i = 0; i < ram.size() && i < capacity; ++i) {
    ranges[i] = driver::MemoryRange{ram[i].base, ram[i].length};
  }
  return static_cast<std::uint32_t>(ram.size());
}

bool SimKernel::ReachesRam(std::uint64_t first, std::uint64_t last) const {
  constexpr std::uint64_t kOneMiB = 0x100000;
  if (last < kOneMiB) return false;
  first = std::max(first, kOneMiB);
  for (const MemoryRegion& ram : machine_.MemoryMap().ManagedRam()) {
    if (ram.base <= last && first <= ram.base + (ram.length - 1)) return true;
  }
  return false;
}

std::uint32_t SimKernel::PortIn(std::uint16_t port, driver::PortWidth width) {
  const auto bytes = static_cast<unsigned>(width);
  const std::uint32_t value = machine_.PortIn(port, bytes);
  ports_.push_back({port, bytes, false, value, lockDepth_, irql_});
  return value;
}

void SimKernel::PortOut(std::uint16_t port, driver::PortWidth width, std::uint32_t value) {
  const auto bytes = static_cast<unsigned>(width);
  ports_.push_back({port, bytes, true, value, lockDepth_, irql_});
  machine_.PortOut(port, bytes, value);
}

// ExAcquireFastMutex raises to APC level; the release lowers back.
void SimKernel::AcquireLock() {
  if (lockDepth_ != 0) ++misuses_;
  if (lockDepth_ == 0) irqlBeforeLock_ = irql_;
  ++lockDepth_;
  ++acquisitions_;
  if (irql_ < kApcLevel) irql_ = kApcLevel;
}

void SimKernel::ReleaseLock() {
  if (lockDepth_ == 0) {
    ++misuses_;
    return;
  }
  --lockDepth_;
  // Releasing a fast mutex above APC level is a bug check on a real kernel.
  if (irql_ != kApcLevel) ++misuses_;
  if (lockDepth_ == 0) irql_ = irqlBeforeLock_;
}

void SimKernel::StallMicroseconds(std::uint32_t microseconds) {
  ++stallCount_;
  stalledMicroseconds_ += microseconds;
  clock_.AdvanceMicroseconds(microseconds);
}

// KeRaiseIrql to a lower level, or KeLowerIrql to a higher one, is a bug check; counted here.
std::uint8_t SimKernel::RaiseIrqlToDispatch() {
  const std::uint8_t previous = irql_;
  if (previous > kDispatchLevel) ++misuses_;
  irqlChanges_.push_back({previous, kDispatchLevel});
  irql_ = kDispatchLevel;
  return previous;
}

void SimKernel::LowerIrql(std::uint8_t previous) {
  if (previous > irql_) ++misuses_;
  irqlChanges_.push_back({irql_, previous});
  irql_ = previous;
}

// Pages from a pool of physical memory nothing else uses, mapped into system space.
driver::KernelAddress SimKernel::AllocateContiguous(std::uint32_t size, std::uint64_t* physical) {
  if (failContiguous_ || size == 0) return 0;
  const std::uint64_t pages = (size + kPageSize - 1) / kPageSize * kPageSize;
  const std::optional<ProcessAddress> base = system_.MapView(nextContiguous_, pages, kSystemPages);
  if (!base) return 0;
  *physical = nextContiguous_;
  allocations_[*base] = Allocation{nextContiguous_, size};
  allocationsMade_.push_back(Allocation{nextContiguous_, size});
  nextContiguous_ += pages;
  return *base;
}

void SimKernel::FreeContiguous(driver::KernelAddress address, std::uint32_t size) {
  const auto found = allocations_.find(address);
  if (found == allocations_.end() || found->second.size != size) {
    ++misuses_;
    return;
  }
  system_.UnmapViewContaining(static_cast<ProcessAddress>(address));
  allocations_.erase(found);
}

driver::KernelAddress SimKernel::MapIoSpace(std::uint64_t physical, std::uint32_t size) {
  const std::uint64_t page = physical & ~std::uint64_t{kPageSize - 1};
  const std::optional<ProcessAddress> base =
      system_.MapView(page, physical - page + size, kSystemPages);
  if (!base) return 0;
  ++ioMappings_;
  return *base + (physical - page);
}

void SimKernel::UnmapIoSpace(driver::KernelAddress address, std::uint32_t) {
  if (ioMappings_ == 0 || !system_.UnmapViewContaining(static_cast<ProcessAddress>(address))) {
    ++misuses_;
    return;
  }
  --ioMappings_;
}

// An address outside every system-space mapping throws SimAccessViolation (a bug check).
std::uint32_t SimKernel::ReadRegister32(driver::KernelAddress address) {
  std::uint32_t value = 0;
  system_.Read(static_cast<ProcessAddress>(address), &value, 4);
  return value;
}

void SimKernel::WriteRegister32(driver::KernelAddress address, std::uint32_t value) {
  system_.Write(static_cast<ProcessAddress>(address), &value, 4);
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
  if (lockDepth_ == 0) ++unlockedMemoryCalls_;
}

}  // namespace velmora::sim
