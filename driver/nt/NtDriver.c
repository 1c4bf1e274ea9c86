/* The NT kernel driver ZlkVmDrv: the device \Device\ZlkVmDrv (unknown type, exclusive, secure
 * open, only SYSTEM and Administrators admitted) with the link \DosDevices\ZlkVmDrv; create,
 * cleanup, close and device-control requests go to the portable request handler, which holds
 * the driver's one fast mutex around each. Unloading deletes the link, then the device.
 *
 * The driver reaches hardware only through the kernel's own routines: physical memory through
 * mappings in system space that live for one copy, PCI configuration space through the HAL.
 * It has no port, model-specific-register or control-register instruction, and maps nothing
 * into a process. */
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
  VmNtFindRoutines();
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
 * APCs off) and stays at PASSIVE_LEVEL, where every routine below may be called. */
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

/* MmMapIoSpaceEx (Windows 10 and later) takes page protections, so a mapping can be read-only
 * and, as every mapping it makes, not executable. Older kernels have only MmMapIoSpace, which
 * maps read-write. Neither is imported: a missing import keeps a driver from loading at all, and
 * the mapping routine is looked up where it is used, like any routine not every kernel has. */
typedef PVOID(NTAPI* MapIoSpaceExRoutine)(PHYSICAL_ADDRESS, SIZE_T, ULONG);
typedef PVOID(NTAPI* MapIoSpaceRoutine)(PHYSICAL_ADDRESS, SIZE_T, MEMORY_CACHING_TYPE);
static MapIoSpaceExRoutine g_mapIoSpaceEx;
static MapIoSpaceRoutine g_mapIoSpace;

static PVOID FindRoutine(PCWSTR name) {
  UNICODE_STRING text;
  RtlInitUnicodeString(&text, name);
  return MmGetSystemRoutineAddress(&text);
}

void VmNtFindRoutines(void) {
  g_mapIoSpaceEx = (MapIoSpaceExRoutine)FindRoutine(L"MmMapIoSpaceEx");
  g_mapIoSpace = (MapIoSpaceRoutine)FindRoutine(L"MmMapIoSpace");
}

void* VmNtMapPhysical(uint64_t physical, uint32_t size, int cached, int writable) {
  PHYSICAL_ADDRESS address;
  address.QuadPart = (LONGLONG)physical;
  if (g_mapIoSpaceEx != NULL) {
    ULONG protect = writable ? PAGE_READWRITE : PAGE_READONLY;
    if (!cached) protect |= PAGE_NOCACHE;
    return g_mapIoSpaceEx(address, size, protect);
  }
  if (g_mapIoSpace == NULL) return NULL;
  return g_mapIoSpace(address, size, cached ? MmCached : MmNonCached);
}

void VmNtUnmapPhysical(void* address, uint32_t size) {
  MmUnmapIoSpace(address, size);
}

/* Volatile loads, so that each one happens as written: double words where the whole range is
 * aligned (the PCI Express configuration window answers accesses of a register's width), bytes
 * otherwise. */
void VmNtReadMapped(const void* address, uint8_t* destination, uint32_t size) {
  uint32_t i;
  if ((((ULONG_PTR)address | size) & 3) == 0) {
    const volatile ULONG* from = (const volatile ULONG*)address;
    for (i = 0; i < size / 4; ++i) {
      ULONG value = from[i];
      destination[4 * i] = (uint8_t)value;
      destination[4 * i + 1] = (uint8_t)(value >> 8);
      destination[4 * i + 2] = (uint8_t)(value >> 16);
      destination[4 * i + 3] = (uint8_t)(value >> 24);
    }
    return;
  }
  for (i = 0; i < size; ++i) destination[i] = ((const volatile UCHAR*)address)[i];
}

void VmNtWriteMappedByte(void* address, uint8_t value) {
  *(volatile UCHAR*)address = value;
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

/* The HAL reads configuration space under the system's own lock on the configuration
 * mechanism, so these reads never interleave with another driver's address/data cycles. The
 * slot is the device and function numbers packed as PCI_SLOT_NUMBER. */
uint32_t VmNtReadPciConfig(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset,
                           uint8_t* buffer, uint32_t length) {
  PCI_SLOT_NUMBER slot;
  slot.u.AsULONG = 0;
  slot.u.bits.DeviceNumber = device;
  slot.u.bits.FunctionNumber = function;
  return HalGetBusDataByOffset(PCIConfiguration, bus, slot.u.AsULONG, buffer, offset, length);
}

/* ZwQuerySystemInformation's SystemFirmwareTableInformation (Windows Server 2003 SP1, XP x64 and
 * later; an older kernel answers STATUS_INVALID_INFO_CLASS): a header naming the provider, the
 * action and the table, followed by room for the table. */
NTSYSAPI NTSTATUS NTAPI ZwQuerySystemInformation(ULONG informationClass, PVOID information,
                                                 ULONG length, PULONG returned);

enum { kSystemFirmwareTableInformation = 76, kFirmwareTableGet = 1, kFirmwareTableRoom = 8192 };

struct FirmwareTableQuery {
  ULONG provider;
  ULONG action;
  ULONG tableId;
  ULONG tableLength;
  UCHAR table[kFirmwareTableRoom];
};

uint32_t VmNtFirmwareTable(uint32_t provider, uint32_t tableId, uint8_t* buffer,
                           uint32_t capacity) {
  static struct FirmwareTableQuery query;
  ULONG returned = 0;
  ULONG i;
  NTSTATUS status;
  if (capacity > kFirmwareTableRoom) capacity = kFirmwareTableRoom;
  query.provider = provider;
  query.action = kFirmwareTableGet;
  query.tableId = tableId;
  query.tableLength = capacity;
  status = ZwQuerySystemInformation(kSystemFirmwareTableInformation, &query,
                                    (ULONG)(FIELD_OFFSET(struct FirmwareTableQuery, table) +
                                            capacity),
                                    &returned);
  if (!NT_SUCCESS(status) || query.tableLength == 0 || query.tableLength > capacity) return 0;
  for (i = 0; i < query.tableLength; ++i) buffer[i] = query.table[i];
  return query.tableLength;
}
