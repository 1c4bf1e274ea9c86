#include "sim/board/BuiltFirmware.h"

namespace velmora::sim {
namespace {

constexpr std::uint64_t kBelow4G = 0xFFFFFFFFull;

AcpiHeaderFields Header(const BuiltAcpiDescription& d) {
  AcpiHeaderFields header = d.oem;
  header.signature.clear();
  return header;
}

// The tables whose bytes do not depend on other tables' addresses, in RSDT order.
std::vector<Bytes> IndependentTables(const BuiltAcpiDescription& d) {
  std::vector<Bytes> tables;
  if (d.madt) tables.push_back(BuildMadt(d.madtFields, Header(d)));
  if (d.ecdt) tables.push_back(BuildEcdt(*d.ecdt, Header(d)));
  if (d.mcfgBase) tables.push_back(BuildMcfg(*d.mcfgBase, Header(d)));
  if (d.qvzx) tables.push_back(BuildQvzx(d.qvzxEntries, Header(d)));
  return tables;
}

std::string Signature(const Bytes& table) {
  return std::string(table.begin(), table.begin() + 4);
}

class AreaWriter {
 public:
  AreaWriter(std::uint64_t start, SimPhysicalMemory& memory, PhysicalLayout& layout)
      : next_(start), memory_(memory), layout_(layout) {}

  // Where a table of this size goes next (nothing is written yet).
  std::uint64_t Reserve(std::size_t size, std::uint64_t alignment, const std::string& what) {
    const auto at = layout_.FindFree(next_, kBelow4G, size, alignment);
    const std::uint64_t address = at.value_or(AlignUp(next_, alignment));
    layout_.Reserve(address, size, what);
    next_ = address + size;
    return address;
  }
  void Write(std::uint64_t address, const Bytes& bytes, AcpiPlacement& placement) {
    memory_.Load(address, bytes);
    placement.tables.push_back(
        PlacedTable{Signature(bytes), address, static_cast<std::uint32_t>(bytes.size())});
  }

