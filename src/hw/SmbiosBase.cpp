#include "hw/SmbiosBase.h"

#include <algorithm>
#include <numeric>

namespace velmora {
namespace {

constexpr std::uint32_t kBiosAreaStart = 0xF0000;
constexpr std::uint32_t kBiosAreaLength = 0x10000;
constexpr std::uint32_t kAnchorStep = 16;  // the entry point sits on a paragraph boundary
constexpr std::uint32_t kLongestEntryPoint = 31;
// SMBIOS 3 states only a maximum size for its table; real ones are a few KiB.
constexpr std::uint32_t kMostSmbios3Table = 1u << 20;
constexpr std::uint64_t kBeyondReach = 0x100000000;  // this 32-bit client reads below 4 GiB
// RawSMBIOSData: Used20CallingMethod, major and minor version, DMI revision, the table's length
// (32 bits), then the table.
constexpr std::size_t kRawSmbiosHeader = 8;
constexpr std::uint8_t kBaseboardType = 2;
constexpr std::uint8_t kBaseboardProductField = 5;

// Where an entry point keeps its table's length and address; the whole entry point adds up to 0.
struct EntryPointLayout {
  const char* anchor;
  std::uint32_t length;
  std::uint32_t tableLengthAt;
  int tableLengthBytes;
  std::uint32_t tableAddressAt;
  int tableAddressBytes;
};
// "_SM_" (SMBIOS 2.1): 31 bytes, the table's length (16 bits) at 0x16, its address at 0x18.
constexpr EntryPointLayout kSmbios2Entry{"_SM_", 31, 0x16, 2, 0x18, 4};
// "_SM3_" (SMBIOS 3.0): 24 bytes, the table's maximum size (32 bits) at 0x0C, its 64-bit address
// at 0x10.
constexpr EntryPointLayout kSmbios3Entry{"_SM3_", 24, 0x0C, 4, 0x10, 8};

enum class Search { kFound, kNone, kStopped };

struct EntryPoint {
  Search outcome = Search::kNone;
  std::uint32_t address = kNoAddress;
  std::uint32_t tableLength = 0;
  std::uint64_t tableAddress = 0;
};

std::uint64_t ReadLe(const std::uint8_t* bytes, int count) {
  std::uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// The first anchor of the layout whose entry point adds up to 0. An entry point that cannot be
// read is no entry point: its checksum would be taken over bytes that never came from the
// firmware (all zeros add up to a valid sum), and a table address taken from them would be read
// as the board's table. The search ends there.
EntryPoint FindEntryPoint(TReadWrite& readWrite, const EntryPointLayout& layout) {
  for (std::uint32_t skip = 0;; ++skip) {
    const std::uint32_t address = readWrite.MemoryFindString(kBiosAreaStart, kBiosAreaLength,
                                                             layout.anchor, skip, kAnchorStep);
    if (address == kNoAddress) return {};
    std::uint8_t entry[kLongestEntryPoint] = {};
    if (!readWrite.MemoryReadBlock(address, entry, layout.length)) return {Search::kStopped};
    if (std::accumulate(entry, entry + layout.length, 0u) % 256 != 0) continue;
    return {
        Search::kFound, address,
        static_cast<std::uint32_t>(ReadLe(entry + layout.tableLengthAt, layout.tableLengthBytes)),
        ReadLe(entry + layout.tableAddressAt, layout.tableAddressBytes)};
  }
}

}  // namespace

// The provider hands out the table Windows itself took from the firmware, the only way to it on
// UEFI firmware that leaves no anchor in the BIOS area; the BIOS area is searched where Windows
// has no provider (32-bit XP, the 9x family) or the provider has no usable table.
TSmbiosBase::TSmbiosBase(TReadWrite& readWrite, IAnsiCodePage& codePage) : codePage_(codePage) {
  if (!TakeProviderTable(readWrite.FirmwareTables())) ScanBiosArea(readWrite);
}

bool TSmbiosBase::TakeProviderTable(TFirmwareTableProvider& provider) {
  const std::optional<std::vector<std::uint8_t>> raw =
      provider.Table(win::kFirmwareProviderRawSmbios, 0);
  if (!raw || raw->size() <= kRawSmbiosHeader) return false;
  const auto length = static_cast<std::uint32_t>(ReadLe(raw->data() + 4, 4));
  if (length == 0 || length > raw->size() - kRawSmbiosHeader) return false;
  Table.assign(raw->begin() + kRawSmbiosHeader, raw->begin() + kRawSmbiosHeader + length);
  TableLength = length;
  TableFromProvider = true;
  Found = 1;
  return true;
}

void TSmbiosBase::ScanBiosArea(TReadWrite& readWrite) {
  EntryPoint entry = FindEntryPoint(readWrite, kSmbios2Entry);
  if (entry.outcome == Search::kNone) {
    entry = FindEntryPoint(readWrite, kSmbios3Entry);
    entry.tableLength = std::min(entry.tableLength, kMostSmbios3Table);
  }
  if (entry.outcome != Search::kFound) return;
  EntryPointAddress = entry.address;
  TableLength = entry.tableLength;
  if (entry.tableAddress >= kBeyondReach) return;
  TableAddress = static_cast<std::uint32_t>(entry.tableAddress);
  Table.assign(TableLength, 0);
  // A table that cannot be read whole is no table: half a copy would give a wrong board name.
  Found = readWrite.MemoryReadBlock(TableAddress, Table.data(), TableLength) ? 1 : 0;
  if (Found == 0) Table.clear();
}

std::uint32_t TSmbiosBase::Remaining(const std::uint8_t* at) const {
  return static_cast<std::uint32_t>(Table.data() + Table.size() - at);
}

std::uint32_t TSmbiosBase::StructureSize(const std::uint8_t* structure) const {
  const std::uint32_t available = Remaining(structure);
  if (available < 2) return available;
  std::uint32_t n = structure[1];
  // The string set ends with two zero bytes; the scan stops at the end of the table.
  while (n + 1 < available && !(structure[n] == 0 && structure[n + 1] == 0)) ++n;
  return std::min(n + 2, available);
}

const std::uint8_t* TSmbiosBase::FindStructure(std::uint8_t type,
                                               std::uint32_t occurrence) const {
  if (Found != 1) return nullptr;
  const std::uint8_t* p = Table.data();
  std::uint32_t remaining = static_cast<std::uint32_t>(Table.size());
  while (remaining > 0) {
    if (*p == type) {
      if (occurrence == 0) return p;
      --occurrence;
    }
    const std::uint32_t size = StructureSize(p);
    if (size == 0 || size >= remaining) break;
    remaining -= size;
    p += size;
  }
  return nullptr;
}

std::string TSmbiosBase::GetString(const std::uint8_t* structure, std::uint8_t number) const {
  if (number == 0 || Remaining(structure) < 2) return "";
  const std::uint8_t* end = Table.data() + Table.size();
  const std::uint8_t* s = structure + structure[1];
  for (std::uint8_t n = 1; s < end; ++n) {
    const std::uint8_t* stop = s;
    while (stop < end && *stop != 0) ++stop;
    if (stop == s) return "";  // the empty string that ends the set: fewer strings than asked
    if (n == number) return codePage_.AnsiToUtf8(std::string(s, stop));
    s = stop + 1;
  }
  return "";
}

std::string TSmbiosBase::BaseboardProduct() const {
  const std::uint8_t* board = FindStructure(kBaseboardType, 0);
  // A structure too short to hold the product field has no product string.
  if (board == nullptr || Remaining(board) <= kBaseboardProductField ||
      board[1] <= kBaseboardProductField) {
    return "";
  }
  std::string product = GetString(board, board[kBaseboardProductField]);
  const auto first = std::find_if_not(product.begin(), product.end(), IsBlankOrControl);
  const auto last = std::find_if_not(product.rbegin(), product.rend(), IsBlankOrControl).base();
  return first < last ? std::string(first, last) : "";
}

std::string TSmbiosBase::BoardName() const {
  std::string name = BaseboardProduct();
  while (!name.empty() && name.back() == '.') name.pop_back();
  return name;
}

}  // namespace velmora
