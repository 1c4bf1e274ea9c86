// The memory side of the acpidump loader: where each dumped table goes, the root pointer and
// root table a dump may lack, and the report of what a 32-bit reader cannot reach.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>

#include "sim/board/AcpiDump.h"

namespace velmora::sim {
namespace {

constexpr std::uint64_t kLast32 = 0xFFFFFFFFull;
constexpr std::uint64_t kBiosAreaStart = 0xE0000;
constexpr std::uint64_t kBiosAreaLast = 0xFFFFF;

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

bool IsRootOrFirmwareOwned(const std::string& signature) {
  return signature == "RSDP" || signature == "RSDT" || signature == "XSDT" || signature == "FACS" ||
         signature == "DSDT";
}

struct Item {
  std::string signature;
  std::uint64_t address = 0;  // where it ends up (0 until placed)
  Bytes bytes;
  bool placed = false;
};

class DumpPlacer {
 public:
  DumpPlacer(SimPhysicalMemory& memory, PhysicalLayout& layout)
      : memory_(memory), layout_(layout) {}

  AcpiDumpPlacement Run(const AcpiDumpText& dump, const std::vector<Bytes>& extras) {
    result_.warnings = dump.warnings;
    for (const DumpedTable& table : dump.tables) {
      items_.push_back(Item{table.signature, table.address, table.bytes, false});
    }
    for (const Bytes& extra : extras) {
      if (extra.size() >= 4)
        items_.push_back(Item{std::string(extra.begin(), extra.begin() + 4), 0, extra, false});
    }
    firstExtra_ = dump.tables.size();
    Classify();
    PlaceFixed();
    PlaceFadtPointed();
    PlaceFree();
    PlaceRsdt();
    PlaceRsdp();
    CheckTables();
    ReportUnreachable();
    return std::move(result_);
  }

