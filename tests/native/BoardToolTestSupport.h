// Firmware knowledge of the board tool's tests, kept apart from the simulator: the acpidump text
// read straight from its hex lines, a byte model of physical memory made of the dumped tables,
// the ACPI chain a 32-bit reader follows through that memory, and hand-built tables written back
// as acpidump text.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tools/board/BoardTool.h"

namespace velmora::boardtest {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint32_t kNone = 0xFFFFFFFF;

struct DumpTable {
  std::string signature;
  std::uint64_t address = 0;
  Bytes bytes;
};

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// "SIG @ 0xADDRESS", then lines "  OFFS: XX XX ... XX  ascii"; the ASCII column is separated
// from the last byte by at least two blanks and never read.
inline std::vector<DumpTable> ParseAcpiDumpText(const std::string& text) {
  static const std::regex header(R"(^(\S{4}) @ 0x([0-9A-Fa-f]+)\s*$)");
  static const std::regex data(
      R"(^\s*([0-9A-Fa-f]{4,8}): ((?:[0-9A-Fa-f]{2} ){0,15}[0-9A-Fa-f]{2}))");
  std::vector<DumpTable> tables;
  std::istringstream lines(text);
  std::string line;
  std::smatch m;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (std::regex_match(line, m, header)) {
      tables.push_back({m[1], std::stoull(m[2], nullptr, 16), {}});
    } else if (!tables.empty() && std::regex_search(line, m, data)) {
      std::size_t at = std::stoul(m[1], nullptr, 16);
      Bytes& bytes = tables.back().bytes;
      std::istringstream hex(m[2]);
      std::string pair;
      while (hex >> pair) {
        if (bytes.size() <= at) bytes.resize(at + 1);
        bytes[at++] = static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16));
      }
    }
  }
  return tables;
}

inline std::uint32_t Le(const Bytes& bytes, std::size_t offset, int count = 4) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes.at(offset + i);
  return value;
}

