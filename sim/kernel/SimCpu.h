// The processor the simulated driver runs on, as far as its register instructions reach:
// model-specific registers, the time-stamp counter, the performance counters and the control
// registers. The core counters are driven by the simulated clock:
//   - the TSC counts at the TSC rate from time 0;
//   - Intel: IA32_PERFEVTSEL0/1 (0x186/0x187) with the enable bit 22 and event 0x3C (unhalted
//     core cycles) make IA32_PMC0/1 (0xC1/0xC2) count core cycles;
//   - AMD: PerfEvtSel0..3 (0xC0010000..3) with bit 22 and event 0x76 make PerfCtr0..3
//     (0xC0010004..7) count core cycles.
// Any other MSR reads what was last written (0 when never written). Reading or writing an MSR
// the processor does not have raises #GP on real hardware; here it is counted instead. AMD's
// NB_CFG (C001_001F, whose bit 46 lets port 0xCF8 reach extended configuration registers)
// exists only on AMD processors of family 10h and later.
//
// CPUID, as kernel code executes it, answers the vendor (leaf 0) and the signature (leaf 1).
// Control registers are as wide as the mode: 32 bits in 32-bit mode, 64 in 64-bit mode.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "sim/kernel/SimClock.h"

namespace velmora::sim {

enum class SimCpuVendor { kIntel, kAmd };

class SimCpu {
 public:
  SimCpu(SimClock& clock, SimCpuVendor vendor = SimCpuVendor::kIntel);

  // The vendor also picks a signature of that maker (family 6 for Intel, 10h for AMD).
  void SetVendor(SimCpuVendor vendor);
  // CPUID leaf 1 EAX: stepping, model, family (0Fh plus the extended family from 10h on).
  void SetSignature(std::uint32_t signature) { signature_ = signature; }
  void SetCoreHertz(std::uint64_t hertz) { coreHertz_ = hertz; }
  void SetTscHertz(std::uint64_t hertz) { tscHertz_ = hertz; }
  // 64-bit mode has CR8 (the task priority register); 32-bit mode has none.
  void SetLongMode(bool longMode) { longMode_ = longMode; }
  // MSRs that raise #GP when touched.
  void MakeMsrAbsent(std::uint32_t msr) { absent_.insert(msr); }

  std::uint64_t ReadMsr(std::uint32_t msr);
  void WriteMsr(std::uint32_t msr, std::uint64_t value);
  std::uint64_t Tsc() const { return clock_.CyclesAt(tscHertz_); }
  std::uint64_t ReadPmc(std::uint32_t counter);
  // MOV from CRn; false when the mode has no such register.
  bool ReadCr(std::uint32_t number, std::uint64_t* value) const;
  // What the operating system put there; a 32-bit processor keeps the low 32 bits.
  void SetCr(std::uint32_t number, std::uint64_t value) { controlRegisters_[number] = value; }
  // EAX, EBX, ECX, EDX of CPUID.
  void CpuId(std::uint32_t leaf, std::uint32_t registers[4]) const;

  struct MsrWrite {
    std::uint32_t msr;
    std::uint64_t value;
  };
  const std::vector<MsrWrite>& MsrWrites() const { return msrWrites_; }
  int GeneralProtectionFaults() const { return faults_; }

 private:
  struct Counter {
    std::uint64_t base = 0;   // value when counting last (re)started or stopped
    std::uint64_t since = 0;  // core cycles at that moment
    bool counting = false;
  };
  // The counter an event select drives, or 0 when msr is no event select.
  std::uint32_t CounterOf(std::uint32_t eventSelect) const;
  bool CountsCoreCycles(std::uint32_t eventSelect, std::uint64_t value) const;
  std::uint64_t CoreCycles() const { return clock_.CyclesAt(coreHertz_); }
  std::uint64_t CounterValue(std::uint32_t counterMsr) const;
  void WriteEventSelect(std::uint32_t eventSelect, std::uint64_t value);
  bool IsCounter(std::uint32_t msr) const;
  bool Absent(std::uint32_t msr) const;

  SimClock& clock_;
  SimCpuVendor vendor_;
  std::uint32_t signature_ = 0;
  std::uint64_t coreHertz_ = 3400000000u;
  std::uint64_t tscHertz_ = 3400000000u;
  bool longMode_ = false;
  std::map<std::uint32_t, std::uint64_t> msrs_;
  std::map<std::uint32_t, Counter> counters_;
  std::map<std::uint32_t, std::uint64_t> controlRegisters_;
  std::set<std::uint32_t> absent_;
  std::vector<MsrWrite> msrWrites_;
  int faults_ = 0;
};

}  // namespace velmora::sim
