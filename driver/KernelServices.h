// What the request handler needs from the kernel it runs in. The NT glue implements it with
// ZwOpenSection(\Device\PhysicalMemory) + ZwMapViewOfSection / ZwUnmapViewOfSection, the HAL's
// READ_PORT_* / WRITE_PORT_* functions, the processor's register instructions and CPUID,
// KeStallExecutionProcessor, KeRaiseIrql / KeLowerIrql, MmAllocateContiguousMemory,
// MmMapIoSpace, one FAST_MUTEX and IoCompleteRequest; the simulator implements it over the
// simulated board and processor.
//
// Freestanding: no runtime library, no exceptions, no RTTI. The destructor is protected and
// not virtual so that no deleting destructor (and with it operator delete) is ever referenced.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace velmora::driver {

// An address in the calling process (a view base) or a section offset; wide enough for both
// the 32-bit and the 64-bit kernels.
using KernelAddress = uint64_t;

enum class PortWidth : uint8_t { kByte = 1, kWord = 2, kDword = 4 };

// A range of RAM that the memory manager manages (one entry of MmGetPhysicalMemoryRanges).
struct MemoryRange {
  uint64_t base;
  uint64_t length;
};

// A process as the kernel knows it (its EPROCESS), opaque here.
using Process = const void*;

// One I/O request packet as the dispatch routine sees it. With METHOD_BUFFERED the input and
// the output share the one system buffer of max(input, output) bytes (null when both are 0).
// Cleanup comes when the last handle to a file object is closed, in the context of the process
// that closed it (also when the process dies); close comes later, in any context.
struct IoRequest {
  enum class Kind : uint8_t { kCreate, kCleanup, kClose, kDeviceControl, kOther };
  Kind kind = Kind::kOther;
  const void* fileObject = nullptr;  // the open handle's file object: whose request this is
  // FileObject->FsContext2: one pointer per file object that belongs to the driver (a device
  // driver is not a file system; nobody else uses it). Null when the request has no file object.
  void** fileContext = nullptr;
  uint32_t controlCode = 0;
  uint8_t* systemBuffer = nullptr;
  uint32_t inputLength = 0;
  uint32_t outputLength = 0;
  void* packet = nullptr;  // the IRP itself, opaque here, handed back at completion
};

// IoStatus of a completed request: the NT status and the count of bytes to copy back.
struct IoResult {
  uint32_t status = 0;
  uint32_t information = 0;
};

// What ZwMapViewOfSection reports: the base of the view in the calling process and the section
// offset rounded down to the allocation granularity (the view starts at that offset).
struct MappedView {
  KernelAddress base = 0;
  KernelAddress roundedOffset = 0;
};

class KernelServices {
 public:
  // Maps [physical, physical + length) of physical memory into the calling process, below
  // 4 GiB, not inherited by child processes; the view starts at the physical address rounded
  // down to the allocation granularity.
  virtual uint32_t MapPhysicalIntoProcess(uint64_t physical, uint32_t length, MappedView* view) = 0;
  // Unmaps the view that contains the address from the given process, attaching to its address
  // space when it is not the current one.
  virtual uint32_t UnmapFromProcess(Process process, KernelAddress addressInView) = 0;
  // The process whose context the thread runs in (PsGetCurrentProcess), and a reference on a
  // process that keeps its object alive until released (ObReferenceObject / ObDereferenceObject).
  virtual Process CurrentProcess() = 0;
  virtual void ReferenceProcess(Process process) = 0;
  virtual void ReleaseProcess(Process process) = 0;
  // The RAM the memory manager manages, as MmGetPhysicalMemoryRanges lists it at this moment
  // (memory can be added while the system runs): the number of ranges, of which the first
  // `capacity` are written; 0 when the list cannot be had.
  virtual uint32_t PhysicalMemoryRanges(MemoryRange* ranges, uint32_t capacity) = 0;

  virtual uint32_t PortIn(uint16_t port, PortWidth width) = 0;
  virtual void PortOut(uint16_t port, PortWidth width, uint32_t value) = 0;

  // RDMSR / WRMSR, RDTSC, RDPMC.
  virtual uint64_t ReadMsr(uint32_t msr) = 0;
  virtual void WriteMsr(uint32_t msr, uint64_t value) = 0;
  virtual uint64_t ReadTsc() = 0;
  virtual uint64_t ReadPmc(uint32_t counter) = 0;
  // MOV from CRn, the register's full width (32 bits on a 32-bit processor, 64 in 64-bit
  // mode); false when this processor mode has no such register (CR8 exists only in 64-bit
  // mode). There is no way to write one: the driver never does.
  virtual bool ReadControlRegister(uint32_t number, uint64_t* value) = 0;
  // CPUID with ECX = 0: EAX, EBX, ECX, EDX of the leaf.
  virtual void CpuId(uint32_t leaf, uint32_t registers[4]) = 0;

  // KeStallExecutionProcessor: a busy wait of at least the given time.
  virtual void StallMicroseconds(uint32_t microseconds) = 0;
  // KeRaiseIrql(DISPATCH_LEVEL) returning the previous level; KeLowerIrql back to it.
  virtual uint8_t RaiseIrqlToDispatch() = 0;
  virtual void LowerIrql(uint8_t previous) = 0;

  // Nonpaged, physically contiguous memory below 4 GiB for a bus-master device; 0 when none.
  virtual KernelAddress AllocateContiguous(uint32_t size, uint64_t* physical) = 0;
  virtual void FreeContiguous(KernelAddress address, uint32_t size) = 0;
  // MmMapIoSpace (non-cached) of device registers into system space; 0 when it fails.
  virtual KernelAddress MapIoSpace(uint64_t physical, uint32_t size) = 0;
  virtual void UnmapIoSpace(KernelAddress address, uint32_t size) = 0;
  // READ_REGISTER_ULONG / WRITE_REGISTER_ULONG on system-space addresses from the two above.
  virtual uint32_t ReadRegister32(KernelAddress address) = 0;
  virtual void WriteRegister32(KernelAddress address, uint32_t value) = 0;

  // The driver's one fast mutex.
  virtual void AcquireLock() = 0;
  virtual void ReleaseLock() = 0;

  // IoCompleteRequest(packet, IO_NO_INCREMENT) with the request's final status and count.
  virtual void CompleteRequest(const IoRequest& request, const IoResult& result) = 0;

 protected:
  KernelServices() = default;
  ~KernelServices() = default;
  KernelServices(const KernelServices&) = delete;
  KernelServices& operator=(const KernelServices&) = delete;
};

}  // namespace velmora::driver