inline std::string Hex8(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

inline std::string Hex4(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

// Physical memory holding the dumped tables at their addresses; everything else reads 0xFF, as
// absent memory does.
class DumpMemory {
 public:
  explicit DumpMemory(const std::vector<DumpTable>& tables) {
    for (const DumpTable& table : tables) {
      if (table.address != 0) tables_[table.address] = &table;
    }
  }
  std::uint8_t Byte(std::uint64_t address) const {
    auto it = tables_.upper_bound(address);
    if (it == tables_.begin()) return 0xFF;
    --it;
    const std::uint64_t offset = address - it->first;
    return offset < it->second->bytes.size() ? it->second->bytes[offset] : 0xFF;
  }
  Bytes Read(std::uint64_t address, std::size_t count) const {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = Byte(address + i);
    return bytes;
  }
  std::uint32_t Dword(std::uint64_t address) const { return Le(Read(address, 4), 0); }
  std::string Signature(std::uint64_t address) const {
    std::string text;
    for (std::uint8_t c : Read(address, 4)) text += (c >= 0x20 && c < 0x7F) ? char(c) : '?';
    return text;
  }

 private:
  std::map<std::uint64_t, const DumpTable*> tables_;
};

struct ExpectedTable {
  std::string signature;
  std::uint32_t address;
  std::uint32_t length;
};

inline std::string AcpiLine(std::size_t index, const ExpectedTable& t) {
  return "acpi[" + std::to_string(index) + "]: " + t.signature + " " + Hex8(t.address) + " " +
         Hex8(t.length);
}

// The platform values a 32-bit reader takes from the FADT, MADT and ECDT; unset ones keep the
// configuration's built-in defaults.
struct ExpectedConfig {
  std::uint32_t pmBase = 0, sci = 9, timer = 0, timerExt = 0, apic = 0xFEC00000;
  std::uint32_t ecSc = 0x66, ecData = 0x62, ecSpace = 1;

  void FromFadt(const Bytes& fadt) {
    sci = Le(fadt, 46, 2);
    pmBase = Le(fadt, 56) & 0xFFFF;
    timer = Le(fadt, 76) & 0xFFFF;
    timerExt = Le(fadt, 112) & 0x100;
  }
  // Type-1 structures (I/O APIC) from offset 44; the last one with interrupt base 0 counts.
  void FromMadt(const Bytes& madt) {
    for (std::size_t p = 44; p + 2 <= madt.size() && madt[p + 1] != 0; p += madt[p + 1]) {
      if (madt[p] == 1 && p + 12 <= madt.size() && Le(madt, p + 8) == 0) apic = Le(madt, p + 4);
    }
  }
  // The EC's command/status and data registers (generic addresses at 36 and 48).
  void FromEcdt(const Bytes& ecdt) {
    ecSpace = ecdt.at(36);
    ecSc = Le(ecdt, 40) & 0xFFFF;
    ecData = Le(ecdt, 52) & 0xFFFF;
  }
  std::string Line() const {
    return "config: AcpiPmBase=" + Hex4(pmBase) + " AcpiSciIrq=" + std::to_string(sci) +
           " PmTimerPort=" + Hex4(timer) + " PmTimerExt=" + Hex4(timerExt) +
           " ApicAddress=" + Hex8(apic) + " EC_SC=" + Hex4(ecSc) + " EC_DATA=" + Hex4(ecData) +
           " EC_AddressSpaceID=" + std::to_string(ecSpace);
  }
};

inline bool SumsToZero(const Bytes& bytes) {
  unsigned sum = 0;
  for (std::uint8_t b : bytes) sum += b;
  return sum % 256 == 0;
}

// Tables with a valid checksum whose "SSDT" starts on a 16-byte boundary in the 64 KiB after the
// DSDT's end (rounded down to 16), in address order.
inline std::vector<ExpectedTable> SsdtsAfter(const DumpMemory& memory, std::uint32_t dsdt,
                                             std::uint32_t dsdtLength) {
  std::vector<ExpectedTable> found;
  const std::uint32_t start = (dsdt + dsdtLength) & 0xFFFFFFF0u;
  for (std::uint64_t a = start; a + 4 <= std::uint64_t{start} + 0x10000; a += 16) {
    if (memory.Signature(a) != "SSDT") continue;
    const std::uint32_t length = memory.Dword(a + 4);
    if (length >= 36 && SumsToZero(memory.Read(a, length))) {
      found.push_back({"SSDT", static_cast<std::uint32_t>(a), length});
    }
  }
  return found;
}

// The list a reader builds from the RSDT at rsdt: the RSDT's tables, FACS and DSDT after each
// FADT, the SSDTs found after each DSDT (unless the search is off, as it is on Intel
// processors) among those the RSDT lists, the only ones the driver reads; the config values met
// on the way. Lengths and signatures come from the memory's bytes.
struct ExpectedWalk {
  std::vector<ExpectedTable> tables;
  ExpectedConfig config;
};

inline ExpectedWalk WalkFromRsdt(const DumpMemory& memory, std::uint32_t rsdt,
                                 bool ssdtSearch = true) {
  ExpectedWalk walk;
  std::vector<std::uint32_t> pending = {rsdt};
  std::vector<std::uint32_t> listed;
  for (std::size_t i = 0; i < pending.size(); ++i) {
    const std::uint32_t address = pending[i];
    const std::uint32_t length = memory.Dword(address + 4);
    const std::string signature = memory.Signature(address);
    walk.tables.push_back({signature, address, length});
    if (signature == "RSDT") {
      for (std::uint32_t at = 36; at + 4 <= length; at += 4) {
        if (const std::uint32_t entry = memory.Dword(address + at)) pending.push_back(entry);
        listed.push_back(memory.Dword(address + at));
      }
    } else if (signature == "FACP") {
      const Bytes fadt = memory.Read(address, length);
      walk.config.FromFadt(fadt);
      pending.push_back(Le(fadt, 36));
      pending.push_back(Le(fadt, 40));
    } else if (signature == "APIC") {
      walk.config.FromMadt(memory.Read(address, length));
    } else if (signature == "ECDT") {
      walk.config.FromEcdt(memory.Read(address, length));
    } else if (signature == "DSDT" && ssdtSearch) {
      for (const ExpectedTable& ssdt : SsdtsAfter(memory, address, length)) {
        if (std::count(listed.begin(), listed.end(), ssdt.address)) pending.push_back(ssdt.address);
      }
    }
  }
  return walk;
}

// ---- hand-built tables ----

inline void FixChecksum(Bytes& bytes, std::size_t at, std::size_t count) {
  bytes[at] = 0;
  unsigned sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
  bytes[at] = static_cast<std::uint8_t>(-sum);
}

inline void PutLe(Bytes& bytes, std::size_t at, std::uint64_t value, int count) {
  for (int i = 0; i < count; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline Bytes AcpiTable(const std::string& signature, const Bytes& body) {
  Bytes table(36, 0);
  for (int i = 0; i < 4; ++i) table[i] = static_cast<std::uint8_t>(signature[i]);
  table.insert(table.end(), body.begin(), body.end());
  PutLe(table, 4, table.size(), 4);
  table[8] = 1;
  const std::string oem = "ZTESTSODDBOARD";
  for (std::size_t i = 0; i < oem.size(); ++i) table[10 + i] = static_cast<std::uint8_t>(oem[i]);
  FixChecksum(table, 9, table.size());
  return table;
}

inline Bytes Rsdp(std::uint8_t revision, std::uint32_t rsdt, std::uint64_t xsdt = 0) {
  Bytes rsdp(revision == 0 ? 20 : 36, 0);
  const std::string head = "RSD PTR ZTESTS";
  for (std::size_t i = 0; i < head.size(); ++i) rsdp[i] = static_cast<std::uint8_t>(head[i]);
  rsdp[15] = revision;
  PutLe(rsdp, 16, rsdt, 4);
  if (revision != 0) {
    PutLe(rsdp, 20, 36, 4);
    PutLe(rsdp, 24, xsdt, 8);
    FixChecksum(rsdp, 32, 36);
  }
  FixChecksum(rsdp, 8, 20);
  return rsdp;
}

inline Bytes Words(const std::vector<std::uint64_t>& values, int width) {
  Bytes bytes(values.size() * width, 0);
  for (std::size_t i = 0; i < values.size(); ++i) PutLe(bytes, i * width, values[i], width);
  return bytes;
}

// A revision-1 FADT (116 bytes).
inline Bytes Fadt(std::uint32_t facs, std::uint32_t dsdt, std::uint16_t sci, std::uint32_t pm1a,
                  std::uint32_t timer, std::uint32_t flags) {
  Bytes body(116 - 36, 0);
  PutLe(body, 36 - 36, facs, 4);
  PutLe(body, 40 - 36, dsdt, 4);
  PutLe(body, 46 - 36, sci, 2);
  PutLe(body, 56 - 36, pm1a, 4);
  PutLe(body, 76 - 36, timer, 4);
  PutLe(body, 112 - 36, flags, 4);
  return AcpiTable("FACP", body);
}

inline Bytes Madt(std::uint32_t ioApic, std::uint32_t gsiBase) {
  Bytes body(8, 0);
  PutLe(body, 0, 0xFEE00000, 4);
  Bytes entry(12, 0);
  entry[0] = 1;
  entry[1] = 12;
  PutLe(entry, 4, ioApic, 4);
  PutLe(entry, 8, gsiBase, 4);
  body.insert(body.end(), entry.begin(), entry.end());
  return AcpiTable("APIC", body);
}

inline Bytes Facs() {
  Bytes facs(64, 0);
  const std::string sig = "FACS";
  for (int i = 0; i < 4; ++i) facs[i] = static_cast<std::uint8_t>(sig[i]);
  facs[4] = 64;
  return facs;
}

// The tables as acpidump prints them.
inline std::string DumpText(const std::vector<DumpTable>& tables) {
  std::string text;
  char line[128];
  for (const DumpTable& table : tables) {
    std::snprintf(line, sizeof line, "%s @ 0x%016llX\n", table.signature.c_str(),
                  static_cast<unsigned long long>(table.address));
    text += line;
    for (std::size_t at = 0; at < table.bytes.size(); at += 16) {
      std::snprintf(line, sizeof line, "    %04zX:", at);
      text += line;
      for (std::size_t i = at; i < table.bytes.size() && i < at + 16; ++i) {
        std::snprintf(line, sizeof line, " %02X", table.bytes[i]);
        text += line;
      }
      text += "\n";
    }
    text += "\n";
  }
  return text;
}

// ---- running the tool ----

struct ToolRun {
  int exitCode;
  std::string out;
  std::string err;
  std::vector<std::string> lines;

  std::vector<std::string> Starting(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
      if (line.rfind(prefix, 0) == 0) found.push_back(line);
    }
    return found;
  }
  // Every line but the request count (the last one without --log).
  std::vector<std::string> Facts() const {
    return lines.empty() ? lines : std::vector<std::string>(lines.begin(), lines.end() - 1);
  }
  std::string Line(const std::string& prefix) const {
    const std::vector<std::string> found = Starting(prefix);
    return found.size() == 1 ? found[0] : "<" + std::to_string(found.size()) + " lines>";
  }
};

inline ToolRun RunTool(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  ToolRun run{boardtool::RunBoardTool(args, out, err), out.str(), err.str(), {}};
  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) run.lines.push_back(line);
  return run;
}

// A file in a fresh folder of the system's temporary directory, removed with the object.
class TempFile {
 public:
  TempFile(const std::string& name, const std::string& contents) {
    // Test cases run as separate processes, possibly at once: every folder gets its own name.
    folder_ = std::filesystem::temp_directory_path() /
              ("velmora-board-test-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / name).string();
    std::ofstream(path_, std::ios::binary) << contents;
  }
  ~TempFile() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::filesystem::path folder_;
  std::string path_;
};

}  // namespace velmora::boardtest