 private:
  int FirstOf(const std::string& signature) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].signature == signature) return static_cast<int>(i);
    }
    return -1;
  }

  void Classify() {
    rsdp_ = FirstOf("RSDP");
    if (rsdp_ >= 0 &&
        (items_[rsdp_].bytes.size() < 20 ||
         std::string(items_[rsdp_].bytes.begin(), items_[rsdp_].bytes.begin() + 8) != "RSD PTR ")) {
      Warn("RSDP @ " + Hex(items_[rsdp_].address) + " is not a root pointer; left out");
      items_.erase(items_.begin() + rsdp_);
      if (firstExtra_ > 0) --firstExtra_;
      rsdp_ = -1;
    }
    rsdt_ = FirstOf("RSDT");
    xsdt_ = FirstOf("XSDT");
    fadt_ = FirstOf("FACP");
  }

  void CheckTables() {
    for (const Item& item : items_) {
      if (!item.placed || item.signature == "RSDP" || item.signature == "FACS") continue;
      const std::uint32_t declared = Get32(item.bytes, 4);
      if (declared != item.bytes.size()) {
        Warn(item.signature + " @ " + Hex(item.address) + " declares " + std::to_string(declared) +
             " bytes, the dump holds " + std::to_string(item.bytes.size()));
      }
      const std::size_t covered = std::min<std::size_t>(declared, item.bytes.size());
      if (ByteSum(item.bytes.data(), covered) != 0) {
        Warn(item.signature + " @ " + Hex(item.address) + " has a bad checksum (kept as dumped)");
      }
    }
  }

  void Put(Item& item, std::uint64_t address) {
    if (const PhysicalRange* other = layout_.Overlap(address, item.bytes.size())) {
      Warn(item.signature + " @ " + Hex(address) + " overlaps " + other->what + " @ " +
           Hex(other->address));
    }
    if (address > kLast32 || item.bytes.size() - 1 > kLast32 - address) {
      Warn(item.signature + " @ " + Hex(address) +
           " lies above 4 GiB: a 32-bit reader cannot reach it");
    }
    item.address = address;
    item.placed = true;
    memory_.Load(address, item.bytes);
    layout_.Reserve(address, item.bytes.size(), item.signature);
    result_.tables.push_back(
        PlacedTable{item.signature, address, static_cast<std::uint32_t>(item.bytes.size())});
  }

  std::optional<std::uint64_t> Free(std::size_t size, std::uint64_t alignment) {
    return layout_.FindFree(kAcpiDumpFreeArea, kLast32, size, alignment);
  }

  void PutFree(Item& item) {
    const auto at = Free(item.bytes.size(), item.signature == "FACS" ? 64 : 16);
    if (!at) {
      Warn(item.signature + ": no free room below 4 GiB; left out");
      return;
    }
    Put(item, *at);
  }

  void PlaceFixed() {
    for (Item& item : items_) {
      if (item.address != 0) Put(item, item.address);
    }
    if (rsdp_ >= 0 && items_[rsdp_].placed &&
        (items_[rsdp_].address < kBiosAreaStart || items_[rsdp_].address > kBiosAreaLast)) {
      Warn("RSDP @ " + Hex(items_[rsdp_].address) +
           " lies outside 0xE0000-0xFFFFF, where the search for it looks");
    }
  }

  // FADT field: 32-bit at offset32, else the 64-bit X_ field when the table is long enough.
  std::uint64_t FadtPointer(std::size_t offset32, std::size_t offset64) const {
    if (fadt_ < 0) return 0;
    const Bytes& fadt = items_[fadt_].bytes;
    const std::uint64_t narrow = Get32(fadt, offset32);
    if (narrow != 0 || fadt.size() < offset64 + 8) return narrow;
    return Get64(fadt, offset64);
  }

  void PlaceFadtPointed() {
    PlaceAtPointer("FACS", FadtPointer(36, 132));
    PlaceAtPointer("DSDT", FadtPointer(40, 140));
  }

  void PlaceAtPointer(const std::string& signature, std::uint64_t pointer) {
    const int index = FirstOf(signature);
    if (index < 0 || items_[index].placed) return;
    if (pointer == 0) {
      Warn(signature + " has no address and the FADT gives none");
      return;  // goes to the free area with the rest
    }
    Put(items_[index], pointer);
  }

  void PlaceFree() {
    for (std::size_t i = 0; i < items_.size(); ++i) {
      const int index = static_cast<int>(i);
      if (items_[i].placed || index == rsdp_ || index == rsdt_) continue;
      PutFree(items_[i]);
    }
  }

  const Item* ItemAt(std::uint64_t address) const {
    for (const Item& item : items_) {
      if (item.placed && item.address == address) return &item;
    }
    return nullptr;
  }

  std::vector<std::uint64_t> XsdtEntries() const {
    std::vector<std::uint64_t> entries;
    if (xsdt_ < 0) return entries;
    const Bytes& xsdt = items_[xsdt_].bytes;
    const std::size_t end = std::min<std::size_t>(Get32(xsdt, 4), xsdt.size());
    for (std::size_t at = 36; at + 8 <= end; at += 8) entries.push_back(Get64(xsdt, at));
    return entries;
  }

  std::vector<std::uint32_t> MadeRsdtEntries() {
    std::vector<std::uint32_t> entries;
    std::set<const Item*> listed;
    for (std::uint64_t address : XsdtEntries()) {
      if (address > kLast32) {
        Warn("XSDT entry " + Hex(address) + " does not fit the 32-bit RSDT; left out of it");
        continue;
      }
      const Item* item = ItemAt(address);
      if (item == nullptr || IsRootOrFirmwareOwned(item->signature)) {
        Warn("XSDT entry " + Hex(address) + " has no table in the dump; left out of the RSDT");
        continue;
      }
      if (listed.insert(item).second) entries.push_back(static_cast<std::uint32_t>(address));
    }
    for (const Item& item : items_) {
      if (!item.placed || IsRootOrFirmwareOwned(item.signature) || listed.count(&item)) continue;
      if (item.address > kLast32) continue;  // already reported
      listed.insert(&item);
      entries.push_back(static_cast<std::uint32_t>(item.address));
    }
    return entries;
  }

  std::uint64_t RsdpPointer() const { return rsdp_ >= 0 ? Get32(items_[rsdp_].bytes, 16) : 0; }

  // The RSDP's target when it is free for a table of this size, else a free address.
  std::optional<std::uint64_t> RsdtHome(std::size_t size) {
    const std::uint64_t pointer = RsdpPointer();
    if (pointer != 0 && layout_.Overlap(pointer, size) == nullptr) return pointer;
    return Free(size, 16);
  }

  void PlaceRsdt() {
    if (rsdt_ >= 0) {
      Item& rsdt = items_[rsdt_];
      if (!rsdt.placed) {
        if (const auto home = RsdtHome(rsdt.bytes.size())) Put(rsdt, *home);
      }
      rsdtAddress_ = rsdt.address;
      if (firstExtra_ < items_.size()) ListExtrasInNewRsdt(rsdt);
      return;
    }
    Bytes made = BuildRsdt(MadeRsdtEntries(), MadeHeader());
    items_.push_back(Item{"RSDT", 0, std::move(made), false});
    rsdt_ = static_cast<int>(items_.size() - 1);
    if (const auto home = RsdtHome(items_[rsdt_].bytes.size())) Put(items_[rsdt_], *home);
    rsdtAddress_ = items_[rsdt_].address;
    result_.rsdtMade = true;
  }

  void ListExtrasInNewRsdt(const Item& rsdt) {
    std::vector<std::uint32_t> entries;
    const std::size_t end = std::min<std::size_t>(Get32(rsdt.bytes, 4), rsdt.bytes.size());
    for (std::size_t at = 36; at + 4 <= end; at += 4) entries.push_back(Get32(rsdt.bytes, at));
    for (std::size_t i = firstExtra_; i < items_.size(); ++i) {
      if (items_[i].placed) entries.push_back(static_cast<std::uint32_t>(items_[i].address));
    }
    AcpiHeaderFields header = MadeHeader();
    // The copy keeps the dump's OEM id when the dumped RSDT is long enough to hold one.
    if (rsdt.bytes.size() >= 16)
      header.oemId = std::string(rsdt.bytes.begin() + 10, rsdt.bytes.begin() + 16);
    items_.push_back(Item{"RSDT", 0, BuildRsdt(entries, header), false});
    PutFree(items_.back());
    if (!items_.back().placed) return;
    rsdtAddress_ = items_.back().address;
    Warn("the dump's RSDT was copied to " + Hex(rsdtAddress_) +
         " to list the added tables; its XSDT does not list them");
  }

  AcpiHeaderFields MadeHeader() const {
    AcpiHeaderFields header;
    if (fadt_ >= 0 && items_[fadt_].bytes.size() >= 24) {
      const Bytes& fadt = items_[fadt_].bytes;
      header.oemId = std::string(fadt.begin() + 10, fadt.begin() + 16);
      header.oemTableId = std::string(fadt.begin() + 16, fadt.begin() + 24);
    }
    return header;
  }

  void PlaceRsdp() {
    result_.rsdtAddress = rsdtAddress_;
    if (rsdtAddress_ == 0) {
      Warn("no RSDT could be placed; no root pointer");
      return;
    }
    if (rsdp_ < 0) {
      items_.push_back(Item{
          "RSDP", 0,
          BuildRsdp(RsdpFields{0, MadeHeader().oemId, static_cast<std::uint32_t>(rsdtAddress_), 0}),
          false});
      rsdp_ = static_cast<int>(items_.size() - 1);
      result_.rsdpMade = true;
    }
    Item& rsdp = items_[rsdp_];
    if (Get32(rsdp.bytes, 16) != rsdtAddress_) {
      Warn("RSDP pointed to RSDT " + Hex(Get32(rsdp.bytes, 16)) + "; now to " + Hex(rsdtAddress_));
      Put32(rsdp.bytes, 16, static_cast<std::uint32_t>(rsdtAddress_));
      RefreshRsdpChecksums(rsdp.bytes);
      if (rsdp.placed) memory_.Load(rsdp.address, rsdp.bytes);
    }
    if (!rsdp.placed) {
      const auto at = layout_.FindFree(kBiosAreaStart, kBiosAreaLast, rsdp.bytes.size(), 16);
      if (!at) {
        Warn("no free room for the RSDP in 0xE0000-0xFFFFF");
        return;
      }
      Put(rsdp, *at);
    }
    result_.rsdpAddress = rsdp.address;
  }

  void ReportUnreachable() {
    std::set<std::uint64_t> reached;
    if (rsdtAddress_ == 0) return;
    // The entries as they lie in memory, but no further than the range placed there: a length
    // field overwritten by another table, or completed by the unbacked bytes after a short RSDT,
    // could otherwise claim megabytes.
    const Bytes rsdt = memory_.ReadBytes(rsdtAddress_, 36);
    std::uint64_t length = std::min<std::uint32_t>(Get32(rsdt, 4), kAcpiDumpMaxTable);
    if (const PhysicalRange* placed = layout_.Overlap(rsdtAddress_, 1)) {
      length = std::min(length, placed->address + placed->size - rsdtAddress_);
    }
    const Bytes whole = memory_.ReadBytes(rsdtAddress_, length < 36 ? 36 : length);
    for (std::size_t at = 36; at + 4 <= whole.size(); at += 4) {
      const std::uint32_t address = Get32(whole, at);
      reached.insert(address);
      const Item* item = ItemAt(address);
      if (item != nullptr && item->signature == "FACP") {
        reached.insert(Get32(item->bytes, 36));
        reached.insert(Get32(item->bytes, 40));
      }
    }
    const std::vector<std::uint64_t> xsdt = XsdtEntries();
    for (const Item& item : items_) {
      if (!item.placed || item.signature == "RSDP" || item.signature == "RSDT" ||
          item.signature == "XSDT" || reached.count(item.address)) {
        continue;
      }
      const bool inXsdt = std::find(xsdt.begin(), xsdt.end(), item.address) != xsdt.end();
      Warn(item.signature + " @ " + Hex(item.address) +
           (inXsdt ? " is listed only in the XSDT: a reader following the RSDT does not find it"
                   : " is listed in no root table: a reader following the RSDT does not find it"));
    }
  }

  void Warn(std::string text) { result_.warnings.push_back(std::move(text)); }

  SimPhysicalMemory& memory_;
  PhysicalLayout& layout_;
  AcpiDumpPlacement result_;
  std::vector<Item> items_;
  std::size_t firstExtra_ = 0;
  int rsdp_ = -1;
  int rsdt_ = -1;
  int xsdt_ = -1;
  int fadt_ = -1;
  std::uint64_t rsdtAddress_ = 0;
};

}  // namespace

