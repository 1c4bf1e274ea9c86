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

/* Mappings of physical memory in system space: cached or not, read-only or writable; never
 * executable. Null when the range cannot be mapped. */
void VmNtFindRoutines(void);
void* VmNtMapPhysical(uint64_t physical, uint32_t size, int cached, int writable);
void VmNtUnmapPhysical(void* address, uint32_t size);
void VmNtReadMapped(const void* address, uint8_t* destination, uint32_t size);
void VmNtWriteMappedByte(void* address, uint8_t value);
uint32_t VmNtRamRanges(struct VmMemoryRange* ranges, uint32_t capacity);
uint32_t VmNtReadPciConfig(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset,
                           uint8_t* buffer, uint32_t length);
uint32_t VmNtFirmwareTable(uint32_t provider, uint32_t tableId, uint8_t* buffer,
                           uint32_t capacity);
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
