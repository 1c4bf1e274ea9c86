// The kernel services under the driver in the simulator: physical memory is mapped into a
// simulated system address space (MmMapIoSpace's rules: whole pages, nothing shared with the
// calling process), configuration space is read as the HAL reads it (mechanism #1 on the board's
// ports), the firmware table provider answers from the board, and the driver's fast mutex is a
// counter that notices misuse. Every mapping and every write is recorded, so tests can see that
// the driver never mapped RAM and never wrote anything but the control byte.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "driver/KernelServices.h"
#include "sim/board/SimMachine.h"
#include "sim/kernel/SimAddressSpace.h"

namespace velmora::sim {

// IRQLs.
inline constexpr std::uint8_t kPassiveLevel = 0;
inline constexpr std::uint8_t kApcLevel = 1;

class SimKernel final : public driver::KernelServices {
 public:
  explicit SimKernel(SimMachine& machine) : machine_(machine) {}

  driver::KernelAddress MapPhysical(std::uint64_t physical, std::uint32_t size,
                                    driver::Caching caching, driver::Access access) override;
  void UnmapPhysical(driver::KernelAddress address, std::uint32_t size) override;
  void ReadMapped(driver::KernelAddress address, std::uint8_t* destination,
                  std::uint32_t size) override;
  void WriteMappedByte(driver::KernelAddress address, std::uint8_t value) override;
  std::uint32_t PhysicalMemoryRanges(driver::MemoryRange* ranges, std::uint32_t capacity) override;
  std::uint32_t ReadPciConfig(std::uint32_t bus, std::uint32_t device, std::uint32_t function,
                              std::uint32_t offset, std::uint8_t* buffer,
                              std::uint32_t length) override;
  std::uint32_t FirmwareTable(std::uint32_t provider, std::uint32_t tableId, std::uint8_t* buffer,
                              std::uint32_t capacity) override;
  void AcquireLock() override;
  void ReleaseLock() override;
  void CompleteRequest(const driver::IoRequest& request, const driver::IoResult& result) override;

  // Faults: a mapping touching [physical, physical + length) fails; MmGetPhysicalMemoryRanges
  // finds no pool for its answer; the system has no firmware table provider (Windows XP x86).
  void FailMapsOf(std::uint64_t physical, std::uint64_t length);
  void FailRamQueries(bool fail = true) { failRamQueries_ = fail; }
  void RemoveFirmwareTableProvider(bool removed = true) { noProvider_ = removed; }

  struct Mapping {
    std::uint64_t physical;
    std::uint32_t size;
    driver::Caching caching;
    driver::Access access;
  };
  struct Write {
    std::uint64_t physical;
    std::uint8_t value;
  };
  struct Completion {
    driver::IoRequest::Kind kind;
    std::uint32_t controlCode;
    driver::IoResult result;
    int lockDepth;
  };
  // Every mapping ever made, every byte written through one, every completion.
  const std::vector<Mapping>& Mappings() const { return mappings_; }
  const std::vector<Write>& Writes() const { return writes_; }
  const std::vector<Completion>& Completions() const { return completions_; }
  // Mappings, ever, of a page of RAM the memory manager manages (on a real system: a second
  // mapping of its pages with another memory type, and the bytes of whoever owns them).
  int RamMappings() const { return ramMappings_; }
  std::size_t LiveMappings() const { return live_.size(); }
  std::uint64_t PciReads() const { return pciReads_; }

  int LockDepth() const { return lockDepth_; }
  int LockAcquisitions() const { return acquisitions_; }
  // A fast mutex is not recursive: acquiring it twice deadlocks, releasing it unheld is a bug
  // check. Both are counted here, and so are a write through a read-only mapping, an unmap of
  // something never mapped (bug checks too) and memory services called without the lock.
  int Misuses() const { return misuses_; }
  std::uint8_t Irql() const { return irql_; }

 private:
  struct Range {
    std::uint64_t start;
    std::uint64_t length;
  };
  struct LiveMapping {
    std::uint64_t physical;
    std::uint32_t size;
    driver::Access access;
  };
  bool MapFails(std::uint64_t physical, std::uint64_t length) const;
  bool TouchesRam(std::uint64_t first, std::uint64_t last) const;
  const LiveMapping* Holding(driver::KernelAddress address, std::uint32_t size) const;
  void NoteMemoryCall();

  SimMachine& machine_;
  SimAddressSpace system_{machine_};
  std::map<driver::KernelAddress, LiveMapping> live_;  // by the address handed out
  std::vector<Mapping> mappings_;
  std::vector<Write> writes_;
  std::vector<Completion> completions_;
  std::vector<Range> failingMaps_;
  int ramMappings_ = 0;
  bool failRamQueries_ = false;
  bool noProvider_ = false;
  std::uint64_t pciReads_ = 0;
  std::uint8_t irql_ = kPassiveLevel;
  int lockDepth_ = 0;
  int acquisitions_ = 0;
  int misuses_ = 0;
};

}  // namespace velmora::sim
