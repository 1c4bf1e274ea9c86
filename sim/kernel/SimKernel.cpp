#include "sim/kernel/SimKernel.h"

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
      process_.MapView(rounded, physical - rounded + length, kUserViews);
  if (!base) return kStatusNoMemory;
  view->base = *base;
  view->roundedOffset = rounded;
  return driver_protocol::kStatusSuccess;
}

std::uint32_t SimKernel::UnmapFromProcess(driver::KernelAddress addressInView) {
  NoteMemoryCall();
  if (addressInView > 0xFFFFFFFFu) return kStatusNotMappedView;
  return process_.UnmapViewContaining(static_cast<ProcessAddress>(addressInView))
             ? driver_protocol::kStatusSuccess
             : kStatusNotMappedView;
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
