#include "hw/AcpiBase.h"

#include <cstring>
#include <numeric>

#include "config/DebugLog.h"

namespace velmora {
namespace {

constexpr std::uint32_t kRsdpSearchStart = 0xE0000;
constexpr std::uint32_t kRsdpSearchLength = 0x20000;
constexpr std::uint32_t kSsdtSearchLength = 0x10000;
constexpr std::uint32_t kParagraph = 16;
constexpr std::uint32_t kRsdpChecksummed = 20;

std::uint64_t ReadLe64(const std::uint8_t* bytes, int count) {
  std::uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

std::uint32_t ReadLe(const std::uint8_t* bytes, int count) {
  return static_cast<std::uint32_t>(ReadLe64(bytes, count));
}

// A field of `count` bytes at `offset`, when the table is long enough to hold it.
bool Field(const std::vector<std::uint8_t>& table, std::size_t offset, int count,
           std::uint32_t& value) {
  if (offset + count > table.size()) return false;
  value = ReadLe(table.data() + offset, count);
  return true;
}

bool SumsToZero(const std::uint8_t* bytes, std::size_t size) {
  return std::accumulate(bytes, bytes + size, 0u) % 256 == 0;
}

}  // namespace

std::string SignatureText(const std::uint8_t* signature) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const std::uint8_t c = signature[i];
    text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  }
  return text;
}

// Where Windows has a firmware table provider (Vista and later, XP x64) the root table comes
// from it first: it hands out the tables Windows itself took from the firmware at boot, also on
// UEFI firmware that leaves no root pointer in the BIOS area, where a search finds nothing; on
// firmware that keeps one, the pointer there names those same tables. The BIOS area is searched
// only where there is no provider (32-bit XP, the 9x family) or it hands out no root table.
TAcpiBase::TAcpiBase(TReadWrite& readWrite, TInitFile& config)
    : rw_(readWrite), config_(config) {
  DebugLogWrite("Build RSDP");
  if (!TakeProviderRoot()) FindRsdp();
  if (Found == 1) BuildTables();
}

void TAcpiBase::Append(std::uint32_t address, std::uint32_t length) {
  if (Tables.size() >= kMaxAcpiTables) return;
  Tables.push_back({address, length});
  Current = Tables.size() - 1;
}

// The RSDT, or the XSDT where there is no RSDT. The root pointer is no table of the provider's:
// its address and length stay unknown, as the root table's address does.
bool TAcpiBase::TakeProviderRoot() {
  for (const std::uint32_t id : {AcpiTableId("RSDT"), AcpiTableId("XSDT")}) {
    std::optional<std::vector<std::uint8_t>> root =
        rw_.FirmwareTables().Table(win::kFirmwareProviderAcpi, id);
    if (!root || root->size() < kAcpiHeaderLength || ReadLe(root->data(), 4) != id) continue;
    const std::uint32_t length = ReadLe(root->data() + 4, 4);
    if (length < kAcpiHeaderLength || length > root->size()) continue;
    root->resize(length);
    providedRoot_ = std::move(*root);
    Append(kNoAddress, 0);
    Append(kNoAddress, length);
    Found = 1;
    return true;
  }
  return false;
}

void TAcpiBase::FindRsdp() {
  for (std::uint32_t skip = 0;; ++skip) {
    const std::uint32_t address = rw_.MemoryFindString(kRsdpSearchStart, kRsdpSearchLength,
                                                       "RSD PTR ", skip, kParagraph);
    if (address == kNoAddress) {
      Found = 0;
      return;
    }
    // A pointer that cannot be read is no pointer (its checksum would be taken over whatever
    // the buffer held).
    std::uint8_t rsdp[kAcpiHeaderLength] = {};
    if (!rw_.MemoryReadBlock(address, rsdp, sizeof rsdp)) continue;
    if (!SumsToZero(rsdp, kRsdpChecksummed)) continue;
    const std::uint8_t revision = rsdp[15];
    Append(address, revision == 0 ? kRsdpChecksummed : ReadLe(rsdp + 20, 4));
    Append(ReadLe(rsdp + 16, 4));
    Found = 1;
    return;
  }
}

void TAcpiBase::BuildTables() {
  for (std::size_t i = 1; i < Tables.size(); ++i) {
    Current = i;
    std::uint8_t header[kAcpiHeaderLength];
    if (!ReadListedTable(i, header, sizeof header)) {
      std::memset(header, 0xFF, sizeof header);  // what absent memory reads as
    }
    Tables[i].Length = ReadLe(header + 4, 4);
    const std::string signature = SignatureText(header);
    DebugLogWrite("Build " + signature);

    if (!HasHandler(i, signature) || Tables[i].Length > kMaxAcpiTableLength) continue;
    if (!decoded_.insert(Tables[i].Address).second) continue;
    std::vector<std::uint8_t> table(Tables[i].Length);
    ReadListedTable(i, table.data(), Tables[i].Length);
    Decode(signature, table);
  }
}

// An XSDT is followed only as the root table the provider handed out: from a root pointer the
// chain runs through its RSDT.
bool TAcpiBase::HasHandler(std::size_t index, const std::string& signature) const {
  if (signature == "XSDT") return index == 1 && !providedRoot_.empty();
  return signature == "RSDT" || signature == "FACP" || signature == "APIC" || signature == "ECDT" ||
         signature == "DSDT";
}

void TAcpiBase::Decode(const std::string& signature, const std::vector<std::uint8_t>& table) {
  if (signature == "RSDT") DecodeRootEntries(table, 4);
  if (signature == "XSDT") DecodeRootEntries(table, 8);
  if (signature == "FACP") DecodeFacp(table);
  if (signature == "APIC") DecodeApic(table);
  if (signature == "ECDT") DecodeEcdt(table);
  if (signature == "DSDT") DecodeDsdt(table);
}

