/* The NT kernel driver ZlkVmDrv: the device \Device\ZlkVmDrv (unknown type, exclusive, secure
 * open, only SYSTEM and Administrators admitted) with the link \DosDevices\ZlkVmDrv; create,
 * cleanup, close and device-control requests go to the portable request handler, which holds
 * the driver's one fast mutex around each. Unloading deletes the link, then the device.
 *
 * Ports are reached through the HAL's READ_PORT_* / WRITE_PORT_* functions, never raw in/out
 * instructions, so that a kernel without hardware access behind it answers instead of
 * faulting. */
#include <ntifs.h>

#include "driver/nt/NtBridge.h"

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

static const WCHAR kDeviceName[] = L"\\Device\\ZlkVmDrv";
static const WCHAR kLinkName[] = L"\\DosDevices\\ZlkVmDrv";

static FAST_MUTEX g_lock;

/* ---- The device's security: SYSTEM and Administrators only -------------------------------- */

static ULONG AceSize(PSID sid) {
  return sizeof(ACCESS_ALLOWED_ACE) - sizeof(ULONG) + RtlLengthSid(sid);
}

/* S-1-5-18 (LocalSystem) and S-1-5-32-544 (BUILTIN\Administrators), built here rather than
 * taken from SeExports, so that they exist however the kernel initialised its exports. */
static NTSTATUS MakeSid(PSID sid, UCHAR count, ULONG first, ULONG second) {
  SID_IDENTIFIER_AUTHORITY nt = {{0, 0, 0, 0, 0, 5}}; /* SECURITY_NT_AUTHORITY */
  NTSTATUS status = RtlInitializeSid(sid, &nt, count);
  if (!NT_SUCCESS(status)) return status;
  *RtlSubAuthoritySid(sid, 0) = first;
  if (count > 1) *RtlSubAuthoritySid(sid, 1) = second;
  return STATUS_SUCCESS;
}

typedef NTSTATUS(NTAPI* SetSecurityObjectRoutine)(HANDLE, SECURITY_INFORMATION,
                                                   PSECURITY_DESCRIPTOR);

/* ZwSetSecurityObject is not documented as an export of the oldest kernels this driver loads on
 * (Windows XP), and a missing import stops the driver from loading at all, so it is looked up by
 * name, with the system service NtSetSecurityObject as the fallback: called from the system thread that runs DriverEntry, whose
 * previous mode is kernel mode, it takes the kernel handle as ZwSetSecurityObject would. Without
 * either the device is not created: a device with the default DACL opens to every user. */
static SetSecurityObjectRoutine FindSetSecurityObject(void) {
  UNICODE_STRING name;
  PVOID routine;
  RtlInitUnicodeString(&name, L"ZwSetSecurityObject");
  routine = MmGetSystemRoutineAddress(&name);
  if (routine == NULL) {
    RtlInitUnicodeString(&name, L"NtSetSecurityObject");
    routine = MmGetSystemRoutineAddress(&name);
  }
  return (SetSecurityObjectRoutine)routine;
}

/* Applies the DACL through a kernel handle to the device object, as the I/O manager's own
 * security routine for device objects expects it. */
static NTSTATUS SetDeviceSecurity(PDEVICE_OBJECT device, PSECURITY_DESCRIPTOR descriptor) {
  HANDLE handle = NULL;
  NTSTATUS status;
  SetSecurityObjectRoutine setSecurity = FindSetSecurityObject();
  if (setSecurity == NULL) return STATUS_PROCEDURE_NOT_FOUND;
  status = ObOpenObjectByPointer(device, OBJ_KERNEL_HANDLE, NULL, WRITE_DAC, NULL, KernelMode,
                                 &handle);
  if (!NT_SUCCESS(status)) return status;
  status = setSecurity(handle, DACL_SECURITY_INFORMATION, descriptor);
  ZwClose(handle);
  return status;
}

/* Sets a DACL granting all access to SYSTEM and to the Administrators group, and nothing to
 * anyone else, on the device object. Runs before the device is usable: before
 * DO_DEVICE_INITIALIZING is cleared and before the link that lets user mode name it exists. */
