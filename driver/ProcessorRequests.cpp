// Model-specific registers, the time-stamp and performance counters, control registers, and
// the measurements of a counter across a stalled interval timed by the ACPI PM timer.
//
// Only the registers PerformanceCounters.h allows on this processor are read or written; any
// other register, or one this processor does not have, is refused with STATUS_ACCESS_DENIED
// before an instruction touches it (RDMSR, WRMSR or RDPMC on it would raise #GP, a bug check in
// kernel mode). Each of these requests checks and accesses at DISPATCH_LEVEL, on one processor.
#include "driver/PerformanceCounters.h"
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

}  // namespace

IoResult RequestHandler::ReadMsr(const IoRequest& request, uint32_t) {
  uint8_t* record = request.systemBuffer;
  const uint32_t msr = Field32(record, offsetof(Msr, msr));
  const uint8_t previous = kernel_.RaiseIrqlToDispatch();
  const bool allowed = MayReadMsr(ProbeCounters(kernel_), msr);
  const uint64_t value = allowed ? kernel_.ReadMsr(msr) : 0;
  kernel_.LowerIrql(previous);
  if (!allowed) return Failure(kStatusAccessDenied);
  StoreU64Split(record + offsetof(Msr, low), record + offsetof(Msr, high), value);
  return Success(sizeof(Msr));
}

IoResult RequestHandler::WriteMsr(const IoRequest& request, uint32_t) {
  const uint8_t* record = request.systemBuffer;
  const uint32_t msr = Field32(record, offsetof(Msr, msr));
  const uint64_t value = Field32(record, offsetof(Msr, low)) |
                         (static_cast<uint64_t>(Field32(record, offsetof(Msr, high))) << 32);
  const uint8_t previous = kernel_.RaiseIrqlToDispatch();
  const bool allowed = MayWriteMsr(ProbeCounters(kernel_), msr, value);
  if (allowed) kernel_.WriteMsr(msr, value);
  kernel_.LowerIrql(previous);
  return allowed ? Success(0) : Failure(kStatusAccessDenied);
}

// RDTSC on a processor without a time-stamp counter is an invalid opcode.
IoResult RequestHandler::ReadTsc(const IoRequest& request, uint32_t) {
  uint8_t* record = request.systemBuffer;
  if (!ProbeCounters(kernel_).timeStampCounter) return Failure(kStatusAccessDenied);
  StoreU64Split(record + offsetof(protocol::TscRequest, low),
                record + offsetof(protocol::TscRequest, high), kernel_.ReadTsc());
  return Success(sizeof(protocol::TscRequest));
}

IoResult RequestHandler::ReadPmc(const IoRequest& request, uint32_t) {
  uint8_t* record = request.systemBuffer;
  const uint32_t counter = Field32(record, offsetof(protocol::PmcRequest, counter));
  const uint8_t previous = kernel_.RaiseIrqlToDispatch();
  const bool allowed = MayReadPmc(ProbeCounters(kernel_), counter);
  const uint64_t value = allowed ? kernel_.ReadPmc(counter) : 0;
  kernel_.LowerIrql(previous);
  if (!allowed) return Failure(kStatusAccessDenied);
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
  if (!MayReadMsr(ProbeCounters(kernel_), msr)) {
    kernel_.LowerIrql(previous);
    return Failure(kStatusAccessDenied);
  }
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

// Counts unhalted core cycles across the interval on a general-purpose counter nobody uses
// (the cycles counted are what the counter would hold had it started from 0), and gives the
// counter back as it was. Refused on a processor that is not of the request's maker or has no
// such counters, and with STATUS_DEVICE_BUSY when every counter is in use.
IoResult RequestHandler::MeasureCoreCycles(const IoRequest& request, uint32_t maker) {
  uint8_t* record = request.systemBuffer;
  const uint32_t interval = Field32(record, offsetof(Interval, interval));
  if (interval > protocol::kMaxIntervalMicroseconds)
    return Failure(protocol::kStatusInvalidParameter);

  const uint8_t previous = kernel_.RaiseIrqlToDispatch();
  BorrowedCounter borrowed = {};
  const uint32_t status = StartCoreCycles(kernel_, ProbeCounters(kernel_), maker, &borrowed);
  if (!NtSuccess(status)) {
    kernel_.LowerIrql(previous);
    return Failure(status);
  }
  const uint32_t timer0 = ReadTimer(record);
  kernel_.StallMicroseconds(interval);
  const uint32_t timer1 = ReadTimer(record);
  const uint64_t count = FinishCoreCycles(kernel_, borrowed);
  kernel_.LowerIrql(previous);

  StoreU32(record + offsetof(Interval, interval),
           TimerTicks(timer0, timer1, LoadU16(record + offsetof(Interval, timerIs32Bit))));
  StoreU64Split(record + offsetof(Interval, countLow), record + offsetof(Interval, countHigh),
                count);
  return Success(sizeof(Interval));
}

}  // namespace velmora::driver
