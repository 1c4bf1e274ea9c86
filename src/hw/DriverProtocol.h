// The protocol between the program and its kernel driver: device name, request codes and the
// records they carry. Shared word for word by the client and the driver, so it includes nothing
// but fixed-width integers (the driver is built without a runtime library).
#pragma once

#include <stdint.h>

namespace velmora::driver_protocol {

// \Device\ZlkVmDrv with the link \DosDevices\ZlkVmDrv, opened as \\.\ZlkVmDrv.
inline constexpr char kDriverName[] = "ZlkVmDrv";

// The access a request code declares (CTL_CODE's RequiredAccess, bits 14-15). The I/O manager
// compares it with the access the handle was opened for before the request reaches the driver,
// and fails the request with STATUS_ACCESS_DENIED when the handle lacks it.
inline constexpr uint32_t kFileAnyAccess = 0;
inline constexpr uint32_t kFileReadAccess = 1;   // the handle needs FILE_READ_DATA
inline constexpr uint32_t kFileWriteAccess = 2;  // the handle needs FILE_WRITE_DATA

// CTL_CODE(FILE_DEVICE_UNKNOWN = 0x22, function, METHOD_BUFFERED, access).
constexpr uint32_t ControlCode(uint32_t function, uint32_t access = kFileAnyAccess) {
  return (0x22u << 16) | (access << 14) | (function << 2);
}
constexpr uint32_t RequiredAccess(uint32_t code) {
  return (code >> 14) & 3u;
}

// What the NT driver serves. Reads of physical memory are copies into the request's buffer,
// of firmware the driver found itself; the one write is a read-modify-write of the QVZX
// control byte.
inline constexpr uint32_t IOCTL_PCI_CONFIG_READ_BYTE = ControlCode(0xA0A, kFileReadAccess);
inline constexpr uint32_t IOCTL_PCI_CONFIG_READ_WORD = ControlCode(0xA0C, kFileReadAccess);
inline constexpr uint32_t IOCTL_PCI_CONFIG_READ_DWORD = ControlCode(0xA0E, kFileReadAccess);
inline constexpr uint32_t IOCTL_READ_PHYSICAL_MEMORY = ControlCode(0xA20, kFileReadAccess);
inline constexpr uint32_t IOCTL_READABLE_RANGES = ControlCode(0xA21, kFileReadAccess);
inline constexpr uint32_t IOCTL_UPDATE_CONTROL_BYTE = ControlCode(0xA22, kFileWriteAccess);
static_assert(IOCTL_PCI_CONFIG_READ_BYTE == 0x226828);
static_assert(IOCTL_READ_PHYSICAL_MEMORY == 0x226880);
static_assert(IOCTL_UPDATE_CONTROL_BYTE == 0x22A888);

// The Windows 9x virtual device driver's two requests: map the 4 KiB page holding a physical
// address into the system's shared arena, and free it again (4 bytes in, 4 bytes out).
inline constexpr uint32_t IOCTL_MAP_PHYSICAL_MEMORY = ControlCode(0xA00);    // 0x222800
inline constexpr uint32_t IOCTL_UNMAP_PHYSICAL_MEMORY = ControlCode(0xA01);  // 0x222804

// Requests the NT driver once served and answers no more: STATUS_INVALID_DEVICE_REQUEST, as
// for a code it never knew. Mapping physical memory into the caller (0xA00, 0xA01), port I/O
// (0xA02-0xA07), PCI configuration through the ports with any access (0xA0A-0xA0F, writes
// among them), model-specific registers (0xA10, 0xA11), ATA identify through the legacy ports
// (0xA14), an MSR measured across an interval (0xA15), ATA identify through an AHCI port
// (0xA16), the time-stamp and performance-monitoring counters (0xA17, 0xA18), control
// registers (0xA19, 0xA1A), a pair of PCI operations (0xA1B) and core-clock measurements
// (0xA1C, 0xA1D). Their numbers stay taken.
inline constexpr uint32_t kRetiredControlCodes[] = {
    ControlCode(0xA00), ControlCode(0xA01), ControlCode(0xA02), ControlCode(0xA03),
    ControlCode(0xA04), ControlCode(0xA05), ControlCode(0xA06), ControlCode(0xA07),
    ControlCode(0xA0A), ControlCode(0xA0B), ControlCode(0xA0C), ControlCode(0xA0D),
    ControlCode(0xA0E), ControlCode(0xA0F), ControlCode(0xA10), ControlCode(0xA11),
    ControlCode(0xA14), ControlCode(0xA15), ControlCode(0xA16), ControlCode(0xA17),
    ControlCode(0xA18), ControlCode(0xA19), ControlCode(0xA1A), ControlCode(0xA1B),
    ControlCode(0xA1C), ControlCode(0xA1D)};

// PCI configuration read: 12 bytes in and out; the value comes back at +8 with the width of
// the request, bytes above that width untouched. Registers 0x00-0xFF: the standard header and
// the device-specific part the HAL reaches; the extended space above is read through the PCI
// Express configuration window.
struct PciConfigRequest {
  uint8_t bus;
  uint8_t device;
  uint8_t function;
  uint8_t reserved0;
  uint16_t offset;
  uint16_t reserved1;
  uint32_t value;
};
static_assert(sizeof(PciConfigRequest) == 12);
inline constexpr uint32_t kPciConfigSpaceEnd = 0x100;

// Read of physical memory: the address and the length in (12 bytes); the bytes themselves out,
// from +0, in an output buffer at least `length` long.
struct ReadPhysicalRequest {
  uint32_t physicalLow;
  uint32_t physicalHigh;
  uint32_t length;
};
static_assert(sizeof(ReadPhysicalRequest) == 12);
inline constexpr uint32_t kMaxReadLength = 0x10000;

// The ranges the driver reads, merged and in address order: a header and as many entries as the
// output buffer holds (`count` is the number of ranges in all).
struct ReadableRangesHeader {
  uint32_t count;
  uint32_t reserved;
};
struct ReadableRange {
  uint32_t baseLow;
  uint32_t baseHigh;
  uint32_t length;
  uint32_t reserved;
};
static_assert(sizeof(ReadableRangesHeader) == 8 && sizeof(ReadableRange) == 16);

// Read-modify-write of the control byte: its address, the bits to set and to clear in; the
// byte before and after the write out (12 bytes in and out). Bits 5-7 belong to the firmware and
// bit 4 is its request, which is only ever cleared.
struct ControlByteRequest {
  uint32_t physicalLow;
  uint32_t physicalHigh;
  uint8_t setBits;
  uint8_t clearBits;
  uint8_t before;
  uint8_t after;
};
static_assert(sizeof(ControlByteRequest) == 12);
inline constexpr uint8_t kControlBitsSettable = 0x0F;
inline constexpr uint8_t kControlBitsClearable = 0x1F;

// Configuration mechanism #1 (the 9x path reads PCI configuration space with the processor's
// port instructions): the dword written to port 0xCF8 (bits 24..27 carry the extended register
// bits, as chipsets with extended access through 0xCF8 decode them) and the data port.
inline constexpr uint16_t kPciConfigAddressPort = 0xCF8;
inline constexpr uint16_t kPciConfigDataPort = 0xCFC;

constexpr uint32_t PciConfigAddress(uint32_t bus, uint32_t device, uint32_t function,
                                    uint32_t offset) {
  return 0x80000000u + (((offset >> 8) & 0xFu) << 24) + (bus << 16) + (device << 11) +
         (function << 8) + (offset & 0xFCu);
}
constexpr uint16_t PciConfigDataPort(uint32_t offset) {
  return static_cast<uint16_t>(kPciConfigDataPort + (offset & 3u));
}
static_assert(PciConfigAddress(0, 0x1F, 3, 0x40) == 0x8000FB40);
static_assert(PciConfigAddress(0, 0x1F, 3, 0x142) == 0x8100FB40);
static_assert(PciConfigDataPort(0x142) == 0xCFE);

// NT status values the driver answers with.
inline constexpr uint32_t kStatusSuccess = 0x00000000;
inline constexpr uint32_t kStatusUnsuccessful = 0xC0000001;
inline constexpr uint32_t kStatusInvalidParameter = 0xC000000D;
inline constexpr uint32_t kStatusInvalidDeviceRequest = 0xC0000010;
inline constexpr uint32_t kStatusInsufficientResources = 0xC000009A;
inline constexpr uint32_t kStatusBufferTooSmall = 0xC0000023;
inline constexpr uint32_t kStatusFileClosed = 0xC0000128;
inline constexpr uint32_t kStatusAccessDenied = 0xC0000022;

}  // namespace velmora::driver_protocol
