// The processor the simulated driver runs on, as far as its register instructions reach:
// CPUID, model-specific registers, the time-stamp counter, the performance counters and the
// control registers.
//
// A model (SimCpuModel) says what the processor is and has: its maker and signature, its
// highest CPUID leaves, whether it runs under a hypervisor, and its performance-monitoring
// hardware. CPUID, as kernel code executes it, answers from the model:
//   - leaf 0: the highest basic leaf and the vendor; leaf 1: the signature in EAX, the
//     hypervisor bit ECX[31], TSC EDX[4] and MSR EDX[5];
//   - leaf 6 (Intel): EAX[2], the always-running APIC timer;
//   - leaf 0Ah (Intel): architectural performance monitoring: version EAX[7:0], general
//     counters EAX[15:8], their width EAX[23:16], the length of the event vector EAX[31:24],
//     EBX[0] set when unhalted core cycles cannot be counted, and from version 2 the fixed
//     counters EDX[4:0] and their width EDX[12:5];
//   - leaf 8000_0000h: the highest extended leaf; 8000_0001h (AMD): the signature and
//     PerfCtrExtCore, ECX[23].
// An Intel processor answers a leaf above its highest basic or extended leaf with the data of
// its highest basic leaf (so leaf 0Ah on a processor, or a hypervisor, stopping at leaf 6 reads
// leaf 6); an AMD processor answers zeros.
//
// A model-specific register the modelled processor does not implement raises #GP on real
// hardware, and so does a WRMSR that sets a reserved bit; here both are counted instead
// (GeneralProtectionFaults) and the access does nothing. What exists follows the model:
//   - the TSC (10h) when CPUID reports one;
//   - Intel, architectural performance monitoring version 1 and later: IA32_PERFEVTSELx
//     (186h + x) and IA32_PMCx (C1h + x) for x below the general counters (at most 8);
//     version 2 and later: IA32_FIXED_CTRx (309h + x) for x below the fixed counters,
//     IA32_FIXED_CTR_CTRL (38Dh), IA32_PERF_GLOBAL_STATUS (38Eh, read-only),
//     IA32_PERF_GLOBAL_CTRL (38Fh) and IA32_PERF_GLOBAL_OVF_CTRL (390h). None of them exist on
//     an AMD processor, nor with version 0 (a virtual machine without performance counters);
//   - AMD: the legacy PerfEvtSel0..3 (C001_0000h..3) and PerfCtr0..3 (C001_0004h..7) when the
//     model has them, and with PerfCtrExtCore the six counters of the core extension
//     (PerfEvtSeln at C001_0200h + 2n, PerfCtrn at C001_0201h + 2n; the legacy registers are
//     the first four of them). None exist on an Intel processor. NB_CFG (C001_001Fh, whose bit
//     46 lets port 0xCF8 reach extended configuration registers) exists only on AMD processors
//     of family 10h and later;
//   - any other MSR reads what was last written (0 when never written), unless a test made it
//     absent (MakeMsrAbsent).
// Reserved bits that raise #GP when written (Intel): IA32_PERFEVTSELx bits 63:32 (and the
// AnyThread bit 21 before version 3), fixed-counter bits above their width, the
// IA32_FIXED_CTR_CTRL fields of fixed counters that do not exist, IA32_PERF_GLOBAL_CTRL bits of
// counters that do not exist; IA32_PERF_GLOBAL_STATUS cannot be written at all.
//
// The general counters count core cycles, driven by the simulated clock, while their event
// select has the enable bit 22 and the unhalted-core-cycles event (Intel 3Ch, AMD 76h, unit
// mask 0) and, on Intel from version 2 on, the counter's enable bit in IA32_PERF_GLOBAL_CTRL is
// set (at reset its bits of the general counters are set and the others clear). A WRMSR to an
// Intel IA32_PMCx writes bits 31:0 and sign-extends bit 31 up to the counter's width; AMD's
// counters take the 48 bits written. RDPMC n reads general counter n (Intel: n below the
// general counters, or fixed counter x as 4000_0000h + x; AMD: n below 4, or 6 with
// PerfCtrExtCore) and raises #GP for any other n. The TSC counts at the TSC rate from time 0.
//
// Control registers are as wide as the mode: 32 bits in 32-bit mode, 64 in 64-bit mode.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "sim/kernel/SimClock.h"

