#include "sim/kernel/SimCpu.h"

#include <algorithm>

namespace velmora::sim {
namespace {

constexpr std::uint32_t kTsc = 0x10;
constexpr std::uint32_t kIntelPmc0 = 0xC1;
constexpr std::uint32_t kIntelEventSelect0 = 0x186;
constexpr std::uint32_t kIntelFixedCounter0 = 0x309;
constexpr std::uint32_t kIntelFixedCounterLast = 0x30F;
constexpr std::uint32_t kIntelFixedControl = 0x38D;
constexpr std::uint32_t kIntelGlobalStatus = 0x38E;
constexpr std::uint32_t kIntelGlobalControl = 0x38F;
constexpr std::uint32_t kIntelGlobalOverflowControl = 0x390;
constexpr std::uint32_t kAmdEventSelect0 = 0xC0010000;
constexpr std::uint32_t kAmdCounter0 = 0xC0010004;
constexpr std::uint32_t kAmdCoreEventSelect0 = 0xC0010200;  // PerfEvtSel0, PerfCtr0, PerfEvtSel1...
constexpr std::uint32_t kAmdCoreCounters = 6;
constexpr std::uint32_t kAmdNbCfg = 0xC001001F;
constexpr std::uint32_t kRdpmcFixed = 0x40000000;

constexpr std::uint64_t kEnable = 1u << 22;
constexpr std::uint64_t kAnyThread = 1u << 21;
constexpr std::uint32_t kExtendedLeaves = 0x80000000;

// Family 6 model 3Ch (Haswell); family 10h model 4 (Phenom II): 0Fh + extended family 1.
constexpr std::uint32_t kIntelSignature = 0x000306C3;
constexpr std::uint32_t kAmdSignature = 0x00100F42;

std::uint32_t FamilyOf(std::uint32_t signature) {
  const std::uint32_t family = (signature >> 8) & 0xF;
  return family == 0xF ? family + ((signature >> 20) & 0xFF) : family;
}

// Four characters of the vendor string as CPUID packs them into a register.
constexpr std::uint32_t Pack(const char* text) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(text[3])) << 24;
}

// The bits below `width`, all 64 of them from 64 on.
constexpr std::uint64_t LowBits(std::uint32_t width) {
  return width >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << width) - 1;
}

}  // namespace

SimCpuModel SimCpuModel::Intel() {
  SimCpuModel model;
  model.vendor = SimCpuVendor::kIntel;
  model.signature = kIntelSignature;
  model.maxLeaf = 0x0D;
  model.maxExtendedLeaf = 0x80000008;
  model.perfmonVersion = 3;
  model.generalCounters = 4;
  model.generalWidth = 48;
  model.fixedCounters = 3;
  model.fixedWidth = 48;
  return model;
}

SimCpuModel SimCpuModel::Amd() {
  SimCpuModel model;
  model.vendor = SimCpuVendor::kAmd;
  model.signature = kAmdSignature;
  model.maxLeaf = 0x05;
  model.maxExtendedLeaf = 0x8000001B;
  model.amdLegacyCounters = true;
  return model;
}

SimCpuModel SimCpuModel::IntelGuestWithoutCounters() {
  SimCpuModel model = Intel();
  model.hypervisor = true;
  model.perfmonVersion = model.generalCounters = model.generalWidth = 0;
  model.fixedCounters = model.fixedWidth = 0;
  return model;
}

SimCpuModel SimCpuModel::AmdGuestWithoutCounters() {
  SimCpuModel model = Amd();
  model.signature = 0x00800F82;  // family 17h (0Fh + 8) model 8 (Zen+)
  model.maxLeaf = 0x0D;
  model.maxExtendedLeaf = 0x8000001F;
  model.hypervisor = true;
  model.amdLegacyCounters = false;
  return model;
}

SimCpu::SimCpu(SimClock& clock, SimCpuVendor vendor) : clock_(clock) {
  SetVendor(vendor);
  controlRegisters_[0] = 0x80050033;
  controlRegisters_[2] = 0;
  controlRegisters_[3] = 0x00185000;
  controlRegisters_[4] = 0x000406F9;
  controlRegisters_[8] = 0;
}

void SimCpu::SetVendor(SimCpuVendor vendor) {
  SetModel(vendor == SimCpuVendor::kIntel ? SimCpuModel::Intel() : SimCpuModel::Amd());
}

void SimCpu::SetModel(const SimCpuModel& model) {
  model_ = model;
  for (std::uint32_t i = 0; i < kMaxGeneral; ++i) {
    counters_[i] = Counter{};
    selects_[i] = 0;
  }
  msrs_.erase(kIntelGlobalControl);
  msrs_.erase(kIntelFixedControl);
  // IA32_PERF_GLOBAL_CTRL after a reset: the enable bits of the general counters set, the
  // fixed counters' clear.
  if (IsIntel() && model_.perfmonVersion >= 2) msrs_[kIntelGlobalControl] = GeneralMask();
}

