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
  uint32_t MapPhysicalIntoProcess(uint64_t physical, uint32_t length, MappedView* view) override {
    return VmNtMapPhysical(physical, length, &view->base, &view->roundedOffset);
  }
  uint32_t UnmapFromProcess(Process process, KernelAddress addressInView) override {
    return VmNtUnmap(process, addressInView);
  }
  Process CurrentProcess() override { return VmNtCurrentProcess(); }
  void ReferenceProcess(Process process) override { VmNtReferenceProcess(process); }
  void ReleaseProcess(Process process) override { VmNtReleaseProcess(process); }
  // Copied through static storage (requests are served one at a time, under the lock) rather
  // than a kilobyte of the kernel stack.
  uint32_t PhysicalMemoryRanges(MemoryRange* ranges, uint32_t capacity) override {
    static VmMemoryRange found[RequestHandler::kRamRangeCapacity];
    if (capacity > RequestHandler::kRamRangeCapacity) capacity = RequestHandler::kRamRangeCapacity;
    const uint32_t count = VmNtRamRanges(found, capacity);
    for (uint32_t i = 0; i < count && i < capacity; ++i) {
      ranges[i].base = found[i].base;
      ranges[i].length = found[i].length;
    }
    return count;
  }
  uint32_t PortIn(uint16_t port, PortWidth width) override {
    return VmNtPortIn(port, static_cast<uint32_t>(width));
  }
  void PortOut(uint16_t port, PortWidth width, uint32_t value) override {
    VmNtPortOut(port, static_cast<uint32_t>(width), value);
  }
  uint64_t ReadMsr(uint32_t msr) override { return VmNtReadMsr(msr); }
  void WriteMsr(uint32_t msr, uint64_t value) override { VmNtWriteMsr(msr, value); }
  uint64_t ReadTsc() override { return VmNtReadTsc(); }
  uint64_t ReadPmc(uint32_t counter) override { return VmNtReadPmc(counter); }
  bool ReadControlRegister(uint32_t number, uint64_t* value) override {
    return VmNtReadCr(number, value) != 0;
  }
  void CpuId(uint32_t leaf, uint32_t registers[4]) override { VmNtCpuid(leaf, registers); }
  void StallMicroseconds(uint32_t microseconds) override { VmNtStall(microseconds); }
  uint8_t RaiseIrqlToDispatch() override { return VmNtRaiseToDispatch(); }
  void LowerIrql(uint8_t previous) override { VmNtLowerIrql(previous); }
  KernelAddress AllocateContiguous(uint32_t size, uint64_t* physical) override {
    return VmNtAllocateContiguous(size, physical);
  }
  void FreeContiguous(KernelAddress address, uint32_t) override { VmNtFreeContiguous(address); }
  KernelAddress MapIoSpace(uint64_t physical, uint32_t size) override {
    return VmNtMapIo(physical, size);
  }
  void UnmapIoSpace(KernelAddress address, uint32_t size) override { VmNtUnmapIo(address, size); }
  uint32_t ReadRegister32(KernelAddress address) override { return VmNtRead32(address); }
  void WriteRegister32(KernelAddress address, uint32_t value) override {
    VmNtWrite32(address, value);
  }
  void AcquireLock() override { VmNtAcquire(); }
  void ReleaseLock() override { VmNtRelease(); }
  void CompleteRequest(const IoRequest& request, const IoResult& result) override {
    VmNtComplete(request.packet, result.status, result.information);
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
