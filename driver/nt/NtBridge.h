/* The seam between the driver's NT glue (C, built against the DDK headers) and the portable
 * request handler (C++, which cannot include those headers). Plain C types only. */
#ifndef VELMORA_DRIVER_NT_BRIDGE_H
#define VELMORA_DRIVER_NT_BRIDGE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum VmRequestKind {
  kVmCreate = 0,
  kVmCleanup = 1,
  kVmClose = 2,
  kVmDeviceControl = 3,
  kVmOther = 4
};

struct VmRequest {
  int kind; /* VmRequestKind */
  const void* fileObject;
  void** fileContext; /* &FileObject->FsContext2, or null without a file object */
  uint32_t controlCode;
  uint8_t* systemBuffer;
  uint32_t inputLength;
  uint32_t outputLength;
  void* irp;
};

/* The C++ side: builds the kernel services and the request handler (at load), and serves one
 * request; the request is completed through VmNtComplete before this returns its status. */
void VmStartHandler(void);
uint32_t VmHandleRequest(const struct VmRequest* request);

/* The C side: the NT kernel's services, one call each. */
struct VmMemoryRange {
  uint64_t base;
  uint64_t length;
};

uint32_t VmNtMapPhysical(uint64_t physical, uint32_t length, uint64_t* base, uint64_t* rounded);
uint32_t VmNtUnmap(const void* process, uint64_t address);
const void* VmNtCurrentProcess(void);
void VmNtReferenceProcess(const void* process);
void VmNtReleaseProcess(const void* process);
uint32_t VmNtRamRanges(struct VmMemoryRange* ranges, uint32_t capacity);
uint32_t VmNtPortIn(uint16_t port, uint32_t width);
void VmNtPortOut(uint16_t port, uint32_t width, uint32_t value);
uint64_t VmNtReadMsr(uint32_t msr);
void VmNtWriteMsr(uint32_t msr, uint64_t value);
uint64_t VmNtReadTsc(void);
uint64_t VmNtReadPmc(uint32_t counter);
int VmNtReadCr(uint32_t number, uint64_t* value);
void VmNtCpuid(uint32_t leaf, uint32_t registers[4]);
void VmNtStall(uint32_t microseconds);
uint8_t VmNtRaiseToDispatch(void);
void VmNtLowerIrql(uint8_t previous);
uint64_t VmNtAllocateContiguous(uint32_t size, uint64_t* physical);
void VmNtFreeContiguous(uint64_t address);
uint64_t VmNtMapIo(uint64_t physical, uint32_t size);
void VmNtUnmapIo(uint64_t address, uint32_t size);
uint32_t VmNtRead32(uint64_t address);
void VmNtWrite32(uint64_t address, uint32_t value);
void VmNtAcquire(void);
void VmNtRelease(void);
void VmNtComplete(void* irp, uint32_t status, uint32_t information);

/* Stops the system with KeBugCheckEx: for a broken invariant of the driver itself, where going
 * on would run on corrupt state. Never returns. */
#define VM_BUG_CHECK_SECURITY_FAILURE 0x00000139u /* KERNEL_SECURITY_CHECK_FAILURE */
#define VM_BUG_CHECK_BAD_VTABLE 1u /* its first parameter: an illegal virtual function table */
__attribute__((noreturn)) void VmNtBugCheck(uint32_t code, uintptr_t parameter1,
                                             uintptr_t parameter4);

#ifdef __cplusplus
}
#endif

#endif