void SimCpu::CpuId(std::uint32_t leaf, std::uint32_t registers[4]) const {
  registers[0] = registers[1] = registers[2] = registers[3] = 0;
  const bool extended = leaf >= kExtendedLeaves;
  if (extended ? leaf > model_.maxExtendedLeaf : leaf > model_.maxLeaf) {
    if (!IsIntel()) return;
    leaf = model_.maxLeaf;  // Intel: the highest basic leaf's data
  }
  const char* vendor = IsIntel() ? "GenuineIntel" : "AuthenticAMD";
  switch (leaf) {
    case 0:
      registers[0] = model_.maxLeaf;
      registers[1] = Pack(vendor);
      registers[3] = Pack(vendor + 4);
      registers[2] = Pack(vendor + 8);
      break;
    case 1:
      registers[0] = model_.signature;
      registers[2] = model_.hypervisor ? 1u << 31 : 0;
      registers[3] = (model_.timeStampCounter ? 1u << 4 : 0) | 1u << 5;
      break;
    case 6:
      if (IsIntel()) registers[0] = 1u << 2;
      break;
    case 0x0A:
      if (!IsIntel() || model_.perfmonVersion == 0) break;
      registers[0] = model_.perfmonVersion | model_.generalCounters << 8 |
                     model_.generalWidth << 16 | 7u << 24;
      registers[1] = model_.coreCycleEvent ? 0 : 1;
      if (model_.perfmonVersion >= 2) registers[3] = model_.fixedCounters | model_.fixedWidth << 5;
      break;
    case kExtendedLeaves:
      registers[0] = model_.maxExtendedLeaf;
      break;
    case kExtendedLeaves + 1:
      if (IsIntel()) break;
      registers[0] = model_.signature;
      registers[2] = model_.perfCtrExtCore ? 1u << 23 : 0;
      break;
    default:
      break;
  }
}

bool SimCpu::SelectIndex(std::uint32_t msr, std::uint32_t* index) const {
  if (IsIntel()) {
    if (msr < kIntelEventSelect0 || msr >= kIntelEventSelect0 + kMaxGeneral) return false;
    *index = msr - kIntelEventSelect0;
    return true;
  }
  if (msr >= kAmdEventSelect0 && msr < kAmdEventSelect0 + 4) {
    *index = msr - kAmdEventSelect0;
    return true;
  }
  if (msr >= kAmdCoreEventSelect0 && msr < kAmdCoreEventSelect0 + 2 * kAmdCoreCounters &&
      (msr - kAmdCoreEventSelect0) % 2 == 0) {
    *index = (msr - kAmdCoreEventSelect0) / 2;
    return true;
  }
  return false;
}

bool SimCpu::CounterIndex(std::uint32_t msr, std::uint32_t* index) const {
  if (IsIntel()) {
    if (msr < kIntelPmc0 || msr >= kIntelPmc0 + kMaxGeneral) return false;
    *index = msr - kIntelPmc0;
    return true;
  }
  if (msr >= kAmdCounter0 && msr < kAmdCounter0 + 4) {
    *index = msr - kAmdCounter0;
    return true;
  }
  if (msr > kAmdCoreEventSelect0 && msr < kAmdCoreEventSelect0 + 2 * kAmdCoreCounters &&
      (msr - kAmdCoreEventSelect0) % 2 == 1) {
    *index = (msr - kAmdCoreEventSelect0) / 2;
    return true;
  }
  return false;
}

bool SimCpu::Absent(std::uint32_t msr) const {
  if (absent_.count(msr) != 0) return true;
  if (msr == kTsc) return !model_.timeStampCounter;
  if (msr == kAmdNbCfg) return IsIntel() || FamilyOf(model_.signature) < 0x10;

  const bool intelGeneral = (msr >= kIntelPmc0 && msr < kIntelPmc0 + kMaxGeneral) ||
                            (msr >= kIntelEventSelect0 && msr < kIntelEventSelect0 + kMaxGeneral);
  const bool intelFixed = msr >= kIntelFixedCounter0 && msr <= kIntelFixedCounterLast;
  const bool intelGlobal = msr >= kIntelFixedControl && msr <= kIntelGlobalOverflowControl;
  if (intelGeneral || intelFixed || intelGlobal) {
    if (!IsIntel()) return true;
    std::uint32_t index = 0;
    if (intelGeneral) {
      if (!SelectIndex(msr, &index)) CounterIndex(msr, &index);
      return model_.perfmonVersion == 0 || index >= model_.generalCounters;
    }
    if (model_.perfmonVersion < 2) return true;
    return intelFixed && msr - kIntelFixedCounter0 >= model_.fixedCounters;
  }

  const bool amdLegacy = msr >= kAmdEventSelect0 && msr < kAmdCounter0 + 4;
  const bool amdCore =
      msr >= kAmdCoreEventSelect0 && msr < kAmdCoreEventSelect0 + 2 * kAmdCoreCounters;
  if (amdLegacy || amdCore) {
    if (IsIntel()) return true;
    return amdLegacy ? !(model_.amdLegacyCounters || model_.perfCtrExtCore)
                     : !model_.perfCtrExtCore;
  }
  return false;
}

