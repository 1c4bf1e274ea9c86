#include "hw/SmbiosBase.h"

#include <algorithm>
#include <numeric>

namespace velmora {
namespace {

constexpr std::uint32_t kBiosAreaStart = 0xF0000;
constexpr std::uint32_t kBiosAreaLength = 0x10000;
constexpr std::uint32_t kAnchorStep = 16;  // the entry point sits on a paragraph boundary
constexpr std::uint32_t kEntryPointChecksummed = 31;
constexpr std::uint8_t kBaseboardType = 2;
constexpr std::uint8_t kBaseboardProductField = 5;

std::uint32_t ReadLe(const std::uint8_t* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

}  // namespace

TSmbiosBase::TSmbiosBase(TReadWrite& readWrite, IAnsiCodePage& codePage) : codePage_(codePage) {
  for (std::uint32_t skip = 0;; ++skip) {
    EntryPointAddress =
        readWrite.MemoryFindString(kBiosAreaStart, kBiosAreaLength, "_SM_", skip, kAnchorStep);
    if (EntryPointAddress == kNoAddress) {
      Found = 0;
      return;
    }
    std::uint8_t entry[kEntryPointChecksummed] = {};
    // An entry point that cannot be read is no entry point: its checksum would be taken over
    // bytes that never came from the firmware (all zeros add up to a valid sum), and a table
    // address taken from them would be read as the board's table. The search ends there.
    if (!readWrite.MemoryReadBlock(EntryPointAddress, entry, sizeof entry)) {
      EntryPointAddress = kNoAddress;
      Found = 0;
      return;
    }
    if (std::accumulate(entry, entry + sizeof entry, 0u) % 256 != 0) continue;
    TableLength = static_cast<std::uint16_t>(ReadLe(entry + 0x16, 2));
    TableAddress = ReadLe(entry + 0x18, 4);
    break;
  }
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
