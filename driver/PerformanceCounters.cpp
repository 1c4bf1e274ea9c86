// What CPUID says about the counters, and the registers the driver touches because of it.
//
// Intel (Software Developer's Manual, vol. 2A CPUID leaf 0Ah, vol. 3B "Architectural
// Performance Monitoring" and the architectural MSR table):
//   - leaf 0Ah may be read only when leaf 0 reports a highest leaf of 0Ah or more: above it an
//     Intel processor answers with its highest basic leaf's data, so a hypervisor that caps
//     CPUID at leaf 6 (as Hyper-V documents for its guests) would seem to report a version;
//   - EAX[7:0] is the version; 0 means no architectural performance monitoring (and the driver
//     then serves no counter at all: older processors' counters are model-specific, and the
//     Pentium 4's are elsewhere). EAX[15:8] general counters IA32_PMCx (C1h + x) with
//     their IA32_PERFEVTSELx (186h + x), EAX[23:16] their width; EBX[0] set (when EAX[31:24],
//     the length of that vector, covers it) means unhalted core cycles cannot be counted;
//   - from version 2: EDX[4:0] fixed-function counters IA32_FIXED_CTRx (309h + x), EDX[12:5]
//     their width (bits above it are reserved and must be written as zeros), controlled by
//     IA32_FIXED_CTR_CTRL (38Dh); IA32_PERF_GLOBAL_STATUS (38Eh, read-only) and
//     IA32_PERF_GLOBAL_CTRL (38Fh), whose enable bit of a counter is ANDed with the counter's
//     own enables: a counter counts only when both are set. After a reset its bits of the
//     general counters are set; setting the bit of a counter that does not exist raises #GP.
//   - RDPMC: general counter x as ECX = x (x below EAX[15:8]), fixed counter x as
//     ECX = 4000_0000h + x (x below EDX[4:0]); anything else raises #GP.
//   - WRMSR raises #GP for a reserved bit: IA32_PERFEVTSELx bits 63:32 are reserved, bit 21 is
//     AnyThread only from version 3 on. Bit 19 (pin control) and bit 20 (APIC interrupt on
//     overflow) are never written by this driver: an overflow interrupt nobody registered for
//     arrives through the performance-counter LVT entry, which Windows points at its profiling
//     handler or the NMI, and an NMI nobody claims is a bug check. IA32_FIXED_CTR_CTRL's
//     AnyThread and PMI bits are kept clear for the same reasons.
// The driver serves at most 8 general counters (IA32_PMC0..7, IA32_PERFEVTSEL0..7) and the
// three fixed counters of architectural events (IA32_FIXED_CTR0..2).
//
// AMD (Athlon x86 Code Optimization Guide, appendix D; Programmer's Manual vol. 2,
// "Performance Counters"): from the Athlon (family 6) on, four 48-bit counters PerfCtr0..3
// (C001_0004h..7) with their event selects PerfEvtSel0..3 (C001_0000h..3), whose layout is the
// same as Intel's in bits 31:0. They are not reported by CPUID: a processor of family 6 or
// later has them. Under a hypervisor (CPUID.1:ECX[31], which hypervisors set for their guests)
// that is no longer so: a guest without a virtual PMU may take #GP on these registers (Hyper-V,
// for one, reports cleared every feature bit it does not virtualise). There the driver serves them
// only when the hypervisor reports the core performance counter extension (CPUID
// 8000_0001h:ECX[23], PerfCtrExtCore), which a hypervisor that virtualises the counters reports;
// with it there are six counters (RDPMC 0..5), of which the legacy registers reach the first four.
// Event 76h counts the cycles the processor is not halted. The family-5 AuthenticAMD processors
// (K6, Geode) have no such counters.
//
// The TSC (10h) is there when CPUID.1:EDX[4] says so (every processor Windows XP runs on), and
// is only read: Windows keeps time with it and synchronises it across processors at start-up.
#include "driver/PerformanceCounters.h"

#include "driver/CpuIdentity.h"
#include "driver/RequestSupport.h"