bool SimCpu::SetsReservedBits(std::uint32_t msr, std::uint64_t value) const {
  if (!IsIntel()) return false;
  std::uint32_t index = 0;
  if (SelectIndex(msr, &index)) {
    const std::uint64_t reserved =
        ~LowBits(32) | (model_.perfmonVersion < 3 ? kAnyThread : std::uint64_t{0});
    return (value & reserved) != 0;
  }
  if (msr >= kIntelFixedCounter0 && msr <= kIntelFixedCounterLast)
    return (value & ~LowBits(model_.fixedWidth)) != 0;
  if (msr == kIntelFixedControl) return (value & ~LowBits(4 * model_.fixedCounters)) != 0;
  if (msr == kIntelGlobalControl)
    return (value & ~(GeneralMask() | LowBits(model_.fixedCounters) << 32)) != 0;
  return msr == kIntelGlobalStatus;  // read-only
}

std::uint64_t SimCpu::GeneralMask() const {
  return LowBits(std::min(model_.generalCounters, kMaxGeneral));
}

std::uint32_t SimCpu::RdpmcGeneralCounters() const {
  if (IsIntel()) {
    return model_.perfmonVersion == 0 ? 0 : std::min(model_.generalCounters, kMaxGeneral);
  }
  if (model_.perfCtrExtCore) return kAmdCoreCounters;
  return model_.amdLegacyCounters ? 4 : 0;
}

bool SimCpu::Counts(std::uint32_t index) const {
  const std::uint64_t select = selects_[index];
  if ((select & kEnable) == 0) return false;
  if (IsIntel()) {
    if ((select & 0xFFFF) != 0x003C || !model_.coreCycleEvent) return false;
    if (model_.perfmonVersion >= 2) {
      const auto global = msrs_.find(kIntelGlobalControl);
      return global != msrs_.end() && (global->second >> index & 1) != 0;
    }
    return true;
  }
  return (select & 0xF0000FFFF) == 0x0076;  // event 076h, EventSelect[11:8] = 0, unit mask 0
}

std::uint64_t SimCpu::CounterValue(std::uint32_t index) const {
  const Counter& counter = counters_[index];
  const std::uint64_t counted = counter.counting ? CoreCycles() - counter.since : 0;
  return (counter.base + counted) & LowBits(IsIntel() ? model_.generalWidth : 48);
}

void SimCpu::Recount(std::uint32_t index) {
  Counter& counter = counters_[index];
  counter.base = CounterValue(index);
  counter.since = CoreCycles();
  counter.counting = Counts(index);
}

std::uint64_t SimCpu::ReadMsr(std::uint32_t msr) {
  if (Absent(msr)) {
    ++faults_;
    return 0;
  }
  if (msr == kTsc) return Tsc();
  std::uint32_t index = 0;
  if (SelectIndex(msr, &index)) return selects_[index];
  if (CounterIndex(msr, &index)) return CounterValue(index);
  const auto found = msrs_.find(msr);
  return found == msrs_.end() ? 0 : found->second;
}

void SimCpu::WriteMsr(std::uint32_t msr, std::uint64_t value) {
  msrWrites_.push_back({msr, value});
  if (Absent(msr) || SetsReservedBits(msr, value)) {
    ++faults_;
    return;
  }
  std::uint32_t index = 0;
  if (SelectIndex(msr, &index)) {
    selects_[index] = value;
    Recount(index);
  } else if (CounterIndex(msr, &index)) {
    Counter& counter = counters_[index];
    if (IsIntel()) {
      // Bits 31:0, bit 31 repeated up to the counter's width.
      const std::uint64_t low = value & LowBits(32);
      value = (low >> 31) != 0 ? low | ~LowBits(32) : low;
      counter.base = value & LowBits(model_.generalWidth);
    } else {
      counter.base = value & LowBits(48);
    }
    counter.since = CoreCycles();
  } else {
    msrs_[msr] = value;
    if (msr == kIntelGlobalControl && IsIntel()) {
      for (std::uint32_t i = 0; i < kMaxGeneral; ++i) Recount(i);
    }
  }
}

std::uint64_t SimCpu::ReadPmc(std::uint32_t counter) {
  if (counter < RdpmcGeneralCounters()) return CounterValue(counter);
  if (IsIntel() && model_.perfmonVersion >= 2 && (counter & ~kRdpmcFixed) < model_.fixedCounters &&
      (counter & kRdpmcFixed) != 0) {
    const auto found = msrs_.find(kIntelFixedCounter0 + (counter & ~kRdpmcFixed));
    return found == msrs_.end() ? 0 : found->second;
  }
  ++faults_;
  return 0;
}

bool SimCpu::ReadCr(std::uint32_t number, std::uint64_t* value) const {
  if (number == 8 && !longMode_) return false;
  const auto found = controlRegisters_.find(number);
  if (found == controlRegisters_.end()) return false;
  *value = longMode_ ? found->second : found->second & 0xFFFFFFFFu;
  return true;
}

}  // namespace velmora::sim