std::optional<PlacedTable> AcpiDumpPlacement::Find(const std::string& signature) const {
  for (const PlacedTable& table : tables) {
    if (table.signature == signature) return table;
  }
  return std::nullopt;
}

AcpiDumpPlacement PlaceAcpiDump(const AcpiDumpText& dump, SimPhysicalMemory& memory,
                                PhysicalLayout& layout, const std::vector<Bytes>& extraTables) {
  return DumpPlacer(memory, layout).Run(dump, extraTables);
}

AcpiDumpPlacement LoadAcpiDumpFile(const std::string& path, SimPhysicalMemory& memory,
                                   PhysicalLayout& layout, const std::vector<Bytes>& extraTables) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  const std::streamoff size = file ? static_cast<std::streamoff>(file.tellg()) : -1;
  if (size < 0) {
    AcpiDumpPlacement failed;
    failed.warnings.push_back("cannot read the ACPI dump " + path);
    return failed;
  }
  if (static_cast<std::uint64_t>(size) > kAcpiDumpMaxText) {
    AcpiDumpPlacement failed;
    failed.warnings.push_back("the ACPI dump " + path + " is larger than 256 MiB; rejected");
    return failed;
  }
  std::string text(static_cast<std::size_t>(size), '\0');
  file.seekg(0);
  file.read(text.data(), size);
  return PlaceAcpiDump(ParseAcpiDump(text), memory, layout, extraTables);
}

}  // namespace velmora::sim
