// The kernel services of the real NT kernel, for the portable request handler: each one a call
// into the C glue. The objects live in static storage and are built by VmStartHandler at load
// time: a kernel driver has no C runtime to run static constructors.
#include <new>

#include "driver/KernelServices.h"
#include "driver/RequestHandler.h"
#include "driver/nt/NtBridge.h"

namespace velmora::driver {
namespace {

class NtKernelServices final : public KernelServices {
 public:
  KernelAddress MapPhysical(uint64_t physical, uint32_t size, Caching caching,
                            Access access) override {
    return reinterpret_cast<uintptr_t>(VmNtMapPhysical(
        physical, size, caching == Caching::kCached ? 1 : 0, access == Access::kReadWrite ? 1 : 0));
  }
  void UnmapPhysical(KernelAddress address, uint32_t size) override {
    VmNtUnmapPhysical(Pointer(address), size);
  }
  void ReadMapped(KernelAddress address, uint8_t* destination, uint32_t size) override {
    VmNtReadMapped(Pointer(address), destination, size);
  }
  void WriteMappedByte(KernelAddress address, uint8_t value) override {
    VmNtWriteMappedByte(Pointer(address), value);
  }
  // Copied through static storage (requests are served one at a time, under the lock) rather
  // than a kilobyte of the kernel stack.
  uint32_t PhysicalMemoryRanges(MemoryRange* ranges, uint32_t capacity) override {
    static VmMemoryRange found[PhysicalMemory::kRamRangeCapacity];
    if (capacity > PhysicalMemory::kRamRangeCapacity) capacity = PhysicalMemory::kRamRangeCapacity;
    const uint32_t count = VmNtRamRanges(found, capacity);
    for (uint32_t i = 0; i < count && i < capacity; ++i) {
      ranges[i].base = found[i].base;
      ranges[i].length = found[i].length;
    }
    return count;
  }
  uint32_t ReadPciConfig(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset,
                         uint8_t* buffer, uint32_t length) override {
    return VmNtReadPciConfig(bus, device, function, offset, buffer, length);
  }
  uint32_t FirmwareTable(uint32_t provider, uint32_t tableId, uint8_t* buffer,
                         uint32_t capacity) override {
    return VmNtFirmwareTable(provider, tableId, buffer, capacity);
  }
  void AcquireLock() override { VmNtAcquire(); }
  void ReleaseLock() override { VmNtRelease(); }
  void CompleteRequest(const IoRequest& request, const IoResult& result) override {
    VmNtComplete(request.packet, result.status, result.information);
  }

 private:
  static void* Pointer(KernelAddress address) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(address));
  }
};

alignas(NtKernelServices) unsigned char servicesStorage[sizeof(NtKernelServices)];
alignas(RequestHandler) unsigned char handlerStorage[sizeof(RequestHandler)];
RequestHandler* handler = nullptr;

IoRequest::Kind KindOf(int kind) {
  switch (kind) {
    case kVmCreate:
      return IoRequest::Kind::kCreate;
    case kVmCleanup:
      return IoRequest::Kind::kCleanup;
    case kVmClose:
      return IoRequest::Kind::kClose;
    case kVmDeviceControl:
      return IoRequest::Kind::kDeviceControl;
    default:
      return IoRequest::Kind::kOther;
  }
}

}  // namespace
}  // namespace velmora::driver

using velmora::driver::IoRequest;

extern "C" void VmStartHandler(void) {
  using namespace velmora::driver;
  auto* services = new (servicesStorage) NtKernelServices();
  handler = new (handlerStorage) RequestHandler(*services);
}

extern "C" uint32_t VmHandleRequest(const VmRequest* request) {
  IoRequest io;
  io.kind = velmora::driver::KindOf(request->kind);
  io.fileObject = request->fileObject;
  io.fileContext = request->fileContext;
  io.controlCode = request->controlCode;
  io.systemBuffer = request->systemBuffer;
  io.inputLength = request->inputLength;
  io.outputLength = request->outputLength;
  io.packet = request->irp;
  return velmora::driver::handler->Dispatch(io).status;
}

// The abstract base's vtable names this: every virtual function is overridden, so a call here
// means a corrupt object or vtable. Stop the system with a report (the caller's address in the
// last parameter) rather than spin, possibly at DISPATCH_LEVEL, with a hung processor.
extern "C" void __cxa_pure_virtual(void) {
  VmNtBugCheck(VM_BUG_CHECK_SECURITY_FAILURE, VM_BUG_CHECK_BAD_VTABLE,
               reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}
