// Model-specific registers, the time-stamp and performance counters, control registers, and
// the measurements of a counter across a stalled interval timed by the ACPI PM timer.
#include "driver/RequestHandler.h"
#include "driver/RequestSupport.h"

namespace velmora::driver {

namespace {

using Interval = protocol::IntervalRequest;
using Msr = protocol::MsrRequest;
using Cr = protocol::ControlRegisterRequest;

bool ReadableControlRegister(uint32_t number) {
  return number == 0 || number == 2 || number == 3 || number == 4 || number == 8;
}

// The PM timer counts at 3.579545 MHz and wraps at 24 or 32 bits; the difference of two
// readings across one wrap is right modulo the timer's width.
uint32_t TimerTicks(uint32_t first, uint32_t second, uint16_t timerIs32Bit) {
  const uint32_t ticks = second - first;
  return timerIs32Bit == 0 ? ticks & 0xFFFFFFu : ticks;
}

// Intel architectural performance monitoring: IA32_PERFEVTSEL0/1 (0x186/0x187) drive
// IA32_PMC0/1 (0xC1/0xC2). Event 0x3C umask 0 (unhalted core cycles), USR | OS | EN.
constexpr uint32_t kIntelEventSelect0 = 0x186;
constexpr uint32_t kIntelCounter0 = 0xC1;
constexpr uint64_t kIntelUnhaltedCycles = 0x43003C;
// AMD: PerfEvtSel0..3 (0xC0010000..3) drive PerfCtr0..3 (0xC0010004..7). Event 0x76 (cycles
// not halted), USR | OS | EN.
constexpr uint32_t kAmdEventSelect0 = 0xC0010000;
constexpr uint32_t kAmdCounter0 = 0xC0010004;
constexpr uint64_t kAmdCyclesNotHalted = 0x430076;
constexpr uint64_t kEventSelectEnable = 1u << 22;

}  // namespace

IoResult RequestHandler::ReadMsr(const IoRequest& request, uint32_t) {
  uint8_t* record = request.systemBuffer;
  const uint64_t value = kernel_.ReadMsr(Field32(record, offsetof(Msr, msr)));
  StoreU64Split(record + offsetof(Msr, low), record + offsetof(Msr, high), value);
  return Success(sizeof(Msr));
}

IoResult RequestHandler::WriteMsr(const IoRequest& request, uint32_t) {
  const uint8_t* record = request.systemBuffer;
  const uint64_t value = Field32(record, offsetof(Msr, low)) |
                         (static_cast<uint64_t>(Field32(record, offsetof(Msr, high))) << 32);
  kernel_.WriteMsr(Field32(record, offsetof(Msr, msr)), value);
  return Success(0);
}

IoResult RequestHandler::ReadTsc(const IoRequest& request, uint32_t) {
  uint8_t* record = request.systemBuffer;
  StoreU64Split(record + offsetof(protocol::TscRequest, low),
                record + offsetof(protocol::TscRequest, high), kernel_.ReadTsc());
  return Success(sizeof(protocol::TscRequest));
}

IoResult RequestHandler::ReadPmc(const IoRequest& request, uint32_t) {
  uint8_t* record = request.systemBuffer;
  const uint64_t value = kernel_.ReadPmc(Field32(record, offsetof(protocol::PmcRequest, counter)));
  StoreU64Split(record + offsetof(protocol::PmcRequest, low),
                record + offsetof(protocol::PmcRequest, high), value);
  return Success(sizeof(protocol::PmcRequest));
}

// The register is answered as the processor holds it: its low half at +8 and its upper half at
// +12. A 32-bit processor's registers have no upper half (0); in 64-bit mode CR0 and CR4 have
// only reserved zeros there and CR3 the high bits of the page-map table's physical address.
// Bit 31 of CR0 (paging) is a flag like the others, not a sign.
IoResult RequestHandler::ReadControlRegister(const IoRequest& request, uint32_t) {
  uint8_t* record = request.systemBuffer;
  const uint32_t number = Field32(record, offsetof(Cr, number));
  uint64_t value = 0;
  if (!ReadableControlRegister(number) || !kernel_.ReadControlRegister(number, &value)) {
    return Failure(protocol::kStatusUnsuccessful);
  }
  StoreU64Split(record + offsetof(Cr, value), record + offsetof(Cr, upper), value);
  return Success(sizeof(Cr));
}

// Control registers are never written, whatever the request carries. A new CR3 switches the
// address space under the running thread, clearing CR0.PG or CR0.PE or changing CR4's paging
// bits takes the kernel's mappings away, clearing CR0.WP or CR4.SMEP/SMAP removes protections
// the kernel relies on, and CR8 masks interrupts below the level the kernel believes it runs
// at. Each ends in a crash, and on 64-bit Windows the kernel's patch protection checks CR0 and
// CR4 and stops the machine when they change. The program itself never asks for a write.
IoResult RequestHandler::RefuseControlRegisterWrite(const IoRequest&, uint32_t) {
  return Failure(kStatusAccessDenied);
}

uint32_t RequestHandler::ReadTimer(const uint8_t* record) {
  return kernel_.PortIn(LoadU16(record + offsetof(Interval, timerPort)), PortWidth::kDword);
}

// Runs at dispatch level throughout, so that nothing pre-empts the thread between readings.
// The stall is bounded: a processor held at dispatch level for longer starves its DPCs.
IoResult RequestHandler::MeasureMsr(const IoRequest& request, uint32_t) {
  uint8_t* record = request.systemBuffer;
  const uint32_t interval = Field32(record, offsetof(Interval, interval));
  if (interval > protocol::kMaxIntervalMicroseconds)
    return Failure(protocol::kStatusInvalidParameter);
  const uint32_t msr = Field32(record, offsetof(Interval, msr));

  const uint8_t previous = kernel_.RaiseIrqlToDispatch();
  const uint32_t timer0 = ReadTimer(record);
  const uint64_t count0 = kernel_.ReadMsr(msr);
  kernel_.StallMicroseconds(interval);
  const uint32_t timer1 = ReadTimer(record);
  const uint64_t count1 = kernel_.ReadMsr(msr);
  kernel_.LowerIrql(previous);

  StoreU32(record + offsetof(Interval, interval),
           TimerTicks(timer0, timer1, LoadU16(record + offsetof(Interval, timerIs32Bit))));
  StoreU64Split(record + offsetof(Interval, countLow), record + offsetof(Interval, countHigh),
                count1 - count0);
  return Success(sizeof(Interval));
}

// Programs a free core-clock counter for unhalted cycles, counts across the interval, and
// answers the counter's final value.
IoResult RequestHandler::MeasureCoreCycles(const IoRequest& request, uint32_t vendor) {
  uint8_t* record = request.systemBuffer;
  const uint32_t interval = Field32(record, offsetof(Interval, interval));
  if (interval > protocol::kMaxIntervalMicroseconds)
    return Failure(protocol::kStatusInvalidParameter);

  const uint8_t previous = kernel_.RaiseIrqlToDispatch();
  uint32_t eventSelect = 0;
  uint32_t counter = 0;
  uint64_t event = 0;
  if (vendor == kIntelCounters) {
    // Counter 0 unless something already uses it.
    const uint32_t index = (kernel_.ReadMsr(kIntelEventSelect0) & kEventSelectEnable) ? 1 : 0;
    eventSelect = kIntelEventSelect0 + index;
    counter = kIntelCounter0 + index;
    event = kIntelUnhaltedCycles;
  } else {
    // The first of the four counters not in use; the fourth when all are.
    uint32_t index = 0;
    while (index < 3 && (kernel_.ReadMsr(kAmdEventSelect0 + index) & kEventSelectEnable)) ++index;
    eventSelect = kAmdEventSelect0 + index;
    counter = kAmdCounter0 + index;
    event = kAmdCyclesNotHalted;
  }
  kernel_.WriteMsr(counter, 0);
  kernel_.WriteMsr(eventSelect, event);
  const uint32_t timer0 = ReadTimer(record);
  kernel_.StallMicroseconds(interval);
  const uint32_t timer1 = ReadTimer(record);
  const uint64_t count = kernel_.ReadMsr(counter);
  kernel_.WriteMsr(eventSelect, 0);
  kernel_.LowerIrql(previous);

  StoreU32(record + offsetof(Interval, interval),
           TimerTicks(timer0, timer1, LoadU16(record + offsetof(Interval, timerIs32Bit))));
  StoreU64Split(record + offsetof(Interval, countLow), record + offsetof(Interval, countHigh),
                count);
  return Success(sizeof(Interval));
}

}  // namespace velmora::driver
