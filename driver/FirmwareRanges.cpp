#include "driver/FirmwareRanges.h"

#include "driver/BufferAccess.h"

namespace velmora::driver {

void FirmwareRanges::Clear() {
  count_ = 0;
  controlByteCount_ = 0;
}

bool FirmwareRanges::Holds(uint64_t base, uint64_t length) const {
  for (uint32_t i = 0; i < count_; ++i) {
    if (ranges_[i].first == base && ranges_[i].last == base + (length - 1)) return true;
  }
  return false;
}

void FirmwareRanges::Add(uint64_t base, uint64_t length, Caching caching) {
  if (length == 0 || base + (length - 1) < base) return;
  if (count_ == kCapacity || Holds(base, length)) return;
  ranges_[count_++] = Range{base, base + (length - 1), caching};
}

const FirmwareRanges::Range* FirmwareRanges::Holding(uint64_t address) const {
  const Range* best = nullptr;
  for (uint32_t i = 0; i < count_; ++i) {
    const Range& range = ranges_[i];
    if (address < range.first || address > range.last) continue;
    if (best == nullptr || range.last > best->last) best = &range;
  }
  return best;
}

bool FirmwareRanges::Covers(uint64_t first, uint64_t last, Caching* caching) const {
  if (last < first) return false;
  *caching = Caching::kCached;
  for (uint64_t at = first;;) {
    const Range* range = Holding(at);
    if (range == nullptr) return false;
    if (range->caching == Caching::kUncached) *caching = Caching::kUncached;
    if (range->last >= last) return true;
    at = range->last + 1;
  }
}

// Page by page: a mapping covers whole pages, so a range that shares a page with another is
// mapped with it.
bool FirmwareRanges::Touches(uint64_t first, uint64_t last, Caching caching) const {
  first &= ~kPageMask;
  last |= kPageMask;
  for (uint32_t i = 0; i < count_; ++i) {
    const Range& range = ranges_[i];
    if (range.caching == caching && (range.first & ~kPageMask) <= last &&
        first <= (range.last | kPageMask)) {
      return true;
    }
  }
  return false;
}

void FirmwareRanges::DropCachedTouching(uint64_t first, uint64_t last) {
  uint32_t kept = 0;
  for (uint32_t i = 0; i < count_; ++i) {
    const Range range = ranges_[i];
    const bool device = (range.first <= last && first <= range.last) ||
                        Touches(range.first, range.last, Caching::kUncached);
    if (range.caching == Caching::kUncached || !device) ranges_[kept++] = range;
  }
  count_ = kept;
}

void FirmwareRanges::AddControlByte(uint64_t address) {
  if (controlByteCount_ == kControlByteCapacity || IsControlByte(address)) return;
  controlBytes_[controlByteCount_++] = address;
}

bool FirmwareRanges::IsControlByte(uint64_t address) const {
  for (uint32_t i = 0; i < controlByteCount_; ++i) {
    if (controlBytes_[i] == address) return true;
  }
  return false;
}

// Repeatedly the lowest range not yet merged, extended through every range that holds the byte
// after its end: the ranges in address order without sorting the table (at most kCapacity long).
// Once extended, no range holds the byte after the merged range, so the next one starts further
// on and never touches it.
uint32_t FirmwareRanges::Merged(uint8_t* out, uint32_t capacity) const {
  uint32_t merged = 0;
  uint64_t done = 0;  // with merged != 0: everything up to this address is merged
  for (;;) {
    const Range* lowest = nullptr;
    for (uint32_t i = 0; i < count_; ++i) {
      const Range& range = ranges_[i];
      if (merged != 0 && range.last <= done) continue;
      if (lowest == nullptr || range.first < lowest->first) lowest = &range;
    }
    if (lowest == nullptr) return merged;
    uint64_t last = Holding(lowest->first)->last;
    for (const Range* next; last != ~uint64_t{0} && (next = Holding(last + 1)) != nullptr;) {
      last = next->last;
    }
    if (merged < capacity) {
      const uint64_t length = last - lowest->first + 1;
      uint8_t* entry = out + merged * sizeof(driver_protocol::ReadableRange);
      StoreU32(entry, static_cast<uint32_t>(lowest->first));
      StoreU32(entry + 4, static_cast<uint32_t>(lowest->first >> 32));
      StoreU32(entry + 8,
               length > 0xFFFFFFFFu || length == 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(length));
      StoreU32(entry + 12, 0);
    }
    ++merged;
    done = last;
    if (last == ~uint64_t{0}) return merged;
  }
}

}  // namespace velmora::driver