namespace velmora::driver {

namespace {

constexpr uint32_t kTsc = 0x10;
constexpr uint32_t kIntelCounter0 = 0xC1;
constexpr uint32_t kIntelEventSelect0 = 0x186;
constexpr uint32_t kIntelFixedCounter0 = 0x309;
constexpr uint32_t kIntelFixedControl = 0x38D;
constexpr uint32_t kIntelGlobalStatus = 0x38E;
constexpr uint32_t kIntelGlobalControl = 0x38F;
constexpr uint32_t kAmdEventSelect0 = 0xC0010000;
constexpr uint32_t kAmdCounter0 = 0xC0010004;
constexpr uint32_t kAmdLegacyCounters = 4;
constexpr uint32_t kAmdCoreCounters = 6;
constexpr uint32_t kAmdCounterWidth = 48;
constexpr uint32_t kFirstAmdFamilyWithCounters = 6;

constexpr uint32_t kMaxGeneralCounters = 8;
constexpr uint32_t kMaxFixedCounters = 3;
constexpr uint32_t kRdpmcFixed = 0x40000000;

constexpr uint32_t kArchitecturalLeaf = 0x0A;
constexpr uint32_t kExtendedLeaves = 0x80000000;
constexpr uint32_t kExtendedFeatures = 0x80000001;
constexpr uint32_t kTscFeature = 1u << 4;          // CPUID.1:EDX
constexpr uint32_t kHypervisorPresent = 1u << 31;  // CPUID.1:ECX
constexpr uint32_t kPerfCtrExtCore = 1u << 23;     // CPUID.8000_0001h:ECX

// Event select bits the driver writes: event and unit mask (15:0), USR, OS, edge (18), EN (22),
// INV (23) and the counter mask (31:24). Not pin control (19), the overflow interrupt (20),
// AnyThread (21) or anything in the upper half.
constexpr uint64_t kWritableEventSelect = 0xFFC7FFFF;
constexpr uint64_t kEventSelectEnable = 1u << 22;
// IA32_FIXED_CTR_CTRL: the two enable bits (OS, USR) of each counter's four-bit field.
constexpr uint64_t kFixedEnableField = 0x3;

// Unhalted core cycles with USR | OS | EN: Intel's architectural event 3Ch, AMD's event 76h.
constexpr uint64_t kIntelUnhaltedCycles = 0x43003C;
constexpr uint64_t kAmdCyclesNotHalted = 0x430076;

uint32_t Smaller(uint32_t a, uint32_t b) {
  return a < b ? a : b;
}

// The bits below `width`, all 64 of them from 64 on.
uint64_t LowBits(uint32_t width) {
  return width >= 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1;
}

bool Fits(uint64_t value, uint32_t width) {
  return (value & ~LowBits(width)) == 0;
}

// The general counters reached through the legacy registers: all of Intel's the driver serves,
// AMD's first four.
uint32_t LegacyCounters(const CounterSupport& support) {
  return support.maker == kAmdCounters ? Smaller(support.generalCounters, kAmdLegacyCounters)
                                       : support.generalCounters;
}
uint32_t EventSelect0(const CounterSupport& support) {
  return support.maker == kAmdCounters ? kAmdEventSelect0 : kIntelEventSelect0;
}
uint32_t Counter0(const CounterSupport& support) {
  return support.maker == kAmdCounters ? kAmdCounter0 : kIntelCounter0;
}

// Whether the MSR lies in [first, first + count), with its index there.
bool InBlock(uint32_t msr, uint32_t first, uint32_t count, uint32_t* index) {
  if (msr < first || msr - first >= count) return false;
  *index = msr - first;
  return true;
}

void ProbeIntel(KernelServices& kernel, uint32_t maxLeaf, CounterSupport* support) {
  if (maxLeaf < kArchitecturalLeaf) return;
  uint32_t r[4] = {};
  kernel.CpuId(kArchitecturalLeaf, r);
  const uint32_t version = r[0] & 0xFF;
  if (version == 0) return;
  support->maker = kIntelCounters;
  support->generalCounters = Smaller((r[0] >> 8) & 0xFF, kMaxGeneralCounters);
  support->generalWidth = (r[0] >> 16) & 0xFF;
  support->coreCycleEvent = ((r[0] >> 24) & 0xFF) > 0 && (r[1] & 1) == 0;
  if (version < 2) return;
  support->globalControl = true;
  support->fixedCounters = Smaller(r[3] & 0x1F, kMaxFixedCounters);
  support->fixedWidth = (r[3] >> 5) & 0xFF;
}

void ProbeAmd(KernelServices& kernel, uint32_t signature, bool hypervisor,
              CounterSupport* support) {
  uint32_t r[4] = {};
  kernel.CpuId(kExtendedLeaves, r);
  bool extendedCore = false;
  if (r[0] >= kExtendedFeatures && r[0] < kExtendedLeaves + 0x10000) {
    kernel.CpuId(kExtendedFeatures, r);
    extendedCore = (r[2] & kPerfCtrExtCore) != 0;
  }
  const bool legacy = !hypervisor && FamilyOf(signature) >= kFirstAmdFamilyWithCounters;
  if (!extendedCore && !legacy) return;
  support->maker = kAmdCounters;
  support->generalCounters = extendedCore ? kAmdCoreCounters : kAmdLegacyCounters;
  support->generalWidth = kAmdCounterWidth;
  support->coreCycleEvent = true;
}

}  // namespace

CounterSupport ProbeCounters(KernelServices& kernel) {
  CounterSupport support = {};
  uint32_t r[4] = {};
  kernel.CpuId(0, r);
  const uint32_t maxLeaf = r[0];
  const bool intel = IsVendor(r, kIntelVendor);
  const bool amd = IsVendor(r, kAmdVendor);
  if (maxLeaf < 1) return support;
  kernel.CpuId(1, r);
  support.timeStampCounter = (r[3] & kTscFeature) != 0;
  if (intel) ProbeIntel(kernel, maxLeaf, &support);
  if (amd) ProbeAmd(kernel, r[0], (r[2] & kHypervisorPresent) != 0, &support);
  return support;
}

bool MayReadMsr(const CounterSupport& support, uint32_t msr) {
  if (msr == kTsc) return support.timeStampCounter;
  if (support.maker == 0) return false;
  uint32_t index = 0;
  const uint32_t legacy = LegacyCounters(support);
  if (InBlock(msr, EventSelect0(support), legacy, &index)) return true;
  if (InBlock(msr, Counter0(support), legacy, &index)) return true;
  if (support.maker != kIntelCounters) return false;
  if (InBlock(msr, kIntelFixedCounter0, support.fixedCounters, &index)) return true;
  return support.globalControl &&
         (msr == kIntelFixedControl || msr == kIntelGlobalStatus || msr == kIntelGlobalControl);
}

// Writes go to event selects and counters only, with values the register takes without #GP and
// that cannot raise an interrupt: never to the TSC, never to IA32_PERF_GLOBAL_CTRL (clearing
// its bits stops every counter the operating system or another tool runs), never to
// IA32_PERF_GLOBAL_STATUS (read-only).
bool MayWriteMsr(const CounterSupport& support, uint32_t msr, uint64_t value) {
  if (support.maker == 0) return false;
  uint32_t index = 0;
  const uint32_t legacy = LegacyCounters(support);
  if (InBlock(msr, EventSelect0(support), legacy, &index))
    return (value & ~kWritableEventSelect) == 0;
  if (InBlock(msr, Counter0(support), legacy, &index)) return Fits(value, support.generalWidth);
  if (support.maker != kIntelCounters) return false;
  if (InBlock(msr, kIntelFixedCounter0, support.fixedCounters, &index))
    return Fits(value, support.fixedWidth);
  if (msr == kIntelFixedControl && support.globalControl) {
    uint64_t writable = 0;
    for (uint32_t i = 0; i < support.fixedCounters; ++i) writable |= kFixedEnableField << (4 * i);
    return (value & ~writable) == 0;
  }
  return false;
}

bool MayReadPmc(const CounterSupport& support, uint32_t counter) {
  if (counter < support.generalCounters) return true;
  return support.maker == kIntelCounters && counter >= kRdpmcFixed &&
         counter - kRdpmcFixed < support.fixedCounters;
}

// A counter is free when its event select does not enable it. One whose event select is
// enabled belongs to someone (the operating system's profiler, another tool), counting or
// paused through IA32_PERF_GLOBAL_CTRL, and is left alone. The counter's value is never written:
// on Intel a WRMSR to IA32_PMCx keeps only bits 31:0 (sign-extended), so a value could not be
// put back; the answer is the difference of two readings instead.
uint32_t StartCoreCycles(KernelServices& kernel, const CounterSupport& support, uint32_t maker,
                         BorrowedCounter* borrowed) {
  if (support.maker != maker || support.generalCounters == 0 || !support.coreCycleEvent)
    return kStatusAccessDenied;
  const uint32_t counters = LegacyCounters(support);
  uint32_t index = 0;
  uint64_t saved = 0;
  for (; index < counters; ++index) {
    saved = kernel.ReadMsr(EventSelect0(support) + index);
    if ((saved & kEventSelectEnable) == 0) break;
  }
  if (index == counters) return protocol::kStatusDeviceBusy;

  borrowed->eventSelect = EventSelect0(support) + index;
  borrowed->counter = Counter0(support) + index;
  borrowed->widthMask = LowBits(support.generalWidth);
  borrowed->savedEventSelect = saved;
  borrowed->globalEnable = 0;
  borrowed->startCount = kernel.ReadMsr(borrowed->counter);
  kernel.WriteMsr(borrowed->eventSelect,
                  maker == kIntelCounters ? kIntelUnhaltedCycles : kAmdCyclesNotHalted);
  if (support.globalControl) {
    const uint64_t enable = uint64_t{1} << index;
    const uint64_t global = kernel.ReadMsr(kIntelGlobalControl);
    if ((global & enable) == 0) {
      borrowed->globalEnable = enable;
      kernel.WriteMsr(kIntelGlobalControl, global | enable);
    }
  }
  return protocol::kStatusSuccess;
}

// Only the bit set for the count is cleared again, from the register as it is now: anything
// else that changed it in the meantime stays.
uint64_t FinishCoreCycles(KernelServices& kernel, const BorrowedCounter& borrowed) {
  const uint64_t count = kernel.ReadMsr(borrowed.counter);
  kernel.WriteMsr(borrowed.eventSelect, borrowed.savedEventSelect);
  if (borrowed.globalEnable != 0) {
    kernel.WriteMsr(kIntelGlobalControl,
                    kernel.ReadMsr(kIntelGlobalControl) & ~borrowed.globalEnable);
  }
  return (count - borrowed.startCount) & borrowed.widthMask;
}

}  // namespace velmora::driver
