#include "tests/fuzz/FirmwareOracle.h"

#include <algorithm>
#include <cstring>

#include "sim/board/SimPciBus.h"
#include "tests/fuzz/FuzzReport.h"

namespace velmora::fuzz {
namespace {

constexpr std::uint64_t kBiosArea = 0xE0000;
constexpr std::uint64_t kBiosAreaEnd = 0x100000;
constexpr std::uint64_t kMcfgBaseOffset = 44;
constexpr std::uint32_t kSmbiosEntryLength = 31;
constexpr std::uint32_t kSmbios3EntryLength = 24;

bool Overlaps(const FirmwareOracle::Range& range, std::uint64_t first, std::uint64_t last) {
  return range.first <= last && first <= range.last;
}

}  // namespace

FirmwareOracle::FirmwareOracle(sim::SimBoard& board) {
  Add(kBiosArea, kBiosAreaEnd - kBiosArea);
  AddAcpiTables(board);
  AddSmbios(board);
  AddWindow(board);
  Merge();
}

void FirmwareOracle::Add(std::uint64_t address, std::uint64_t length) {
  if (length != 0) ranges_.push_back({address, address + (length - 1)});
}

// The root pointer has no length field; every other table states its length at offset 4.
void FirmwareOracle::AddAcpiTables(sim::SimBoard& board) {
  const sim::SimPhysicalMemory& memory = board.Memory();
  for (const sim::PlacedTable& table : board.AcpiTables()) {
    Add(table.address, table.signature == "RSDP" ? table.length : memory.Read32(table.address + 4));
  }
}

// The entry point as it lies where the board put it; nothing when its anchor is not there
// (firmware without legacy copies clears it).
void FirmwareOracle::AddSmbios(sim::SimBoard& board) {
  const std::uint64_t entry = board.SmbiosEntryAddress();
  const std::vector<std::uint8_t> bytes = board.Memory().ReadBytes(entry, kSmbiosEntryLength);
  const auto le = [&](std::size_t at, std::size_t size) {
    std::uint64_t value = 0;
    std::memcpy(&value, bytes.data() + at, size);
    return value;
  };
  if (std::memcmp(bytes.data(), "_SM_", 4) == 0) {
    Add(entry, kSmbiosEntryLength);
    Add(le(0x18, 4), le(0x16, 2));
  } else if (std::memcmp(bytes.data(), "_SM3_", 5) == 0) {
    Add(entry, kSmbios3EntryLength);
    Add(le(0x10, 8), le(0x0C, 4));
  }
}

// The board's window, which its MCFG must name.
void FirmwareOracle::AddWindow(sim::SimBoard& board) {
  const std::optional<std::uint64_t>& base = board.Description().ecamBase;
  if (!base) return;
  for (const sim::PlacedTable& table : board.AcpiTables()) {
    if (table.signature != "MCFG") continue;
    std::uint64_t named = 0;
    board.Memory().Read(table.address + kMcfgBaseOffset, &named, 8);
    if (named != *base) Fault("firmware oracle", "the MCFG names another window than the board's");
  }
  window_ = Range{*base, *base + (sim::SimPciBus::kEcamSize - 1)};
  ranges_.push_back(*window_);
}

// The ranges in address order, those that touch or overlap taken together.
void FirmwareOracle::Merge() {
  merged_ = ranges_;
  std::sort(merged_.begin(), merged_.end(),
            [](const Range& a, const Range& b) { return a.first < b.first; });
  std::size_t kept = 0;
  for (const Range& range : merged_) {
    if (kept != 0 && range.first <= merged_[kept - 1].last + 1) {
      merged_[kept - 1].last = std::max(merged_[kept - 1].last, range.last);
    } else {
      merged_[kept++] = range;
    }
  }
  merged_.resize(kept);
}

bool FirmwareOracle::Covers(std::uint64_t physical, std::uint64_t size) const {
  const std::uint64_t last = physical + (size - 1);
  if (size == 0 || last < physical) return false;
  return std::any_of(merged_.begin(), merged_.end(), [&](const Range& range) {
    return range.first <= physical && last <= range.last;
  });
}

bool FirmwareOracle::TouchesWindow(std::uint64_t physical, std::uint64_t size) const {
  return window_ && size != 0 && Overlaps(*window_, physical, physical + (size - 1));
}

}  // namespace velmora::fuzz
