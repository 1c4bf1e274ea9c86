#include "sim/board/FirmwareMemoryMap.h"

#include <algorithm>

namespace velmora::sim {
namespace {

constexpr std::uint64_t kEbda = 0x9F000;
constexpr std::uint64_t kOneMiB = 0x100000;
constexpr std::uint64_t kFourGiB = 0x100000000;
constexpr std::uint64_t kSixGiB = 0x180000000;

void AddLegacyArea(FirmwareMemoryMap& map) {
  map.Add(0, kEbda, MemoryType::kRam);
  map.Add(kEbda, kOneMiB - kEbda, MemoryType::kReserved);
}

struct Span {
  std::uint64_t first;
  std::uint64_t last;  // inclusive
  MemoryType type;
};

// The firmware and device spans above 1 MiB, widened and merged, in address order.
std::vector<Span> FirmwareSpans(const PhysicalLayout& layout,
                                const std::vector<PhysicalRange>& devices,
                                std::uint64_t tableUnit) {
  std::vector<Span> spans;
  const auto isDevice = [&](const PhysicalRange& range) {
    return std::any_of(devices.begin(), devices.end(), [&](const PhysicalRange& device) {
      return device.address == range.address && device.size == range.size;
    });
  };
  for (const PhysicalRange& range : layout.Ranges()) {
    if (range.size == 0 || range.address + (range.size - 1) < kOneMiB) continue;
    const std::uint64_t last = range.address + (range.size - 1);
    if (isDevice(range)) {
      spans.push_back({range.address, last, MemoryType::kDevice});
    } else {
      const std::uint64_t first = std::max(range.address, kOneMiB) & ~(tableUnit - 1);
      spans.push_back({first, last | (tableUnit - 1), MemoryType::kAcpi});
    }
  }
  for (const PhysicalRange& device : devices) {
    if (device.size != 0)
      spans.push_back({device.address, device.address + device.size - 1, MemoryType::kDevice});
  }
  std::sort(spans.begin(), spans.end(),
            [](const Span& a, const Span& b) { return a.first < b.first; });
  std::vector<Span> merged;
  for (const Span& span : spans) {
    if (!merged.empty() && span.type == merged.back().type &&
        span.first <= merged.back().last + 1) {
      merged.back().last = std::max(merged.back().last, span.last);
    } else if (merged.empty() || span.first > merged.back().last) {
      merged.push_back(span);
    } else if (span.last > merged.back().last) {
      merged.push_back({merged.back().last + 1, span.last, span.type});
    }
  }
  return merged;
}

}  // namespace

FirmwareMemoryMap FirmwareMemoryMap::TypicalDesktop() {
  FirmwareMemoryMap map;
  AddLegacyArea(map);
  map.Add(kOneMiB, 0xBFF00000 - kOneMiB, MemoryType::kRam);
  map.Add(0xBFF00000, 0xE0000, MemoryType::kAcpi);
  map.Add(0xBFFE0000, 0x20000, MemoryType::kAcpiNvs);
  map.Add(0xC0000000, kFourGiB - 0xC0000000, MemoryType::kDevice);
  map.Add(kFourGiB, kSixGiB - kFourGiB, MemoryType::kRam);
  return map;
}

FirmwareMemoryMap FirmwareMemoryMap::ForLayout(const PhysicalLayout& layout,
                                               const std::vector<PhysicalRange>& deviceWindows,
                                               std::uint64_t tableUnit) {
  const std::vector<Span> spans = FirmwareSpans(layout, deviceWindows, tableUnit);
  std::uint64_t holeStart = 0xC0000000;
  for (const Span& span : spans) {
    if (span.type != MemoryType::kDevice && span.last < kFourGiB) holeStart = span.last + 1;
  }
  // RAM: below the hole and from 4 GiB to 6 GiB, less every firmware and device span.
  std::vector<Span> ram = {{kOneMiB, holeStart - 1, MemoryType::kRam},
                           {kFourGiB, kSixGiB - 1, MemoryType::kRam}};
  for (const Span& span : spans) {
    std::vector<Span> left;
    for (const Span& piece : ram) {
      if (span.last < piece.first || span.first > piece.last) {
        left.push_back(piece);
        continue;
      }
      if (span.first > piece.first) left.push_back({piece.first, span.first - 1, piece.type});
      if (span.last < piece.last) left.push_back({span.last + 1, piece.last, piece.type});
    }
    ram = std::move(left);
  }
  FirmwareMemoryMap map;
  AddLegacyArea(map);
  for (const Span& piece : ram) map.Add(piece.first, piece.last - piece.first + 1, piece.type);
  map.Add(holeStart, kFourGiB - holeStart, MemoryType::kDevice);
  for (const Span& span : spans) {
    const bool inHole = span.first >= holeStart && span.last < kFourGiB;
    if (span.type == MemoryType::kDevice && inHole) continue;
    map.Add(span.first, span.last - span.first + 1, span.type);
  }
  return map;
}

void FirmwareMemoryMap::Add(std::uint64_t base, std::uint64_t length, MemoryType type) {
  if (length == 0) return;
  regions_.push_back({base, length, type});
  if (type == MemoryType::kRam) ListManagedRam();
}

void FirmwareMemoryMap::ListManagedRam() {
  constexpr std::uint64_t kPage = 0x1000;
  std::vector<MemoryRegion>& ram = managedRam_;
  ram.clear();
  for (const MemoryRegion& region : regions_) {
    if (region.type != MemoryType::kRam) continue;
    MemoryRegion managed = region;
    if (managed.base < kPage) {
      if (managed.length <= kPage - managed.base) continue;
      managed.length -= kPage - managed.base;
      managed.base = kPage;
    }
    ram.push_back(managed);
  }
  std::sort(ram.begin(), ram.end(),
            [](const MemoryRegion& a, const MemoryRegion& b) { return a.base < b.base; });
}

}  // namespace velmora::sim
