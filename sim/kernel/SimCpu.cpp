#include "sim/kernel/SimCpu.h"

namespace velmora::sim {
namespace {

constexpr std::uint32_t kIntelEventSelect0 = 0x186;
constexpr std::uint32_t kIntelPmc0 = 0xC1;
constexpr std::uint32_t kAmdEventSelect0 = 0xC0010000;
constexpr std::uint32_t kAmdCounter0 = 0xC0010004;
constexpr std::uint64_t kEnable = 1u << 22;
constexpr std::uint32_t kTsc = 0x10;
constexpr std::uint32_t kAmdNbCfg = 0xC001001F;

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

// Performance counters are 48 bits wide on both makers' processors.
constexpr std::uint64_t kCounterMask = (std::uint64_t{1} << 48) - 1;

}  // namespace

SimCpu::SimCpu(SimClock& clock, SimCpuVendor vendor) : clock_(clock), vendor_(vendor) {
  SetVendor(vendor);
  controlRegisters_[0] = 0x80050033;
  controlRegisters_[2] = 0;
  controlRegisters_[3] = 0x00185000;
  controlRegisters_[4] = 0x000406F9;
  controlRegisters_[8] = 0;
}

void SimCpu::SetVendor(SimCpuVendor vendor) {
  vendor_ = vendor;
  signature_ = vendor == SimCpuVendor::kIntel ? kIntelSignature : kAmdSignature;
}

void SimCpu::CpuId(std::uint32_t leaf, std::uint32_t registers[4]) const {
  const char* vendor = vendor_ == SimCpuVendor::kIntel ? "GenuineIntel" : "AuthenticAMD";
  registers[0] = registers[1] = registers[2] = registers[3] = 0;
  if (leaf == 0) {
    registers[0] = 0x0D;
    registers[1] = Pack(vendor);
    registers[3] = Pack(vendor + 4);
    registers[2] = Pack(vendor + 8);
  } else if (leaf == 1) {
    registers[0] = signature_;
  }
}

bool SimCpu::Absent(std::uint32_t msr) const {
  if (absent_.count(msr) != 0) return true;
  if (msr == kAmdNbCfg) return vendor_ != SimCpuVendor::kAmd || FamilyOf(signature_) < 0x10;
  return false;
}

std::uint32_t SimCpu::CounterOf(std::uint32_t eventSelect) const {
  if (vendor_ == SimCpuVendor::kIntel) {
    if (eventSelect == kIntelEventSelect0 || eventSelect == kIntelEventSelect0 + 1)
      return kIntelPmc0 + (eventSelect - kIntelEventSelect0);
  } else if (eventSelect >= kAmdEventSelect0 && eventSelect < kAmdEventSelect0 + 4) {
    return kAmdCounter0 + (eventSelect - kAmdEventSelect0);
  }
  return 0;
}

bool SimCpu::IsCounter(std::uint32_t msr) const {
  if (vendor_ == SimCpuVendor::kIntel) return msr == kIntelPmc0 || msr == kIntelPmc0 + 1;
  return msr >= kAmdCounter0 && msr < kAmdCounter0 + 4;
}

bool SimCpu::CountsCoreCycles(std::uint32_t, std::uint64_t value) const {
  if ((value & kEnable) == 0) return false;
  const std::uint64_t event = value & 0xFFFF;  // event and unit mask
  return vendor_ == SimCpuVendor::kIntel ? event == 0x003C : event == 0x0076;
}

std::uint64_t SimCpu::CounterValue(std::uint32_t counterMsr) const {
  const auto found = counters_.find(counterMsr);
  if (found == counters_.end()) return 0;
  const Counter& counter = found->second;
  const std::uint64_t counted = counter.counting ? CoreCycles() - counter.since : 0;
  return (counter.base + counted) & kCounterMask;
}

void SimCpu::WriteEventSelect(std::uint32_t eventSelect, std::uint64_t value) {
  const std::uint32_t counterMsr = CounterOf(eventSelect);
  Counter& counter = counters_[counterMsr];
  counter.base = CounterValue(counterMsr);
  counter.since = CoreCycles();
  counter.counting = CountsCoreCycles(eventSelect, value);
  msrs_[eventSelect] = value;
}

std::uint64_t SimCpu::ReadMsr(std::uint32_t msr) {
  if (Absent(msr)) {
    ++faults_;
    return 0;
  }
  if (msr == kTsc) return Tsc();
  if (IsCounter(msr)) return CounterValue(msr);
  const auto found = msrs_.find(msr);
  return found == msrs_.end() ? 0 : found->second;
}

void SimCpu::WriteMsr(std::uint32_t msr, std::uint64_t value) {
  msrWrites_.push_back({msr, value});
  if (Absent(msr)) {
    ++faults_;
    return;
  }
  if (CounterOf(msr) != 0) {
    WriteEventSelect(msr, value);
  } else if (IsCounter(msr)) {
    Counter& counter = counters_[msr];
    counter.base = value & kCounterMask;
    counter.since = CoreCycles();
  } else {
    msrs_[msr] = value;
  }
}

// RDPMC n reads the n-th general-purpose counter.
std::uint64_t SimCpu::ReadPmc(std::uint32_t counter) {
  const std::uint32_t msr =
      vendor_ == SimCpuVendor::kIntel ? kIntelPmc0 + counter : kAmdCounter0 + counter;
  if (!IsCounter(msr)) {
    ++faults_;
    return 0;
  }
  return CounterValue(msr);
}

bool SimCpu::ReadCr(std::uint32_t number, std::uint64_t* value) const {
  if (number == 8 && !longMode_) return false;
  const auto found = controlRegisters_.find(number);
  if (found == controlRegisters_.end()) return false;
  *value = longMode_ ? found->second : found->second & 0xFFFFFFFFu;
  return true;
}

}  // namespace velmora::sim
