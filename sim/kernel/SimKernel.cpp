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
  ports_.push_back({port, bytes, false, value, lockDepth_});
  return value;
}

void SimKernel::PortOut(std::uint16_t port, driver::PortWidth width, std::uint32_t value) {
  const auto bytes = static_cast<unsigned>(width);
  ports_.push_back({port, bytes, true, value, lockDepth_});
  machine_.PortOut(port, bytes, value);
}

void SimKernel::AcquireLock() {
  if (lockDepth_ != 0) ++misuses_;
  ++lockDepth_;
  ++acquisitions_;
}

void SimKernel::ReleaseLock() {
  if (lockDepth_ == 0) {
    ++misuses_;
    return;
  }
  --lockDepth_;
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
