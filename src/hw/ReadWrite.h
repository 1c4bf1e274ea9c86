// The driver client: the one object through which the program touches hardware — physical
// memory, PCI configuration space and CPUID. On the NT family every memory and PCI access is a
// request to the kernel driver; on the 9x family memory is mapped by the virtual device driver and
// PCI configuration space is read with the port instructions directly.
#pragma once

#include <cstdint>
#include <string>

#include "config/InitFile.h"
#include "hw/DriverProtocol.h"
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

// Driver requests sent, by kind.
struct DriverRequestCounts {
  std::uint32_t map = 0;
  std::uint32_t unmap = 0;
  std::uint32_t pciByte = 0;
  std::uint32_t pciWord = 0;
  std::uint32_t pciDword = 0;
  std::uint32_t Total() const { return map + unmap + pciByte + pciWord + pciDword; }
};

class TReadWrite : public TLoadDriver {
 public:
  // Installs and opens the driver, then settles the PCI Express configuration base. When the
  // driver could not be opened the object is unusable (DeviceHandle() is invalid).
  TReadWrite(TInitFile& config, const HardwarePorts& ports);
  ~TReadWrite() override;

  ProcessAddress MapPhysicalMemory(std::uint32_t address, std::uint32_t length);
  bool UnmapPhysicalMemory(ProcessAddress pointer);

  // A single read whose mapping fails gives all ones, as a read of absent memory does.
  std::uint8_t MemoryReadByte(std::uint32_t address);
  // The same read, telling whether the byte could be mapped at all.
  bool TryMemoryReadByte(std::uint32_t address, std::uint8_t& value);
  std::uint32_t MemoryReadDword(std::uint32_t address);
  bool MemoryWriteByte(std::uint32_t address, std::uint8_t value);
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

  const DriverRequestCounts& Requests() const { return requests_; }

  std::uint32_t PcieBase = kNoAddress;
  std::uint32_t LegacyConfigAddress = 0;
  std::uint16_t LegacyDataPort = 0;
  driver_protocol::PciConfigRequest PciRequest{};
  std::uint32_t PciBytesReturned = 0;
  std::uint32_t PcieAddress = 0;

 private:
  bool NtPath() const { return osType_ != otWin9x; }
  bool Request(std::uint32_t code, void* in, std::uint32_t inSize, void* out, std::uint32_t outSize,
               std::uint32_t* returned);
  std::uint32_t PciRead(std::uint32_t code, unsigned width, std::uint8_t bus, std::uint8_t device,
                        std::uint16_t reg, std::uint8_t function);
  bool FindInWindow(const std::uint8_t* window, std::uint32_t windowSize,
                    std::uint32_t patternLength, const std::uint8_t* pattern, std::uint32_t step,
                    std::uint32_t& cursor, std::uint32_t& skip);

  TOsType osType_;
  IFiles& files_;
  IProcessMemory& memory_;
  IProcessor& processor_;
  DriverRequestCounts requests_;
};

}  // namespace velmora