namespace velmora::sim {

enum class SimCpuVendor { kIntel, kAmd };

struct SimCpuModel {
  SimCpuVendor vendor = SimCpuVendor::kIntel;
  std::uint32_t signature = 0;        // CPUID.1:EAX
  std::uint32_t maxLeaf = 0;          // CPUID.0:EAX
  std::uint32_t maxExtendedLeaf = 0;  // CPUID.8000_0000h:EAX
  bool hypervisor = false;            // CPUID.1:ECX[31]
  bool timeStampCounter = true;       // CPUID.1:EDX[4]
  // Intel architectural performance monitoring (leaf 0Ah).
  std::uint32_t perfmonVersion = 0;
  std::uint32_t generalCounters = 0;
  std::uint32_t generalWidth = 0;
  std::uint32_t fixedCounters = 0;
  std::uint32_t fixedWidth = 0;
  bool coreCycleEvent = true;  // EBX[0] clear
  // AMD: the four legacy counters, and the core performance counter extensions.
  bool amdLegacyCounters = false;
  bool perfCtrExtCore = false;

  // Family 6 model 3Ch (Haswell): version 3, four 48-bit general counters, three 48-bit fixed
  // counters.
  static SimCpuModel Intel();
  // Family 10h model 4 (Phenom II, 0Fh + extended family 1): the four legacy counters.
  static SimCpuModel Amd();
  // Guests of a hypervisor that gives them no performance counters: the Intel model with
  // leaf 0Ah all zero; a family 17h processor with neither the legacy counters nor
  // PerfCtrExtCore. Both report the hypervisor bit.
  static SimCpuModel IntelGuestWithoutCounters();
  static SimCpuModel AmdGuestWithoutCounters();
};

class SimCpu {
 public:
  SimCpu(SimClock& clock, SimCpuVendor vendor = SimCpuVendor::kIntel);

  // The processor: its CPUID answers and which registers exist. Counters and their controls
  // start as after a reset.
  void SetModel(const SimCpuModel& model);
  const SimCpuModel& Model() const { return model_; }
  // The model of that maker (SimCpuModel::Intel or ::Amd).
  void SetVendor(SimCpuVendor vendor);
  // CPUID leaf 1 EAX: stepping, model, family (0Fh plus the extended family from 10h on).
  void SetSignature(std::uint32_t signature) { model_.signature = signature; }
  void SetCoreHertz(std::uint64_t hertz) { coreHertz_ = hertz; }
  void SetTscHertz(std::uint64_t hertz) { tscHertz_ = hertz; }
  // 64-bit mode has CR8 (the task priority register); 32-bit mode has none.
  void SetLongMode(bool longMode) { longMode_ = longMode; }
  // MSRs that raise #GP when touched, whatever the model.
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
  // Every WRMSR executed, including those that raised #GP.
  const std::vector<MsrWrite>& MsrWrites() const { return msrWrites_; }
  int GeneralProtectionFaults() const { return faults_; }

 private:
  static constexpr std::uint32_t kMaxGeneral = 8;
  struct Counter {
    std::uint64_t base = 0;   // value when counting last (re)started or stopped
    std::uint64_t since = 0;  // core cycles at that moment
    bool counting = false;
  };
  bool IsIntel() const { return model_.vendor == SimCpuVendor::kIntel; }
  // The general counter an event select or a counter register belongs to (whether or not this
  // processor has it); false when the MSR is neither.
  bool SelectIndex(std::uint32_t msr, std::uint32_t* index) const;
  bool CounterIndex(std::uint32_t msr, std::uint32_t* index) const;
  bool Absent(std::uint32_t msr) const;
  bool SetsReservedBits(std::uint32_t msr, std::uint64_t value) const;
  std::uint32_t RdpmcGeneralCounters() const;
  std::uint64_t GeneralMask() const;
  std::uint64_t CoreCycles() const { return clock_.CyclesAt(coreHertz_); }
  bool Counts(std::uint32_t index) const;
  std::uint64_t CounterValue(std::uint32_t index) const;
  // Takes the counter's value so far and starts or stops it as its controls now say.
  void Recount(std::uint32_t index);

  SimClock& clock_;
  SimCpuModel model_;
  std::uint64_t coreHertz_ = 3400000000u;
  std::uint64_t tscHertz_ = 3400000000u;
  bool longMode_ = false;
  std::map<std::uint32_t, std::uint64_t> msrs_;
  Counter counters_[kMaxGeneral];
  std::uint64_t selects_[kMaxGeneral] = {};
  std::map<std::uint32_t, std::uint64_t> controlRegisters_;
  std::set<std::uint32_t> absent_;
  std::vector<MsrWrite> msrWrites_;
  int faults_ = 0;
};

}  // namespace velmora::sim
