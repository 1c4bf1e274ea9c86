// The driver client: the one object through which the program touches hardware — physical
// memory, PCI configuration space and CPUID. On the NT family every memory and PCI access is a
// request to the kernel driver: memory is read by copy, of the firmware the driver itself found,
// and the one write is the driver's read-modify-write of the control byte. On the 9x family
// memory is mapped by the virtual device driver and PCI configuration space is read with the
// port instructions directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/InitFile.h"
#include "hw/DriverProtocol.h"
#include "hw/FirmwareTableProvider.h"
#include "hw/LoadDriver.h"
#include "ports/ProcessMemoryPort.h"
#include "ports/ProcessorPort.h"

namespace velmora {

inline constexpr std::uint32_t kNoAddress = 0xFFFFFFFF;

struct HardwarePorts {
  DriverHost host;
  IProcessMemory& memory;
  IProcessor& processor;
};

// Driver requests sent, by kind (map and unmap: the 9x virtual device driver's).
struct DriverRequestCounts {
  std::uint32_t read = 0;
  std::uint32_t ranges = 0;
  std::uint32_t controlByte = 0;
  std::uint32_t map = 0;
  std::uint32_t unmap = 0;
  std::uint32_t pciByte = 0;
  std::uint32_t pciWord = 0;
  std::uint32_t pciDword = 0;
  std::uint32_t Total() const {
    return read + ranges + controlByte + map + unmap + pciByte + pciWord + pciDword;
  }
  DriverRequestCounts operator-(const DriverRequestCounts& other) const;
  DriverRequestCounts operator+(const DriverRequestCounts& other) const;
};

// A physical range the driver reads, [base, end).
struct ReadableRange {
  std::uint64_t base;
  std::uint64_t end;
};

class TReadWrite : public TLoadDriver {
 public:
  // Installs and opens the driver, then settles the PCI Express configuration base. When the
  // driver could not be opened the object is unusable (DeviceHandle() is invalid).
  TReadWrite(TInitFile& config, const HardwarePorts& ports);
  ~TReadWrite() override;

  // The 9x path's mapping of the page holding the address; the NT driver maps nothing into a
  // process, and on that path this is always null.
  ProcessAddress MapPhysicalMemory(std::uint32_t address, std::uint32_t length);
  bool UnmapPhysicalMemory(ProcessAddress pointer);

  // A single read whose mapping fails gives all ones, as a read of absent memory does.
  std::uint8_t MemoryReadByte(std::uint32_t address);
  // The same read, telling whether the byte could be mapped at all.
  bool TryMemoryReadByte(std::uint32_t address, std::uint8_t& value);
  std::uint32_t MemoryReadDword(std::uint32_t address);
  // The 9x path's byte write; the NT driver writes no memory but the control byte.
  bool MemoryWriteByte(std::uint32_t address, std::uint8_t value);
  // One read-modify-write of the control byte (the driver's own on NT, a read and a write of
  // the mapped byte on 9x), logged as the read and the write; false when it could not be read.
  bool MemoryUpdateByte(std::uint32_t address, std::uint8_t setBits, std::uint8_t clearBits,
                        std::uint8_t& before);
  // width: 1 bytes, 2 words, 3 double words; length must be a multiple of the unit.
  bool MemoryReadBlock(std::uint32_t address, void* buffer, std::uint32_t length, int width = 1);
  std::uint32_t MemoryFindString(std::uint32_t start, std::uint32_t length, const char* pattern,
                                 std::uint32_t skip, std::uint32_t step);
  std::uint32_t MemoryFindPattern(std::uint32_t start, std::uint32_t length,
                                  std::uint32_t patternLength, const std::uint8_t* pattern,
                                  std::uint32_t skip, std::uint32_t step);

  // Arguments in the order bus, device, register, function.
  std::uint8_t PciReadByte(std::uint8_t bus, std::uint8_t device, std::uint16_t reg,
                           std::uint8_t function);
  std::uint16_t PciReadWord(std::uint8_t bus, std::uint8_t device, std::uint16_t reg,
                            std::uint8_t function);
  std::uint32_t PciReadDword(std::uint8_t bus, std::uint8_t device, std::uint16_t reg,
                             std::uint8_t function);
  std::uint32_t PciExpressReadDword(std::uint8_t bus, std::uint8_t device, std::uint16_t reg,
                                    std::uint8_t function);

  bool ExecuteCpuId(CpuIdRegisters& registers);
  void DetectPcieBase();

  // The system's firmware table provider, beside the driver: the other way to the firmware.
  TFirmwareTableProvider& FirmwareTables() { return firmwareTables_; }

  const DriverRequestCounts& Requests() const { return requests_; }
  // What the driver reads (NT; from the driver when it was opened), in address order.
  const std::vector<ReadableRange>& Readable() const { return readable_; }

  std::uint32_t PcieBase = kNoAddress;
  std::uint32_t LegacyConfigAddress = 0;
  std::uint16_t LegacyDataPort = 0;
  driver_protocol::PciConfigRequest PciRequest{};
  std::uint32_t PciBytesReturned = 0;
  std::uint32_t PcieAddress = 0;

 private:
  class SearchSource;

  bool NtPath() const { return osType_ != otWin9x; }
  bool Request(std::uint32_t code, void* in, std::uint32_t inSize, void* out, std::uint32_t outSize,
               std::uint32_t* returned);
  // The NT driver's copy of [address, address + length), in requests of at most 64 KiB.
  bool ReadPhysical(std::uint64_t address, std::uint8_t* destination, std::uint32_t length);
  bool ReadBytes(std::uint32_t address, void* destination, std::uint32_t length);
  void LoadReadableRanges();
  std::uint32_t PciRead(std::uint32_t code, unsigned width, std::uint8_t bus, std::uint8_t device,
                        std::uint16_t reg, std::uint8_t function);

  TOsType osType_;
  IFiles& files_;
  IProcessMemory& memory_;
  IProcessor& processor_;
  TFirmwareTableProvider firmwareTables_;
  DriverRequestCounts requests_;
  std::vector<ReadableRange> readable_;
  bool readableKnown_ = false;
};

}  // namespace velmora