 private:
  std::uint64_t next_;
  SimPhysicalMemory& memory_;
  PhysicalLayout& layout_;
};

}  // namespace

std::optional<PlacedTable> AcpiPlacement::Find(const std::string& signature) const {
  for (const PlacedTable& table : tables) {
    if (table.signature == signature) return table;
  }
  return std::nullopt;
}

Bytes BuildMcfg(std::uint64_t ecamBase, const AcpiHeaderFields& header) {
  AcpiHeaderFields named = header;
  named.signature = "MCFG";
  Bytes mcfg = StartAcpiTable(named);
  mcfg.resize(44, 0);  // 8 reserved bytes
  Put64(mcfg, 44, ecamBase);
  Put16(mcfg, 52, 0);    // segment group
  Put8(mcfg, 54, 0);     // first bus
  Put8(mcfg, 55, 0xFF);  // last bus
  Put32(mcfg, 56, 0);
  FinishAcpiTable(mcfg);
  return mcfg;
}

AcpiPlacement PlaceBuiltAcpi(const BuiltAcpiDescription& d, SimPhysicalMemory& memory,
                             PhysicalLayout& layout) {
  AcpiPlacement placement;
  const std::vector<Bytes> independent = IndependentTables(d);
  std::vector<Bytes> ssdts;
  for (int i = 0; i < d.ssdtCount; ++i) ssdts.push_back(BuildSsdt(i, Header(d)));
  const Bytes dsdt = BuildDsdt({}, Header(d));
  const Bytes facs = BuildFacs();
  const std::size_t fadtSize = d.fadt.revision >= 3 ? 244 : 116;
  const std::size_t listed = 1 + independent.size() + (d.ssdtsInRsdt ? ssdts.size() : 0);

  AreaWriter area(d.areaBase, memory, layout);
  const std::uint64_t rsdt = area.Reserve(36 + 4 * listed, 16, "RSDT");
  const std::uint64_t xsdt = d.rsdpRevision >= 2 ? area.Reserve(36 + 8 * listed, 16, "XSDT") : 0;
  const std::uint64_t fadt = area.Reserve(fadtSize, 16, "FACP");
  const std::uint64_t facsAt = area.Reserve(facs.size(), 64, "FACS");
  std::vector<std::uint64_t> addresses = {fadt};
  for (const Bytes& table : independent) {
    addresses.push_back(area.Reserve(table.size(), 16, Signature(table)));
  }
  const std::uint64_t dsdtAt = area.Reserve(dsdt.size(), 16, "DSDT");
  std::vector<std::uint64_t> ssdtAt;
  for (const Bytes& ssdt : ssdts) ssdtAt.push_back(area.Reserve(ssdt.size(), 16, "SSDT"));
  if (d.ssdtsInRsdt) addresses.insert(addresses.end(), ssdtAt.begin(), ssdtAt.end());

  FadtFields fadtFields = d.fadt;
  fadtFields.facsAddress = static_cast<std::uint32_t>(facsAt);
  fadtFields.dsdtAddress = static_cast<std::uint32_t>(dsdtAt);
  std::vector<std::uint32_t> rsdtEntries(addresses.begin(), addresses.end());

  const std::uint64_t rsdpAt = d.rsdpAddress;
  const Bytes rsdp =
      BuildRsdp(RsdpFields{d.rsdpRevision, d.oem.oemId, static_cast<std::uint32_t>(rsdt), xsdt});
  layout.Reserve(rsdpAt, rsdp.size(), "RSDP");
  memory.Load(rsdpAt, rsdp);
  placement.tables.push_back(PlacedTable{"RSDP", rsdpAt, static_cast<std::uint32_t>(rsdp.size())});
  area.Write(rsdt, BuildRsdt(rsdtEntries, Header(d)), placement);
  if (xsdt != 0) area.Write(xsdt, BuildXsdt(addresses, Header(d)), placement);
  area.Write(fadt, BuildFadt(fadtFields, Header(d)), placement);
  area.Write(facsAt, facs, placement);
  for (std::size_t i = 0; i < independent.size(); ++i) {
    area.Write(addresses[i + 1], independent[i], placement);
    if (Signature(independent[i]) == "QVZX") {
      const std::size_t offset = QvzxControlByteOffset(independent[i]);
      if (offset != 0) placement.controlByteAddress = addresses[i + 1] + offset;
    }
  }
  area.Write(dsdtAt, dsdt, placement);
  for (std::size_t i = 0; i < ssdts.size(); ++i) area.Write(ssdtAt[i], ssdts[i], placement);
  placement.rsdpAddress = rsdpAt;
  placement.rsdtAddress = rsdt;
  return placement;
}

SmbiosPlacement PlaceBuiltSmbios(const BuiltSmbiosDescription& d, SimPhysicalMemory& memory,
                                 PhysicalLayout& layout) {
  const SmbiosTable table = BuildStandardSmbiosTable(d.identity);
  SmbiosPlacement placement;
  placement.tableAddress =
      layout.FindFree(d.tableAddress, kBelow4G, table.bytes.size(), 16).value_or(d.tableAddress);
  placement.tableLength = static_cast<std::uint32_t>(table.bytes.size());
  placement.entryAddress =
      layout.FindFree(d.entryAddress, 0xFFFFF, kSmbiosEntrySize, 16).value_or(d.entryAddress);
  const Bytes entry =
      BuildSmbiosEntryPoint(SmbiosEntryFields{2, 6, static_cast<std::uint16_t>(table.bytes.size()),
                                              static_cast<std::uint32_t>(placement.tableAddress),
                                              table.structureCount, table.largestStructure});
  layout.Reserve(placement.tableAddress, table.bytes.size(), "SMBIOS table");
  layout.Reserve(placement.entryAddress, entry.size(), "SMBIOS entry point");
  memory.Load(placement.tableAddress, table.bytes);
  memory.Load(placement.entryAddress, entry);
  return placement;
}

}  // namespace velmora::sim
