// Views of physical memory in the calling process, through \Device\PhysicalMemory.
//
// Only memory Windows does not manage may be mapped: the firmware's tables (ACPI reclaim and NVS
// regions, the SMBIOS table, all reserved to the firmware in the memory map) and device memory
// (the PCI Express configuration window), which is everything the program reads. RAM the memory
// manager hands out holds other processes' pages and the kernel's own data; a view of it in a
// user process reads and writes all of that. The first MiB is the exception: the legacy BIOS
// area (the EBDA, the 0xE0000-0xFFFFF segment) is where the ACPI root pointer and the SMBIOS
// entry point are searched for, and what Windows keeps of it holds nothing of a process.
//
// ZwMapViewOfSection rounds the section offset down to the 64 KiB allocation granularity and
// the view's end up to a page, and the caller can reach every byte of the view, so the check
// covers that whole range, not only the bytes asked for.
#include "driver/RequestHandler.h"
#include "driver/RequestSupport.h"

namespace velmora::driver {

namespace {

constexpr uint32_t kMapRecord = sizeof(protocol::MapMemoryRequest);
constexpr uint64_t kViewGranularity = 0x10000;
constexpr uint64_t kPageMask = 0xFFF;
constexpr uint64_t kLegacyBiosEnd = 0x100000;

// What a cleaned-up file object's context holds: the handle is gone, the file object may still
// get requests from whoever references it, and none of them is served.
void* const kCleanedUpFile = reinterpret_cast<void*>(static_cast<uintptr_t>(1));

}  // namespace

bool RequestHandler::CleanedUp(const IoRequest& request) {
  return request.fileContext != nullptr && *request.fileContext == kCleanedUpFile;
}

// The last handle of a file object is going away, in the process that closed it (with a
// duplicated or inherited handle, not necessarily the one that mapped): each view it left
// mapped (a client that crashed between map and unmap) is unmapped in its own process.
IoResult RequestHandler::Cleanup(const IoRequest& request) {
  if (request.fileContext != nullptr) *request.fileContext = kCleanedUpFile;
  MappedViews::View view;
  while (views_.TakeAny(request.fileObject, &view)) {
    kernel_.UnmapFromProcess(view.process, view.base);
    kernel_.ReleaseProcess(view.process);
  }
  return Success(0);
}

bool RequestHandler::ReachesManagedRam(uint64_t first, uint64_t last) {
  if (last < kLegacyBiosEnd) return false;
  if (first < kLegacyBiosEnd) first = kLegacyBiosEnd;
  const uint32_t count = kernel_.PhysicalMemoryRanges(ram_, kRamRangeCapacity);
  if (count == 0 || count > kRamRangeCapacity) return true;
  for (uint32_t i = 0; i < count; ++i) {
    const MemoryRange& range = ram_[i];
    if (range.length == 0) continue;
    const uint64_t rangeLast =
        range.length - 1 > ~uint64_t{0} - range.base ? ~uint64_t{0} : range.base + range.length - 1;
    if (range.base <= last && first <= rangeLast) return true;
  }
  return false;
}

// The view starts at the physical address rounded down to the allocation granularity; the
// caller gets the address of the requested byte itself inside that view.
IoResult RequestHandler::MapPhysicalMemory(const IoRequest& request, uint32_t) {
  uint8_t* record = request.systemBuffer;
  const uint64_t physical =
      Field32(record, offsetof(protocol::MapMemoryRequest, physicalLow)) |
      (static_cast<uint64_t>(Field32(record, offsetof(protocol::MapMemoryRequest, physicalHigh)))
       << 32);
  const uint32_t length = Field32(record, offsetof(protocol::MapMemoryRequest, length));
  // A view size of 0 would ask for the whole rest of physical memory; a range that wraps
  // names no memory; anything longer than the cap is more than any client reads at once.
  if (length == 0 || length > protocol::kMaxMapLength)
    return Failure(protocol::kStatusInvalidParameter);
  const uint64_t last = physical + length - 1;
  if (last < physical) return Failure(protocol::kStatusInvalidParameter);
  // A view that belongs to no handle could never be unmapped by anyone.
  if (request.fileObject == nullptr) return Failure(protocol::kStatusInvalidParameter);
  if (ReachesManagedRam(physical & ~(kViewGranularity - 1), last | kPageMask)) {
    return Failure(protocol::kStatusAccessDenied);
  }

  MappedView view;
  if (!NtSuccess(kernel_.MapPhysicalIntoProcess(physical, length, &view))) {
    return Failure(protocol::kStatusInvalidParameter);
  }
  const Process process = kernel_.CurrentProcess();
  const uint64_t address = view.base + (physical - view.roundedOffset);
  // The answer field has 32 bits; a view it cannot name is of no use to the caller. A view
  // that cannot be recorded could never be unmapped by its handle.
  if (view.roundedOffset > physical || address > 0xFFFFFFFFu) {
    kernel_.UnmapFromProcess(process, view.base);
    return Failure(protocol::kStatusInvalidParameter);
  }
  if (!views_.Add(request.fileObject, process, view.base, address + length)) {
    kernel_.UnmapFromProcess(process, view.base);
    return Failure(protocol::kStatusInsufficientResources);
  }
  kernel_.ReferenceProcess(process);
  StoreU32(record + offsetof(protocol::MapMemoryRequest, processAddress),
           static_cast<uint32_t>(address));
  return Success(kMapRecord);
}

// Only a view this handle mapped in this process can be unmapped through it.
IoResult RequestHandler::UnmapPhysicalMemory(const IoRequest& request, uint32_t) {
  MappedViews::View view;
  if (!views_.TakeContaining(request.fileObject, kernel_.CurrentProcess(),
                             LoadU32(request.systemBuffer), &view)) {
    return Failure(protocol::kStatusNotMappedView);
  }
  const uint32_t status = kernel_.UnmapFromProcess(view.process, view.base);
  kernel_.ReleaseProcess(view.process);
  return IoResult{status, 0};
}

}  // namespace velmora::driver