// Entries of 4 bytes (RSDT) or 8 (XSDT). A zero entry is skipped, and so is an XSDT entry above
// 4 GiB, which this 32-bit client cannot read.
void TAcpiBase::DecodeRootEntries(const std::vector<std::uint8_t>& table, int width) {
  if (table.size() < kAcpiHeaderLength) return;
  const std::size_t count = (table.size() - kAcpiHeaderLength) / width;
  for (std::size_t n = 0; n < count; ++n) {
    const std::uint64_t address = ReadLe64(table.data() + kAcpiHeaderLength + width * n, width);
    if (address != 0 && address <= 0xFFFFFFFFu) Append(static_cast<std::uint32_t>(address));
  }
}

void TAcpiBase::DecodeFacp(const std::vector<std::uint8_t>& table) {
  RwCfg& cfg = config_.Config;
  std::uint32_t facs = 0, dsdt = 0, value = 0;
  Field(table, 36, 4, facs);
  if (Field(table, 40, 4, dsdt)) DsdtAddress = dsdt;
  // A revision-1 FADT is 116 bytes and holds every field used here; a shorter, broken one
  // changes only what it really holds.
  if (Field(table, 46, 2, value)) cfg.AcpiSciIrq = value;
  if (Field(table, 56, 4, value)) cfg.AcpiPmBase = static_cast<std::uint16_t>(value);
  if (Field(table, 76, 4, value)) cfg.PmTimerPort = static_cast<std::uint16_t>(value);
  if (Field(table, 112, 4, value)) cfg.PmTimerExt = static_cast<std::uint16_t>(value & 0x100);
  Append(facs);
  Append(DsdtAddress);
}

void TAcpiBase::DecodeApic(const std::vector<std::uint8_t>& table) {
  constexpr std::size_t kFirstStructure = 44;
  constexpr std::uint8_t kIoApic = 1;
  if (table.size() <= kFirstStructure) return;
  std::size_t p = kFirstStructure;
  std::size_t remaining = table.size() - kFirstStructure;
  while (remaining > 0 && p + 2 <= table.size()) {
    const std::uint8_t type = table[p];
    const std::uint8_t length = table[p + 1];
    if (length == 0) break;
    std::uint32_t address = 0, interruptBase = 1;
    if (type == kIoApic && Field(table, p + 4, 4, address) &&
        Field(table, p + 8, 4, interruptBase) && interruptBase == 0) {
      config_.Config.ApicAddress = address;
    }
    if (length >= remaining) break;
    remaining -= length;
    p += length;
  }
}

void TAcpiBase::DecodeEcdt(const std::vector<std::uint8_t>& table) {
  RwCfg& cfg = config_.Config;
  std::uint32_t value = 0;
  if (Field(table, 36, 1, value)) cfg.EC_AddressSpaceID = static_cast<std::uint8_t>(value);
  if (Field(table, 40, 4, value)) cfg.EC_SC = static_cast<std::uint16_t>(value);
  if (Field(table, 52, 4, value)) cfg.EC_DATA = static_cast<std::uint16_t>(value);
}

void TAcpiBase::DecodeDsdt(const std::vector<std::uint8_t>& table) {
  const std::size_t copied = std::min<std::size_t>(table.size(), kAcpiHeaderLength);
  // A DSDT whose length field is 0 was copied as nothing (and table.data() may be null).
  if (copied != 0) std::memcpy(DsdtHeader, table.data(), copied);
  if (config_.Config.ACPIDecodeSSDTEx != 0) SearchSsdt();
}

void TAcpiBase::SearchSsdt() {
  const std::uint32_t start = (DsdtAddress + ReadLe(DsdtHeader + 4, 4)) & 0xFFFFFFF0u;
  for (std::uint32_t skip = 0;; ++skip) {
    const std::uint32_t match =
        rw_.MemoryFindString(start, kSsdtSearchLength, "SSDT", skip, kParagraph);
    if (match == kNoAddress || Tables.size() >= kMaxAcpiTables) return;
    std::uint8_t header[kAcpiHeaderLength] = {};
    if (!rw_.MemoryReadBlock(match, header, sizeof header)) continue;
    const std::uint32_t length = ReadLe(header + 4, 4);
    // A candidate shorter than its header or absurdly long is no table (and is not read).
    if (length < kAcpiHeaderLength || length > kMaxAcpiTableLength) continue;
    std::vector<std::uint8_t> table(length);
    if (rw_.MemoryReadBlock(match, table.data(), length) &&
        SumsToZero(table.data(), table.size())) {
      Append(match);
    }
  }
}

bool TAcpiBase::FindTable(const char signature[4]) {
  for (std::size_t i = 0; i < Tables.size(); ++i) {
    Current = i;
    std::uint8_t header[kAcpiHeaderLength] = {};
    if (!ReadListedTable(i, header, sizeof header)) continue;
    if (std::memcmp(header, signature, 4) == 0) return true;
  }
  return false;
}

bool TAcpiBase::ReadListedTable(std::size_t index, void* buffer, std::uint32_t length) const {
  if (index >= Tables.size()) return false;
  if (Tables[index].Address != kNoAddress) {
    return rw_.MemoryReadBlock(Tables[index].Address, buffer, length);
  }
  if (index != 1 || providedRoot_.empty() || length > providedRoot_.size()) return false;
  std::memcpy(buffer, providedRoot_.data(), length);
  return true;
}

const AcpiTableEntry* TAcpiBase::CurrentEntry() const {
  return Current < Tables.size() ? &Tables[Current] : nullptr;
}

}  // namespace velmora