static NTSTATUS RestrictToAdministrators(PDEVICE_OBJECT device) {
  static ULONG aclBuffer[64];
  static ULONG systemBuffer[4];
  static ULONG administratorsBuffer[4];
  PACL acl = (PACL)aclBuffer;
  PSID system = (PSID)systemBuffer;
  PSID administrators = (PSID)administratorsBuffer;
  SECURITY_DESCRIPTOR descriptor;
  ULONG aclSize;
  NTSTATUS status;

  status = MakeSid(system, 1, SECURITY_LOCAL_SYSTEM_RID, 0);
  if (NT_SUCCESS(status)) {
    status = MakeSid(administrators, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
  }
  if (!NT_SUCCESS(status)) return status;
  aclSize = sizeof(ACL) + AceSize(system) + AceSize(administrators);
  if (aclSize > sizeof aclBuffer) return STATUS_BUFFER_TOO_SMALL;
  status = RtlCreateAcl(acl, aclSize, ACL_REVISION);
  if (NT_SUCCESS(status)) status = RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, system);
  if (NT_SUCCESS(status)) {
    status = RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, administrators);
  }
  if (NT_SUCCESS(status)) status = RtlCreateSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  if (NT_SUCCESS(status)) status = RtlSetDaclSecurityDescriptor(&descriptor, TRUE, acl, FALSE);
  if (NT_SUCCESS(status)) status = SetDeviceSecurity(device, &descriptor);
  return status;
}

/* ---- Dispatch and unload ------------------------------------------------------------------ */

static NTSTATUS NTAPI Dispatch(PDEVICE_OBJECT device, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  struct VmRequest request;
  (void)device;
  request.kind = kVmOther;
  request.fileObject = stack->FileObject;
  request.fileContext = stack->FileObject != NULL ? &stack->FileObject->FsContext2 : NULL;
  request.controlCode = 0;
  request.systemBuffer = NULL;
  request.inputLength = 0;
  request.outputLength = 0;
  request.irp = irp;
  switch (stack->MajorFunction) {
    case IRP_MJ_CREATE:
      request.kind = kVmCreate;
      break;
    case IRP_MJ_CLEANUP:
      request.kind = kVmCleanup;
      break;
    case IRP_MJ_CLOSE:
      request.kind = kVmClose;
      break;
    case IRP_MJ_DEVICE_CONTROL:
      request.kind = kVmDeviceControl;
      request.controlCode = stack->Parameters.DeviceIoControl.IoControlCode;
      request.systemBuffer = (uint8_t*)irp->AssociatedIrp.SystemBuffer;
      request.inputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
      request.outputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
      break;
    default:
      break;
  }
  /* The handler completes the IRP; it must not be touched after this. */
  return (NTSTATUS)VmHandleRequest(&request);
}

static void NTAPI Unload(PDRIVER_OBJECT driver) {
  UNICODE_STRING link;
  RtlInitUnicodeString(&link, kLinkName);
  IoDeleteSymbolicLink(&link);
  if (driver->DeviceObject != NULL) IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
  UNICODE_STRING name;
  UNICODE_STRING link;
  PDEVICE_OBJECT device = NULL;
  NTSTATUS status;
  (void)registryPath;

  ExInitializeFastMutex(&g_lock);
  VmStartHandler();
  driver->MajorFunction[IRP_MJ_CREATE] = Dispatch;
  driver->MajorFunction[IRP_MJ_CLEANUP] = Dispatch;
  driver->MajorFunction[IRP_MJ_CLOSE] = Dispatch;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = Dispatch;
  driver->DriverUnload = Unload;

  RtlInitUnicodeString(&name, kDeviceName);
  status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN, TRUE,
                          &device);
  if (!NT_SUCCESS(status)) return status;
  status = RestrictToAdministrators(device);
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(device);
    return status;
  }
  device->Flags &= ~DO_DEVICE_INITIALIZING;
  RtlInitUnicodeString(&link, kLinkName);
  status = IoCreateSymbolicLink(&link, &name);
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(device);
    return status;
  }
  return STATUS_SUCCESS;
}

/* ---- The kernel services the request handler uses ----------------------------------------- */

/* Requests are serialised by the fast mutex; the thread enters a critical region (normal kernel
 * APCs off) and stays at PASSIVE_LEVEL, where ZwMapViewOfSection may be called. */
void VmNtAcquire(void) {
  KeEnterCriticalRegion();
  ExAcquireFastMutexUnsafe(&g_lock);
}

void VmNtRelease(void) {
  ExReleaseFastMutexUnsafe(&g_lock);
  KeLeaveCriticalRegion();
}

void VmNtComplete(void* irp, uint32_t status, uint32_t information) {
  PIRP packet = (PIRP)irp;
  packet->IoStatus.Status = (NTSTATUS)status;
  packet->IoStatus.Information = information;
  IoCompleteRequest(packet, IO_NO_INCREMENT);
}

/* The driver's one way to stop the system. With KERNEL_SECURITY_CHECK_FAILURE (a kernel
 * component found a critical structure of its own corrupt) the second and third parameters name
 * a trap frame and an exception record, of which there are none here, and the fourth, reserved,
 * carries the caller's address. Windows before 8 has no name for that code but stops the same
 * way, with the code and parameters on the screen and in the dump. */
