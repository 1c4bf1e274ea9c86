// The time-stamp and performance-monitoring registers this processor has, as CPUID reports
// them, and which of them the driver's register requests may touch.
//
// RDMSR and WRMSR of a register the processor does not implement, a WRMSR that sets a reserved
// bit, and RDPMC of a counter the processor does not have all raise #GP, and in kernel mode
// that stops the machine. The performance counters are not there everywhere: a virtual machine
// commonly has none (its hypervisor reports none, or caps CPUID below the leaf that would
// tell), a processor before Intel's architectural performance monitoring or an AMD processor
// before the Athlon has others or none, and the number and width of the counters vary by
// model. So every register a request names is checked against what this processor reports,
// and only the registers the driver's requests are for are served at all: the time-stamp
// counter, the performance counters with their event selects, and Intel's fixed-function
// counters with their control and global registers.
//
// Everything is asked of the processor the code runs on. Intel's hybrid processors report
// different counters on their two core types, so callers stay at DISPATCH_LEVEL from the probe
// to the last register access: the thread cannot move to another processor in between.
#pragma once

#include <stdint.h>

#include "driver/KernelServices.h"

namespace velmora::driver {

// What CPUID reports. A plain record, filled by ProbeCounters.
struct CounterSupport {
  uint32_t maker;            // kIntelCounters, kAmdCounters, or 0 for any other processor
  uint32_t generalCounters;  // general-purpose counters, RDPMC 0..n-1
  uint32_t generalWidth;     // their width in bits
  uint32_t fixedCounters;    // Intel's fixed-function counters the driver serves (at most 3)
  uint32_t fixedWidth;
  bool globalControl;   // Intel v2 and later: IA32_PERF_GLOBAL_CTRL, _STATUS, FIXED_CTR_CTRL
  bool coreCycleEvent;  // the counters can count unhalted core cycles
  bool timeStampCounter;
};

CounterSupport ProbeCounters(KernelServices& kernel);

// Whether the driver reads the MSR, writes the value to it, or reads the RDPMC counter on this
// processor.
bool MayReadMsr(const CounterSupport& support, uint32_t msr);
bool MayWriteMsr(const CounterSupport& support, uint32_t msr, uint64_t value);
bool MayReadPmc(const CounterSupport& support, uint32_t counter);

// A general-purpose counter borrowed to count unhalted core cycles, with what it takes to give
// it back exactly as it was.
struct BorrowedCounter {
  uint32_t eventSelect;
  uint32_t counter;
  uint64_t widthMask;
  uint64_t savedEventSelect;
  uint64_t startCount;
  uint64_t globalEnable;  // the IA32_PERF_GLOBAL_CTRL bit set for the count (0: none was)
};

// Starts counting unhalted core cycles on a free general-purpose counter of the maker's
// (kIntelCounters or kAmdCounters): STATUS_SUCCESS; STATUS_ACCESS_DENIED when this processor
// is not of that maker or has no such counters; STATUS_DEVICE_BUSY when every one is in use.
uint32_t StartCoreCycles(KernelServices& kernel, const CounterSupport& support, uint32_t maker,
                         BorrowedCounter* borrowed);
// Stops the count, gives the counter back as it was and answers the cycles counted.
uint64_t FinishCoreCycles(KernelServices& kernel, const BorrowedCounter& borrowed);

}  // namespace velmora::driver
