// What the request handler needs from the kernel it runs in. The NT glue implements it with
// MmMapIoSpaceEx (or MmMapIoSpace, both looked up by name) and MmUnmapIoSpace, volatile loads
// and one store through such a mapping, MmGetPhysicalMemoryRanges, HalGetBusDataByOffset,
// ZwQuerySystemInformation's firmware table provider, one FAST_MUTEX and IoCompleteRequest; the
// simulator implements it over the simulated board.
//
// Freestanding: no runtime library, no exceptions, no RTTI. The destructor is protected and
// not virtual so that no deleting destructor (and with it operator delete) is ever referenced.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace velmora::driver {

// An address in system space (a mapping of physical memory); wide enough for both kernels.
using KernelAddress = uint64_t;

// A range of RAM that the memory manager manages (one entry of MmGetPhysicalMemoryRanges).
struct MemoryRange {
  uint64_t base;
  uint64_t length;
};

// One I/O request packet as the dispatch routine sees it. With METHOD_BUFFERED the input and
// the output share the one system buffer of max(input, output) bytes (null when both are 0).
// Cleanup comes when the last handle to a file object is closed; close comes later.
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

// How physical memory is mapped into system space. Firmware tables are ordinary memory and are
// mapped cached, as Windows' own ACPI driver maps them (a second mapping of the same page with
// another memory type would be an alias the processor does not allow); the PCI Express
// configuration window holds device registers and is mapped uncached. Everything is mapped
// read-only and never executable, except the one page holding the control byte for its write.
enum class Caching : uint8_t { kCached, kUncached };
enum class Access : uint8_t { kReadOnly, kReadWrite };

// Firmware table providers and the ids of the root tables (ZwQuerySystemInformation's
// SystemFirmwareTableInformation): the provider signature as a big-endian character constant,
// the table's signature as its bytes read little-endian.
inline constexpr uint32_t kAcpiTableProvider = 0x41435049;  // 'ACPI'
inline constexpr uint32_t kRsdtTableId = 0x54445352;        // "RSDT"
inline constexpr uint32_t kXsdtTableId = 0x54445358;        // "XSDT"
inline constexpr uint32_t kMcfgTableId = 0x4746434D;        // "MCFG"

class KernelServices {
 public:
  // Maps [physical, physical + size) into system space; 0 when it cannot be mapped.
  virtual KernelAddress MapPhysical(uint64_t physical, uint32_t size, Caching caching,
                                    Access access) = 0;
  virtual void UnmapPhysical(KernelAddress address, uint32_t size) = 0;
  // Reads from such a mapping: double words where the address and the size are multiples of 4
  // (device registers want their width), bytes otherwise.
  virtual void ReadMapped(KernelAddress address, uint8_t* destination, uint32_t size) = 0;
  virtual void WriteMappedByte(KernelAddress address, uint8_t value) = 0;
  // The RAM the memory manager manages, as MmGetPhysicalMemoryRanges lists it at this moment
  // (memory can be added while the system runs): the number of ranges, of which the first
  // `capacity` are written; 0 when the list cannot be had.
  virtual uint32_t PhysicalMemoryRanges(MemoryRange* ranges, uint32_t capacity) = 0;
  // HalGetBusDataByOffset(PCIConfiguration, bus, slot, buffer, offset, length): the bytes read;
  // 0 when the bus does not exist, 2 when no function answers at the slot.
  virtual uint32_t ReadPciConfig(uint32_t bus, uint32_t device, uint32_t function,
                                 uint32_t offset, uint8_t* buffer, uint32_t length) = 0;
  // The whole table from the system's firmware table provider, when the system has the provider
  // and the table and it fits `capacity`: its length (its bytes written); 0 otherwise.
  virtual uint32_t FirmwareTable(uint32_t provider, uint32_t tableId, uint8_t* buffer,
                                 uint32_t capacity) = 0;

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