void VmNtBugCheck(uint32_t code, uintptr_t parameter1, uintptr_t parameter4) {
  KeBugCheckEx(code, parameter1, 0, 0, parameter4);
  __builtin_unreachable();
}

/* ZeroBits above 32 is a mask the view's base must fit in (64-bit kernels): below 4 GiB, where
 * the 32-bit address in the answer can name it and a 32-bit process can reach it. A 32-bit
 * kernel has nothing above 4 GiB to avoid. */
#ifdef _WIN64
#define VM_VIEW_ZERO_BITS ((ULONG_PTR)0xFFFFFFFFu)
#else
#define VM_VIEW_ZERO_BITS ((ULONG_PTR)0)
#endif

/* A view of \Device\PhysicalMemory in the calling process (the dispatch routine runs in its
 * context). The section handle is a kernel handle, out of the caller's reach. ViewUnmap: a child
 * process the caller creates does not inherit the view (it would outlive the handle's cleanup,
 * which unmaps only in the process that mapped). */
uint32_t VmNtMapPhysical(uint64_t physical, uint32_t length, uint64_t* base, uint64_t* rounded) {
  UNICODE_STRING name;
  OBJECT_ATTRIBUTES attributes;
  HANDLE section = NULL;
  PVOID object = NULL;
  PVOID view = NULL;
  SIZE_T size = length;
  LARGE_INTEGER offset;
  NTSTATUS status;

  RtlInitUnicodeString(&name, L"\\Device\\PhysicalMemory");
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL,
                             NULL);
  status = ZwOpenSection(&section, SECTION_ALL_ACCESS, &attributes);
  if (!NT_SUCCESS(status)) return (uint32_t)status;
  status = ObReferenceObjectByHandle(section, SECTION_ALL_ACCESS, NULL, KernelMode, &object, NULL);
  if (!NT_SUCCESS(status)) {
    ZwClose(section);
    return (uint32_t)status;
  }
  offset.QuadPart = (LONGLONG)physical;
  status = ZwMapViewOfSection(section, ZwCurrentProcess(), &view, VM_VIEW_ZERO_BITS, length,
                              &offset, &size, ViewUnmap, 0, PAGE_READWRITE);
  ObDereferenceObject(object);
  ZwClose(section);
  if (!NT_SUCCESS(status)) return (uint32_t)status;
  *base = (uint64_t)(ULONG_PTR)view;
  *rounded = (uint64_t)offset.QuadPart;
  return STATUS_SUCCESS;
}

/* The view is unmapped in the process that holds it: from the current process directly, from
 * another one (the handle was duplicated or inherited, and another process closed it last)
 * while attached to its address space. The caller holds a reference on that process. */
uint32_t VmNtUnmap(const void* process, uint64_t address) {
  PEPROCESS target = (PEPROCESS)process;
  KAPC_STATE apc;
  NTSTATUS status;
  if (target == IoGetCurrentProcess()) {
    return (uint32_t)ZwUnmapViewOfSection(ZwCurrentProcess(), (PVOID)(ULONG_PTR)address);
  }
  KeStackAttachProcess((PKPROCESS)target, &apc);
  status = ZwUnmapViewOfSection(ZwCurrentProcess(), (PVOID)(ULONG_PTR)address);
  KeUnstackDetachProcess(&apc);
  return (uint32_t)status;
}

const void* VmNtCurrentProcess(void) {
  return IoGetCurrentProcess();
}

void VmNtReferenceProcess(const void* process) {
  ObReferenceObject((PVOID)process);
}

void VmNtReleaseProcess(const void* process) {
  ObDereferenceObject((PVOID)process);
}

/* MmGetPhysicalMemoryRanges answers a pool copy of the memory manager's RAM list, ended by an
 * entry of zeros, or null when there is no pool for it. The walk is bounded all the same. */
uint32_t VmNtRamRanges(struct VmMemoryRange* ranges, uint32_t capacity) {
  enum { kMostRanges = 4096 };
  PPHYSICAL_MEMORY_RANGE list = MmGetPhysicalMemoryRanges();
  uint32_t count = 0;
  if (list == NULL) return 0;
  while (count < kMostRanges &&
         (list[count].BaseAddress.QuadPart != 0 || list[count].NumberOfBytes.QuadPart != 0)) {
    if (count < capacity) {
      ranges[count].base = (uint64_t)list[count].BaseAddress.QuadPart;
      ranges[count].length = (uint64_t)list[count].NumberOfBytes.QuadPart;
    }
    ++count;
  }
  ExFreePool(list);
  return count == kMostRanges ? 0 : count;
}

