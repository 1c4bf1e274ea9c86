#include "driver/FirmwareDiscovery.h"

#include "driver/RequestSupport.h"

namespace velmora::driver {

namespace {

constexpr uint32_t kHeaderLength = 36;
constexpr uint32_t kRsdpChecksummed = 20;
constexpr uint32_t kRsdpExtendedLength = 36;  // ACPI 2.0 and later
constexpr uint32_t kSmbiosEntryLength = 31;   // "_SM_", checksummed whole
constexpr uint32_t kSmbios3EntryLength = 24;  // "_SM3_"
constexpr uint64_t kSmbiosSearchStart = 0xF0000;
// SMBIOS 3 states only a maximum size for its table; real ones are a few KiB.
constexpr uint32_t kMaxSmbios3Table = 1u << 20;
constexpr uint32_t kFadtFieldsEnd = 148;  // up to X_DSDT
constexpr uint32_t kMcfgFirstEntry = 44;
constexpr uint32_t kMcfgEntryLength = 16;
constexpr uint32_t kMaxMcfgEntries = 16;
constexpr uint64_t kWindowAlignmentMask = 0xFFFFF;  // each bus has 1 MiB of the window
constexpr uint8_t kControlEntryType = 3;
constexpr uint8_t kControlEntryLength = 3;

bool SameSignature(const uint8_t* bytes, const char* signature, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) {
    if (bytes[i] != static_cast<uint8_t>(signature[i])) return false;
  }
  return true;
}

bool SumsToZero(const uint8_t* bytes, uint32_t length) {
  uint8_t sum = 0;
  for (uint32_t i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return sum == 0;
}

uint64_t Load64(const uint8_t* at) {
  return LoadU32(at) | (static_cast<uint64_t>(LoadU32(at + 4)) << 32);
}

uint32_t Smaller(uint32_t a, uint32_t b) {
  return a < b ? a : b;
}

}  // namespace

void FirmwareDiscovery::Discover(FirmwareRanges& ranges) {
  ranges.Clear();
  ranges_ = &ranges;
  ranges.Add(kBiosAreaStart, kBiosAreaEnd - kBiosAreaStart, Caching::kCached);
  AddProviderMcfgWindows();
  EntryPoints found;
  ScanBiosArea(found);
  AddRootTables(found);
  ranges.DropCachedTouching(kDeviceHoleStart, kDeviceHoleLast);
  ranges_ = nullptr;
}

bool FirmwareDiscovery::IsDeviceMemory(uint64_t address, uint64_t length) const {
  const uint64_t last = address + (length - 1);
  return ((address & ~FirmwareRanges::kPageMask) <= kDeviceHoleLast && last >= kDeviceHoleStart) ||
         ranges_->Touches(address, last, Caching::kUncached);
}

// The area in 4 KiB pieces, each paragraph looked at for the anchors.
void FirmwareDiscovery::ScanBiosArea(EntryPoints& found) {
  for (uint64_t piece = kBiosAreaStart; piece < kBiosAreaEnd; piece += kChunk) {
    if (memory_.Read(piece, chunk_, kChunk, Caching::kCached) != protocol::kStatusSuccess) {
      continue;
    }
    for (uint32_t at = 0; at < kChunk; at += 16) TakeParagraph(piece + at, chunk_ + at, found);
  }
}

void FirmwareDiscovery::TakeParagraph(uint64_t address, const uint8_t* bytes, EntryPoints& found) {
  if (!found.found && SameSignature(bytes, "RSD PTR ", 8)) TakeRootPointer(address, found);
  if (address < kSmbiosSearchStart) return;
  if (SameSignature(bytes, "_SM_", 4)) TakeSmbiosEntry(address, false);
  if (SameSignature(bytes, "_SM3_", 5)) TakeSmbiosEntry(address, true);
}

void FirmwareDiscovery::TakeRootPointer(uint64_t address, EntryPoints& found) {
  uint8_t rsdp[kRsdpChecksummed];
  if (memory_.Read(address, rsdp, sizeof rsdp, Caching::kCached) != protocol::kStatusSuccess ||
      !SumsToZero(rsdp, sizeof rsdp)) {
    return;
  }
  found.rsdp = address;
  found.found = true;
}

// The first entry point of each kind with a good checksum names the structure table.
void FirmwareDiscovery::TakeSmbiosEntry(uint64_t address, bool version3) {
  uint8_t entry[kSmbiosEntryLength];
  const uint32_t length = version3 ? kSmbios3EntryLength : kSmbiosEntryLength;
  if (memory_.Read(address, entry, length, Caching::kCached) != protocol::kStatusSuccess ||
      !SumsToZero(entry, length)) {
    return;
  }
  if (version3) {
    ranges_->Add(Load64(entry + 0x10), Smaller(LoadU32(entry + 0x0C), kMaxSmbios3Table),
                 Caching::kCached);
  } else {
    ranges_->Add(LoadU32(entry + 0x18), LoadU16(entry + 0x16), Caching::kCached);
  }
}

// With a root pointer: its RSDT and, when its extended part is sound, its XSDT. Without one:
// the two tables' entries as the firmware table provider hands them out.
void FirmwareDiscovery::AddRootTables(const EntryPoints& found) {
  if (!found.found) {
    AddListedTables(ProviderRootTable(kRsdtTableId, 4), 4);
    AddListedTables(ProviderRootTable(kXsdtTableId, 8), 8);
    return;
  }
  uint8_t rsdp[kRsdpExtendedLength];
  if (memory_.Read(found.rsdp, rsdp, kRsdpChecksummed, Caching::kCached) !=
      protocol::kStatusSuccess) {
    return;
  }
  AddListedTables(ReadRootTable(LoadU32(rsdp + 16), "RSDT", 4), 4);
  if (rsdp[15] < 2 ||
      memory_.Read(found.rsdp, rsdp, sizeof rsdp, Caching::kCached) != protocol::kStatusSuccess) {
    return;
  }
  if (LoadU32(rsdp + 20) != kRsdpExtendedLength || !SumsToZero(rsdp, sizeof rsdp)) return;
  AddListedTables(ReadRootTable(Load64(rsdp + 24), "XSDT", 8), 8);
}

uint32_t FirmwareDiscovery::ReadRootTable(uint64_t address, const char signature[4],
                                          uint32_t width) {
  const uint32_t length = TableLength(address, signature);
  if (length == 0) return 0;
  ranges_->Add(address, length, Caching::kCached);
  const uint32_t bytes = Smaller(length - kHeaderLength, width * kMaxRootEntries);
  if (bytes == 0) return 0;
  return memory_.Read(address + kHeaderLength, entries_, bytes, Caching::kCached) ==
                 protocol::kStatusSuccess
             ? bytes
             : 0;
}

uint32_t FirmwareDiscovery::ProviderRootTable(uint32_t tableId, uint32_t width) {
  const uint32_t size = kernel_.FirmwareTable(kAcpiTableProvider, tableId, chunk_, kChunk);
  if (size < kHeaderLength || size > kChunk) return 0;
  const uint32_t length = Smaller(LoadU32(chunk_ + 4), size);
  if (length < kHeaderLength) return 0;
  const uint32_t bytes = Smaller(length - kHeaderLength, width * kMaxRootEntries);
  for (uint32_t i = 0; i < bytes; ++i) entries_[i] = chunk_[kHeaderLength + i];
  return bytes;
}

void FirmwareDiscovery::AddListedTables(uint32_t entryBytes, uint32_t width) {
  for (uint32_t at = 0; at + width <= entryBytes; at += width) {
    AddTable(width == 4 ? LoadU32(entries_ + at) : Load64(entries_ + at));
  }
}

uint32_t FirmwareDiscovery::TableLength(uint64_t address, const char* signature) {
  if (address == 0 || IsDeviceMemory(address, sizeof header_) ||
      memory_.Read(address, header_, sizeof header_, Caching::kCached) !=
          protocol::kStatusSuccess) {
    return 0;
  }
  if (signature != nullptr && !SameSignature(header_, signature, 4)) return 0;
  const uint32_t length = LoadU32(header_ + 4);
  if (length < kHeaderLength || length > kMaxTableLength) return 0;
  if (address + (length - 1) < address || IsDeviceMemory(address, length)) return 0;
  return length;
}

uint32_t FirmwareDiscovery::ReadIntoChunk(uint64_t address, uint32_t length) {
  const uint32_t size = Smaller(length, kChunk);
  return memory_.Read(address, chunk_, size, Caching::kCached) == protocol::kStatusSuccess ? size
                                                                                           : 0;
}

// A table listed twice (in the RSDT and the XSDT) is taken once.
void FirmwareDiscovery::AddTable(uint64_t address) {
  const uint32_t length = TableLength(address, nullptr);
  if (length == 0 || ranges_->Holds(address, length)) return;
  ranges_->Add(address, length, Caching::kCached);
  if (SameSignature(header_, "FACP", 4)) AddFadtTables(address, length);
  if (SameSignature(header_, "MCFG", 4)) AddMcfgWindows(address, length);
  if (SameSignature(header_, "QVZX", 4)) AddControlBytes(address, length);
}

void FirmwareDiscovery::AddNamedTable(uint64_t address, const char signature[4]) {
  const uint32_t length = TableLength(address, signature);
  if (length != 0) ranges_->Add(address, length, Caching::kCached);
}

// FIRMWARE_CTRL and DSDT, and their 64-bit forms X_FIRMWARE_CTRL and X_DSDT where the FADT is
// long enough to hold them.
void FirmwareDiscovery::AddFadtTables(uint64_t address, uint32_t length) {
  const uint32_t read = ReadIntoChunk(address, Smaller(length, kFadtFieldsEnd));
  const uint64_t facs = read >= 40 ? LoadU32(chunk_ + 36) : 0;
  const uint64_t dsdt = read >= 44 ? LoadU32(chunk_ + 40) : 0;
  const uint64_t extendedFacs = read >= 140 ? Load64(chunk_ + 132) : 0;
  const uint64_t extendedDsdt = read >= 148 ? Load64(chunk_ + 140) : 0;
  AddNamedTable(facs, "FACS");
  AddNamedTable(extendedFacs, "FACS");
  AddNamedTable(dsdt, "DSDT");
  AddNamedTable(extendedDsdt, "DSDT");
}

// Each entry: the window's base for bus 0 (64-bit), the segment, the first and the last bus.
void FirmwareDiscovery::AddMcfgWindows(uint64_t address, uint32_t length) {
  AddWindowsInChunk(ReadIntoChunk(address, length));
}

// Where Windows has the provider, its copy of the MCFG tells the windows before any table
// address is followed, so no root table entry that points into one is read.
void FirmwareDiscovery::AddProviderMcfgWindows() {
  const uint32_t size = kernel_.FirmwareTable(kAcpiTableProvider, kMcfgTableId, chunk_, kChunk);
  if (size < kHeaderLength || size > kChunk) return;
  AddWindowsInChunk(Smaller(LoadU32(chunk_ + 4), size));
}

void FirmwareDiscovery::AddWindowsInChunk(uint32_t read) {
  uint32_t entries = 0;
  for (uint32_t at = kMcfgFirstEntry; at + kMcfgEntryLength <= read && entries < kMaxMcfgEntries;
       at += kMcfgEntryLength, ++entries) {
    const uint64_t base = Load64(chunk_ + at);
    const uint32_t firstBus = chunk_[at + 10];
    const uint32_t lastBus = chunk_[at + 11];
    if (lastBus < firstBus) continue;
    const uint64_t first = base + (uint64_t{firstBus} << 20);
    const uint64_t length = uint64_t{lastBus - firstBus + 1} << 20;
    // A window over memory already taken as firmware tables (read through cached mappings) is
    // wrong one way or the other; the tables stand.
    if ((first & kWindowAlignmentMask) != 0 || first + (length - 1) < first ||
        ranges_->Touches(first, first + (length - 1), Caching::kCached)) {
      continue;
    }
    ranges_->Add(first, length, Caching::kUncached);
  }
}

// The entries from the end of the header as far as the table's length says, and never past the
// bytes read; an entry of length 0 ends the walk.
void FirmwareDiscovery::AddControlBytes(uint64_t address, uint32_t length) {
  const uint32_t read = ReadIntoChunk(address, length);
  uint32_t remaining = length - kHeaderLength;
  for (uint32_t at = kHeaderLength; remaining > 0 && at + 2 <= read;) {
    const uint8_t type = chunk_[at];
    const uint8_t entryLength = chunk_[at + 1];
    if (entryLength == 0 || at + entryLength > read || entryLength > remaining) break;
    if (type == kControlEntryType && entryLength == kControlEntryLength) {
      ranges_->AddControlByte(address + at + 2);
    }
    at += entryLength;
    remaining -= entryLength;
  }
}

}  // namespace velmora::driver
