// The protocol between the program and its kernel driver: device name, request codes and the
// records they carry. Shared word for word by the client and the driver, so it includes nothing
// but fixed-width integers (the driver is built without a runtime library).
#pragma once

#include <stdint.h>

namespace velmora::driver_protocol {

// \Device\ZlkVmDrv with the link \DosDevices\ZlkVmDrv, opened as \\.\ZlkVmDrv.
inline constexpr char kDriverName[] = "ZlkVmDrv";

// CTL_CODE(FILE_DEVICE_UNKNOWN = 0x22, function, METHOD_BUFFERED, FILE_ANY_ACCESS).
constexpr uint32_t ControlCode(uint32_t function) { return (0x22u << 16) | (function << 2); }

inline constexpr uint32_t IOCTL_MAP_PHYSICAL_MEMORY = ControlCode(0xA00);    // 0x222800
inline constexpr uint32_t IOCTL_UNMAP_PHYSICAL_MEMORY = ControlCode(0xA01);  // 0x222804
inline constexpr uint32_t IOCTL_PCI_CONFIG_READ_BYTE = ControlCode(0xA0A);   // 0x222828
inline constexpr uint32_t IOCTL_PCI_CONFIG_READ_WORD = ControlCode(0xA0C);   // 0x222830
inline constexpr uint32_t IOCTL_PCI_CONFIG_READ_DWORD = ControlCode(0xA0E);  // 0x222838

// Map request (NT): 16 bytes in and out through the same buffer.
struct MapMemoryRequest {
  uint32_t physicalLow;
  uint32_t physicalHigh;     // always 0 from this client
  uint32_t length;
  uint32_t processAddress;   // out: address of the requested byte itself in the caller
};
static_assert(sizeof(MapMemoryRequest) == 16);

// PCI configuration request: 12 bytes in and out; the value comes back at +8 with the width of
// the request, bytes above that width untouched.
struct PciConfigRequest {
  uint8_t bus;
  uint8_t device;
  uint8_t function;
  uint8_t reserved0;
  uint16_t offset;       // 0..0xFFF; bits 8..11 reach the extended configuration space
  uint16_t reserved1;
  uint32_t value;
};
static_assert(sizeof(PciConfigRequest) == 12);

// Configuration mechanism #1: the dword written to port 0xCF8 (bits 24..27 carry the extended
// register bits, as chipsets with extended access through 0xCF8 decode them) and the data port.
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
inline constexpr uint32_t kStatusInsufficientResources = 0xC000009A;

}  // namespace velmora::driver_protocol
