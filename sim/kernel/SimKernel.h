// The kernel services under the driver in the simulator: physical memory is mapped into the
// simulated process's address space with ZwMapViewOfSection's rules (the offset rounded down
// to the 64 KiB allocation granularity), the port instructions reach the simulated board, and
// the driver's fast mutex is a counter that notices misuse. Every port access and every
// completion is recorded with the lock depth at that moment, so tests can see that nothing
// happens outside the lock.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/KernelServices.h"
#include "sim/board/SimMachine.h"
#include "sim/kernel/SimAddressSpace.h"

namespace velmora::sim {

// NT status values of the simulated kernel.
inline constexpr std::uint32_t kStatusConflictingAddresses = 0xC0000018;
inline constexpr std::uint32_t kStatusNotMappedView = 0xC0000019;
inline constexpr std::uint32_t kStatusNoMemory = 0xC0000017;

inline constexpr std::uint32_t kAllocationGranularity = 0x10000;

class SimKernel final : public driver::KernelServices {
 public:
  SimKernel(SimMachine& machine, SimAddressSpace& callingProcess)
      : machine_(machine), process_(callingProcess) {}

  std::uint32_t MapPhysicalIntoProcess(std::uint64_t physical, std::uint32_t length,
                                       driver::MappedView* view) override;
  std::uint32_t UnmapFromProcess(driver::KernelAddress addressInView) override;
  std::uint32_t PortIn(std::uint16_t port, driver::PortWidth width) override;
  void PortOut(std::uint16_t port, driver::PortWidth width, std::uint32_t value) override;
  void AcquireLock() override;
  void ReleaseLock() override;
  void CompleteRequest(const driver::IoRequest& request, const driver::IoResult& result) override;

  // Faults: a map request touching [physical, physical + length) fails.
  void FailMapsOf(std::uint64_t physical, std::uint64_t length);

  struct PortAccess {
    std::uint16_t port;
    unsigned width;
    bool write;
    std::uint32_t value;
    int lockDepth;
  };
  struct Completion {
    driver::IoRequest::Kind kind;
    std::uint32_t controlCode;
    driver::IoResult result;
    int lockDepth;
  };
  const std::vector<PortAccess>& PortAccesses() const { return ports_; }
  const std::vector<Completion>& Completions() const { return completions_; }
  int LockDepth() const { return lockDepth_; }
  int LockAcquisitions() const { return acquisitions_; }
  // A fast mutex is not recursive: acquiring it twice deadlocks, releasing it unheld is a bug
  // check. Both are counted here instead.
  int LockMisuses() const { return misuses_; }
  int MapCalls() const { return mapCalls_; }
  // Map and unmap calls made without the lock held.
  int UnlockedMemoryCalls() const { return unlockedMemoryCalls_; }

 private:
  struct Range {
    std::uint64_t start;
    std::uint64_t length;
  };
  bool MapFails(std::uint64_t physical, std::uint64_t length) const;
  void NoteMemoryCall();

  SimMachine& machine_;
  SimAddressSpace& process_;
  std::vector<Range> failingMaps_;
  std::vector<PortAccess> ports_;
  std::vector<Completion> completions_;
  int lockDepth_ = 0;
  int acquisitions_ = 0;
  int misuses_ = 0;
  int mapCalls_ = 0;
  int unlockedMemoryCalls_ = 0;
};

}  // namespace velmora::sim