uint32_t VmNtPortIn(uint16_t port, uint32_t width) {
  if (width == 1) return READ_PORT_UCHAR((PUCHAR)(ULONG_PTR)port);
  if (width == 2) return READ_PORT_USHORT((PUSHORT)(ULONG_PTR)port);
  return READ_PORT_ULONG((PULONG)(ULONG_PTR)port);
}

void VmNtPortOut(uint16_t port, uint32_t width, uint32_t value) {
  if (width == 1) {
    WRITE_PORT_UCHAR((PUCHAR)(ULONG_PTR)port, (UCHAR)value);
  } else if (width == 2) {
    WRITE_PORT_USHORT((PUSHORT)(ULONG_PTR)port, (USHORT)value);
  } else {
    WRITE_PORT_ULONG((PULONG)(ULONG_PTR)port, value);
  }
}

uint64_t VmNtReadMsr(uint32_t msr) {
  return __readmsr(msr);
}

void VmNtWriteMsr(uint32_t msr, uint64_t value) {
  __writemsr(msr, value);
}

uint64_t VmNtReadTsc(void) {
  return __rdtsc();
}

/* RDPMC: ECX selects the counter, the value comes back in EDX:EAX. */
uint64_t VmNtReadPmc(uint32_t counter) {
  uint32_t low;
  uint32_t high;
  __asm__ __volatile__("rdpmc" : "=a"(low), "=d"(high) : "c"(counter));
  return ((uint64_t)high << 32) | low;
}

/* The registers at their full width: __readcr0 and the others return 32 bits on x86, so the
 * upper half is 0 there, and 64 bits on x64 (CR0 and CR4 with zeros above bit 31, CR3 with the
 * high bits of the page-map table's physical address). */
int VmNtReadCr(uint32_t number, uint64_t* value) {
  switch (number) {
    case 0:
      *value = __readcr0();
      return 1;
    case 2:
      *value = __readcr2();
      return 1;
    case 3:
      *value = __readcr3();
      return 1;
    case 4:
      *value = __readcr4();
      return 1;
#ifdef _WIN64
    case 8:
      *value = __readcr8();
      return 1;
#endif
    default:
      return 0; /* CR8 exists only in 64-bit mode */
  }
}

/* CPUID of the leaf with ECX = 0: EAX, EBX, ECX, EDX. */
void VmNtCpuid(uint32_t leaf, uint32_t registers[4]) {
  int answer[4];
  __cpuidex(answer, (int)leaf, 0);
  registers[0] = (uint32_t)answer[0];
  registers[1] = (uint32_t)answer[1];
  registers[2] = (uint32_t)answer[2];
  registers[3] = (uint32_t)answer[3];
}

void VmNtStall(uint32_t microseconds) {
  KeStallExecutionProcessor(microseconds);
}

uint8_t VmNtRaiseToDispatch(void) {
  KIRQL previous;
  KeRaiseIrql(DISPATCH_LEVEL, &previous);
  return previous;
}

void VmNtLowerIrql(uint8_t previous) {
  KeLowerIrql(previous);
}

uint64_t VmNtAllocateContiguous(uint32_t size, uint64_t* physical) {
  PHYSICAL_ADDRESS highest;
  PVOID memory;
  highest.QuadPart = 0xFFFFFFFF; /* reachable by a controller without 64-bit addressing */
  memory = MmAllocateContiguousMemory(size, highest);
  if (memory == NULL) return 0;
  *physical = (uint64_t)MmGetPhysicalAddress(memory).QuadPart;
  return (uint64_t)(ULONG_PTR)memory;
}

void VmNtFreeContiguous(uint64_t address) {
  MmFreeContiguousMemory((PVOID)(ULONG_PTR)address);
}

uint64_t VmNtMapIo(uint64_t physical, uint32_t size) {
  PHYSICAL_ADDRESS address;
  address.QuadPart = (LONGLONG)physical;
  return (uint64_t)(ULONG_PTR)MmMapIoSpace(address, size, MmNonCached);
}

void VmNtUnmapIo(uint64_t address, uint32_t size) {
  MmUnmapIoSpace((PVOID)(ULONG_PTR)address, size);
}

uint32_t VmNtRead32(uint64_t address) {
  return READ_REGISTER_ULONG((PULONG)(ULONG_PTR)address);
}

void VmNtWrite32(uint64_t address, uint32_t value) {
  WRITE_REGISTER_ULONG((PULONG)(ULONG_PTR)address, value);
}
