// The protocol between the program and its kernel driver: device name, request codes and the
// records they carry. Shared word for word by the client and the driver, so it includes nothing
// but fixed-width integers (the driver is built without a runtime library).
#pragma once

#include <stdint.h>

namespace velmora::driver_protocol {

// \Device\ZlkVmDrv with the link \DosDevices\ZlkVmDrv, opened as \\.\ZlkVmDrv.
inline constexpr char kDriverName[] = "ZlkVmDrv";

// CTL_CODE(FILE_DEVICE_UNKNOWN = 0x22, function, METHOD_BUFFERED, FILE_ANY_ACCESS).
constexpr uint32_t ControlCode(uint32_t function) {
  return (0x22u << 16) | (function << 2);
}

inline constexpr uint32_t IOCTL_MAP_PHYSICAL_MEMORY = ControlCode(0xA00);    // 0x222800
inline constexpr uint32_t IOCTL_UNMAP_PHYSICAL_MEMORY = ControlCode(0xA01);  // 0x222804
inline constexpr uint32_t IOCTL_PCI_CONFIG_READ_BYTE = ControlCode(0xA0A);   // 0x222828
inline constexpr uint32_t IOCTL_PCI_CONFIG_READ_WORD = ControlCode(0xA0C);   // 0x222830
inline constexpr uint32_t IOCTL_PCI_CONFIG_READ_DWORD = ControlCode(0xA0E);  // 0x222838

// The driver's other requests. The program itself sends only the five above; the driver serves
// these as well (functions 0xA08, 0xA09, 0xA12 and 0xA13 are not served).
inline constexpr uint32_t IOCTL_PORT_READ_BYTE = ControlCode(0xA02);          // 0x222808
inline constexpr uint32_t IOCTL_PORT_WRITE_BYTE = ControlCode(0xA03);         // 0x22280C
inline constexpr uint32_t IOCTL_PORT_READ_WORD = ControlCode(0xA04);          // 0x222810
inline constexpr uint32_t IOCTL_PORT_WRITE_WORD = ControlCode(0xA05);         // 0x222814
inline constexpr uint32_t IOCTL_PORT_READ_DWORD = ControlCode(0xA06);         // 0x222818
inline constexpr uint32_t IOCTL_PORT_WRITE_DWORD = ControlCode(0xA07);        // 0x22281C
inline constexpr uint32_t IOCTL_PCI_CONFIG_WRITE_BYTE = ControlCode(0xA0B);   // 0x22282C
inline constexpr uint32_t IOCTL_PCI_CONFIG_WRITE_WORD = ControlCode(0xA0D);   // 0x222834
inline constexpr uint32_t IOCTL_PCI_CONFIG_WRITE_DWORD = ControlCode(0xA0F);  // 0x22283C
inline constexpr uint32_t IOCTL_READ_MSR = ControlCode(0xA10);                // 0x222840
inline constexpr uint32_t IOCTL_WRITE_MSR = ControlCode(0xA11);               // 0x222844
inline constexpr uint32_t IOCTL_ATA_IDENTIFY_LEGACY = ControlCode(0xA14);     // 0x222850
inline constexpr uint32_t IOCTL_MEASURE_MSR = ControlCode(0xA15);             // 0x222854
inline constexpr uint32_t IOCTL_ATA_IDENTIFY_AHCI = ControlCode(0xA16);       // 0x222858
inline constexpr uint32_t IOCTL_READ_TSC = ControlCode(0xA17);                // 0x22285C
inline constexpr uint32_t IOCTL_READ_PMC = ControlCode(0xA18);                // 0x222860
inline constexpr uint32_t IOCTL_READ_CONTROL_REGISTER = ControlCode(0xA19);   // 0x222864
inline constexpr uint32_t IOCTL_WRITE_CONTROL_REGISTER = ControlCode(0xA1A);  // 0x222868
inline constexpr uint32_t IOCTL_PCI_CONFIG_PAIR = ControlCode(0xA1B);         // 0x22286C
inline constexpr uint32_t IOCTL_MEASURE_INTEL_CYCLES = ControlCode(0xA1C);    // 0x222870
inline constexpr uint32_t IOCTL_MEASURE_AMD_CYCLES = ControlCode(0xA1D);      // 0x222874

// Map request (NT): 16 bytes in and out through the same buffer.
struct MapMemoryRequest {
  uint32_t physicalLow;
  uint32_t physicalHigh;  // always 0 from this client
  uint32_t length;
  uint32_t processAddress;  // out: address of the requested byte itself in the caller
};
static_assert(sizeof(MapMemoryRequest) == 16);

// PCI configuration request: 12 bytes in and out; the value comes back at +8 with the width of
// the request, bytes above that width untouched.
struct PciConfigRequest {
  uint8_t bus;
  uint8_t device;
  uint8_t function;
  uint8_t reserved0;
  uint16_t offset;  // 0..0xFFF; bits 8..11 reach the extended configuration space
  uint16_t reserved1;
  uint32_t value;
};
static_assert(sizeof(PciConfigRequest) == 12);

// Port request: 8 bytes; reads answer the value at +4 with the width of the request.
struct PortIoRequest {
  uint16_t port;
  uint16_t reserved;
  uint32_t value;
};
static_assert(sizeof(PortIoRequest) == 8);

// Model-specific register: the register number at +8, the value split around it.
struct MsrRequest {
  uint32_t low;
  uint32_t reserved;
  uint32_t msr;
  uint32_t high;
};
static_assert(sizeof(MsrRequest) == 16);

// Time-stamp counter, answered whole.
struct TscRequest {
  uint32_t low;
  uint32_t high;
};
static_assert(sizeof(TscRequest) == 8);

// Performance-monitoring counter (RDPMC's ECX) in, its value out at +8.
struct PmcRequest {
  uint32_t counter;
  uint32_t reserved;
  uint32_t low;
  uint32_t high;
};
static_assert(sizeof(PmcRequest) == 16);

// Control register: its number in, the value at +8 and the value's upper half at +12 (on a
// 32-bit processor the sign of the 32-bit value, extended).
struct ControlRegisterRequest {
  uint32_t number;
  uint32_t reserved;
  uint32_t value;
  uint32_t upper;
};
static_assert(sizeof(ControlRegisterRequest) == 16);
inline constexpr uint32_t kControlRegisterWriteInput = 12;  // number and value

// Interval measurement: a counter (an MSR, or a core-clock counter) and the ACPI power
// management timer read before and after a stall of `interval` microseconds.
struct IntervalRequest {
  uint32_t msr;        // in: the register (MSR difference request only)
  uint32_t interval;   // in: microseconds; out: timer ticks between the two readings
  uint32_t countHigh;  // out: the counter's difference (MSR) or its final value (core clock)
  uint32_t countLow;
  uint16_t timerPort;     // in: the PM timer's port (FADT PM_TMR_BLK)
  uint16_t timerIs32Bit;  // in: 0 for a 24-bit timer, whose difference is masked to 24 bits
  uint32_t unused[3];
};
static_assert(sizeof(IntervalRequest) == 32);
inline constexpr uint32_t kIntervalRequestInput = 20;  // up to the timer width flag

// ATA/ATAPI identify through the legacy command block: the 512 identify bytes at +3.
struct AtaIdentifyRequest {
  uint16_t basePort;  // the command block (0x1F0, 0x170, ...)
  uint8_t driveHead;  // the drive/head register value selecting the drive (0xA0, 0xB0, ...)
  uint8_t data[512];
  uint8_t padding;
};
static_assert(sizeof(AtaIdentifyRequest) == 0x204);
inline constexpr uint32_t kAtaIdentifyInput = 3;

// ATA/ATAPI identify through one port of an AHCI controller: the 512 identify bytes at +5.
struct AhciIdentifyRequest {
  uint32_t hbaBase;  // physical address of the controller's registers (ABAR)
  uint8_t port;      // 0..31
  uint8_t data[512];
  uint8_t padding[3];
};
static_assert(sizeof(AhciIdentifyRequest) == 0x208);
inline constexpr uint32_t kAhciIdentifyInput = 5;

// Two PCI double-word operations, served first entry first, under the one lock.
struct PciPairEntry {
  uint8_t bus;
  uint8_t device;
  uint8_t function;
  uint8_t operation;  // kPciPairRead, kPciPairWrite, anything else: nothing
  uint16_t offset;
  uint16_t reserved;
  uint32_t value;  // read result or value to write
};
static_assert(sizeof(PciPairEntry) == 12);
inline constexpr uint8_t kPciPairRead = 1;
inline constexpr uint8_t kPciPairWrite = 2;
inline constexpr uint32_t kPciPairRecord = 2 * sizeof(PciPairEntry);

// Limits of the driver. A map may cover at most kMaxMapLength bytes (the program maps 256-byte
// windows); an interval measurement stalls at dispatch level for at most kMaxIntervalMicroseconds.
inline constexpr uint32_t kMaxMapLength = 0x10000;
inline constexpr uint32_t kMaxIntervalMicroseconds = 1000000;

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
inline constexpr uint32_t kStatusNotImplemented = 0xC0000002;
inline constexpr uint32_t kStatusNotMappedView = 0xC0000019;
inline constexpr uint32_t kStatusBufferTooSmall = 0xC0000023;
inline constexpr uint32_t kStatusDeviceNotConnected = 0xC000009D;
inline constexpr uint32_t kStatusDeviceNotReady = 0xC00000A3;
inline constexpr uint32_t kStatusDeviceBusy = 0x80000011;
inline constexpr uint32_t kStatusFileClosed = 0xC0000128;
inline constexpr uint32_t kStatusIoDeviceError = 0xC0000185;
inline constexpr uint32_t kStatusAccessDenied = 0xC0000022;

}  // namespace velmora::driver_protocol
