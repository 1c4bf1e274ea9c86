#include "sim/board/SmbiosDump.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "sim/board/SmbiosTables.h"

namespace velmora::sim {
namespace {

constexpr std::size_t kDumpTableOffset = 0x20;

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

bool StartsWith(const Bytes& bytes, const char* anchor) {
  const std::size_t size = std::strlen(anchor);
  return bytes.size() >= size && std::memcmp(bytes.data(), anchor, size) == 0;
}

struct EntryShape {
  std::size_t size;           // entry point bytes
  std::size_t addressOffset;  // table address field
  std::size_t addressWidth;   // 4 or 8
  std::size_t lengthOffset;   // table length field
  std::size_t lengthWidth;    // 2 or 4
};

class SmbiosPlacer {
 public:
  SmbiosPlacer(const Bytes& dump, SimPhysicalMemory& memory, PhysicalLayout& layout,
               std::uint32_t tableAddress)
      : dump_(dump), memory_(memory), layout_(layout), wantedTable_(tableAddress) {}

  SmbiosDumpPlacement Run() {
    if (StartsWith(dump_, "_SM_")) {
      const std::size_t size = std::clamp<std::size_t>(dump_.size() > 5 ? dump_[5] : 0, 0x1F, 0x20);
      return Place("_SM_", EntryShape{size, 0x18, 4, 0x16, 2});
    }
    if (StartsWith(dump_, "_SM3_")) {
      Warn(
          "only a 64-bit \"_SM3_\" entry point: a search for \"_SM_\" finds nothing on this board");
      return Place("_SM3_", EntryShape{24, 0x10, 8, 0x0C, 4});
    }
    if (StartsWith(dump_, "_DMI_")) {
      Warn(
          "only a legacy \"_DMI_\" entry point: a search for \"_SM_\" finds nothing on this board");
      return Place("_DMI_", EntryShape{15, 8, 4, 6, 2});
    }
    Warn("no SMBIOS entry point at the start of the dump; rejected");
    return std::move(result_);
  }

 private:
  SmbiosDumpPlacement Place(const char* anchor, const EntryShape& shape) {
    if (dump_.size() < shape.size) {
      Warn(std::string(anchor) + " entry point cut short; rejected");
      return std::move(result_);
    }
    Bytes entry(dump_.begin(), dump_.begin() + static_cast<std::ptrdiff_t>(shape.size));
    result_.anchor = anchor;
    result_.tableLength = shape.lengthWidth == 2 ? Get16(entry, shape.lengthOffset)
                                                 : Get32(entry, shape.lengthOffset);
    const std::uint64_t dumpedAt = shape.addressWidth == 4 ? Get32(entry, shape.addressOffset)
                                                           : Get64(entry, shape.addressOffset);
    const std::size_t from =
        dumpedAt < dump_.size() ? static_cast<std::size_t>(dumpedAt) : kDumpTableOffset;
    if (dumpedAt != kDumpTableOffset) {
      Warn("the entry point gives the table at " + Hex(dumpedAt) + ", not at 0x20 of the dump");
    }
    const std::size_t present = dump_.size() > from ? dump_.size() - from : 0;
    const std::size_t loaded = std::min<std::size_t>(present, result_.tableLength);
    if (loaded < result_.tableLength) {
      Warn(std::string(anchor) + " declares a table of " + std::to_string(result_.tableLength) +
           " bytes, the dump holds " + std::to_string(present));
    }
    if (!PlaceTable(from, loaded)) return std::move(result_);
    PatchEntry(entry, shape);
    return std::move(result_);
  }

  bool PlaceTable(std::size_t from, std::size_t size) {
    const auto at =
        layout_.FindFree(wantedTable_, 0xFFFFFFFFull, std::max<std::size_t>(size, 1), 16);
    if (!at) {
      Warn("no free room for the SMBIOS table below 4 GiB");
      return false;
    }
    result_.tableAddress = *at;
    memory_.Load(*at, Bytes(dump_.begin() + static_cast<std::ptrdiff_t>(from),
                            dump_.begin() + static_cast<std::ptrdiff_t>(from + size)));
    layout_.Reserve(*at, size, "SMBIOS table");
    return true;
  }

  void PatchEntry(Bytes& entry, const EntryShape& shape) {
    const bool wasValid = EntryChecksumValid(entry);
    if (shape.addressWidth == 4) {
      Put32(entry, shape.addressOffset, static_cast<std::uint32_t>(result_.tableAddress));
    } else {
      Put64(entry, shape.addressOffset, result_.tableAddress);
    }
    if (result_.anchor == "_SM_") {
      SetChecksum(entry, 16, 15, 21);
      SetChecksum(entry, 0, entry.size(), 4);
    } else if (result_.anchor == "_SM3_") {
      SetChecksum(entry, 0, entry.size(), 5);
    } else {
      SetChecksum(entry, 0, entry.size(), 5);
    }
    if (!wasValid) Warn("the dump's entry point checksum was wrong; the placed one is corrected");
    const auto at = layout_.FindFree(0xF0000, 0xFFFFF, entry.size(), 16);
    if (!at) {
      Warn("no free room for the SMBIOS entry point in 0xF0000-0xFFFFF");
      return;
    }
    memory_.Load(*at, entry);
    layout_.Reserve(*at, entry.size(), std::string("SMBIOS ") + result_.anchor);
    result_.entryAddress = *at;
    result_.loaded = true;
  }

  bool EntryChecksumValid(const Bytes& entry) const {
    return ByteSum(entry.data(), entry.size()) == 0;
  }

  void Warn(std::string text) { result_.warnings.push_back(std::move(text)); }

  const Bytes& dump_;
  SimPhysicalMemory& memory_;
  PhysicalLayout& layout_;
  std::uint32_t wantedTable_;
  SmbiosDumpPlacement result_;
};

}  // namespace

SmbiosDumpPlacement PlaceDmidecodeDump(const Bytes& dump, SimPhysicalMemory& memory,
                                       PhysicalLayout& layout, std::uint32_t tableAddress) {
  return SmbiosPlacer(dump, memory, layout, tableAddress).Run();
}

SmbiosDumpPlacement LoadDmidecodeDumpFile(const std::string& path, SimPhysicalMemory& memory,
                                          PhysicalLayout& layout, std::uint32_t tableAddress) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  const std::streamoff size = file ? static_cast<std::streamoff>(file.tellg()) : -1;
  SmbiosDumpPlacement failed;
  if (size < 0) {
    failed.warnings.push_back("cannot read the SMBIOS dump " + path);
    return failed;
  }
  if (static_cast<std::uint64_t>(size) > kSmbiosDumpMaxBytes) {
    failed.warnings.push_back("the SMBIOS dump " + path + " is larger than 16 MiB; rejected");
    return failed;
  }
  Bytes bytes(static_cast<std::size_t>(size));
  file.seekg(0);
  file.read(reinterpret_cast<char*>(bytes.data()), size);
  return PlaceDmidecodeDump(bytes, memory, layout, tableAddress);
}

}  // namespace velmora::sim
