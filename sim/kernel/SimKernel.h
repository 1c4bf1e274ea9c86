// The kernel services under the driver in the simulator: physical memory is mapped into the
// simulated process's address space with ZwMapViewOfSection's rules (the offset rounded down
// to the 64 KiB allocation granularity), the port instructions reach the simulated board, the
// register instructions reach the simulated processor, stalls advance the simulated clock,
// device registers and contiguous memory are mapped into a simulated system address space,
// and the driver's fast mutex is a counter that notices misuse. Every port access and every
// completion is recorded with the lock depth and IRQL at that moment, so tests can see that
// nothing happens outside the lock or below the level it needs.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "driver/KernelServices.h"
#include "sim/board/SimMachine.h"
#include "sim/kernel/SimAddressSpace.h"
#include "sim/kernel/SimClock.h"
#include "sim/kernel/SimCpu.h"

namespace velmora::sim {

// NT status values of the simulated kernel.
inline constexpr std::uint32_t kStatusConflictingAddresses = 0xC0000018;
inline constexpr std::uint32_t kStatusNotMappedView = 0xC0000019;
inline constexpr std::uint32_t kStatusNoMemory = 0xC0000017;

inline constexpr std::uint32_t kAllocationGranularity = 0x10000;

// IRQLs.
inline constexpr std::uint8_t kPassiveLevel = 0;
inline constexpr std::uint8_t kApcLevel = 1;
inline constexpr std::uint8_t kDispatchLevel = 2;

// Where the simulated kernel finds physically contiguous memory for drivers.
inline constexpr std::uint64_t kContiguousPoolBase = 0x01000000;

class SimKernel final : public driver::KernelServices {
 public:
  SimKernel(SimMachine& machine, SimAddressSpace& callingProcess)
      : machine_(machine), process_(&callingProcess) {
    known_.insert(process_);
  }

  std::uint32_t MapPhysicalIntoProcess(std::uint64_t physical, std::uint32_t length,
                                       driver::MappedView* view) override;
  std::uint32_t UnmapFromProcess(driver::Process process,
                                 driver::KernelAddress addressInView) override;
  driver::Process CurrentProcess() override { return process_; }
  void ReferenceProcess(driver::Process process) override;
  void ReleaseProcess(driver::Process process) override;
  std::uint32_t PhysicalMemoryRanges(driver::MemoryRange* ranges, std::uint32_t capacity) override;
  std::uint32_t PortIn(std::uint16_t port, driver::PortWidth width) override;
  void PortOut(std::uint16_t port, driver::PortWidth width, std::uint32_t value) override;
  std::uint64_t ReadMsr(std::uint32_t msr) override { return cpu_.ReadMsr(msr); }
  void WriteMsr(std::uint32_t msr, std::uint64_t value) override { cpu_.WriteMsr(msr, value); }
  std::uint64_t ReadTsc() override { return cpu_.Tsc(); }
  std::uint64_t ReadPmc(std::uint32_t counter) override { return cpu_.ReadPmc(counter); }
  bool ReadControlRegister(std::uint32_t number, std::uint64_t* value) override {
    return cpu_.ReadCr(number, value);
  }
  void CpuId(std::uint32_t leaf, std::uint32_t registers[4]) override {
    cpu_.CpuId(leaf, registers);
  }
  void StallMicroseconds(std::uint32_t microseconds) override;
  std::uint8_t RaiseIrqlToDispatch() override;
  void LowerIrql(std::uint8_t previous) override;
  driver::KernelAddress AllocateContiguous(std::uint32_t size, std::uint64_t* physical) override;
  void FreeContiguous(driver::KernelAddress address, std::uint32_t size) override;
  driver::KernelAddress MapIoSpace(std::uint64_t physical, std::uint32_t size) override;
  void UnmapIoSpace(driver::KernelAddress address, std::uint32_t size) override;
  std::uint32_t ReadRegister32(driver::KernelAddress address) override;
  void WriteRegister32(driver::KernelAddress address, std::uint32_t value) override;
  void AcquireLock() override;
  void ReleaseLock() override;
  void CompleteRequest(const driver::IoRequest& request, const driver::IoResult& result) override;

  // Faults: a map request touching [physical, physical + length) fails; contiguous memory
  // runs out.
  void FailMapsOf(std::uint64_t physical, std::uint64_t length);
  void FailContiguousAllocations(bool fail = true) { failContiguous_ = fail; }
  // MmGetPhysicalMemoryRanges finds no pool for its answer.
  void FailRamQueries(bool fail = true) { failRamQueries_ = fail; }

  // The thread now runs in another process (a request through a duplicated handle, the close
  // of the last handle by another process).
  void SwitchToProcess(SimAddressSpace& process);
  // Views mapped, ever, that reach RAM the memory manager manages above the first MiB.
  int RamViewsMapped() const { return ramViews_; }
  // References held on processes, and unmaps done attached to a process other than the current.
  int ProcessReferences() const;
  int AttachedUnmaps() const { return attachedUnmaps_; }

  SimClock& Clock() { return clock_; }
  SimCpu& Cpu() { return cpu_; }

  struct PortAccess {
    std::uint16_t port;
    unsigned width;
    bool write;
    std::uint32_t value;
    int lockDepth;
    std::uint8_t irql;
  };
  struct IrqlChange {
    std::uint8_t from;
    std::uint8_t to;
  };
  struct Allocation {
    std::uint64_t physical;
    std::uint32_t size;
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
  std::uint8_t Irql() const { return irql_; }
  // Raises to dispatch level and lowerings, in order (the lock's own changes not included).
  const std::vector<IrqlChange>& IrqlChanges() const { return irqlChanges_; }
  std::uint64_t StalledMicroseconds() const { return stalledMicroseconds_; }
  std::uint64_t StallCount() const { return stallCount_; }
  // Contiguous allocations and I/O space mappings not yet given back, and all ever made.
  std::size_t LiveAllocations() const { return allocations_.size(); }
  std::size_t LiveIoMappings() const { return ioMappings_; }
  const std::vector<Allocation>& AllocationsMade() const { return allocationsMade_; }
  // Map and unmap calls made without the lock held.
  int UnlockedMemoryCalls() const { return unlockedMemoryCalls_; }

 private:
  struct Range {
    std::uint64_t start;
    std::uint64_t length;
  };
  bool MapFails(std::uint64_t physical, std::uint64_t length) const;
  bool ReachesRam(std::uint64_t first, std::uint64_t last) const;
  void NoteMemoryCall();

  SimMachine& machine_;
  SimAddressSpace* process_;
  std::set<const SimAddressSpace*> known_;
  std::map<driver::Process, int> references_;
  int ramViews_ = 0;
  int attachedUnmaps_ = 0;
  bool failRamQueries_ = false;
  SimAddressSpace system_{machine_};
  SimClock clock_;
  SimCpu cpu_{clock_};
  std::uint8_t irql_ = kPassiveLevel;
  std::uint8_t irqlBeforeLock_ = kPassiveLevel;
  std::vector<IrqlChange> irqlChanges_;
  std::uint64_t stalledMicroseconds_ = 0;
  std::uint64_t stallCount_ = 0;
  std::map<driver::KernelAddress, Allocation> allocations_;
  std::vector<Allocation> allocationsMade_;
  std::uint64_t nextContiguous_ = kContiguousPoolBase;
  std::size_t ioMappings_ = 0;
  bool failContiguous_ = false;
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
