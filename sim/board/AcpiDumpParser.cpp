// The text side of the acpidump loader: header lines, hex lines and the limits that keep a
// malformed or hostile file from growing without bound.
#include <cstdio>

#include "sim/board/AcpiDump.h"

namespace velmora::sim {
namespace {

constexpr std::size_t kMaxTables = 4096;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHex(std::string_view text, std::size_t maxDigits, std::uint64_t& value) {
  if (text.empty() || text.size() > maxDigits) return false;
  value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return false;
    value = (value << 4) | static_cast<std::uint64_t>(digit);
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

// The acpidump of pmtools, found in many older logs, names the root pointer by its 8-byte
// signature "RSD PTR " where the ACPICA tool writes "RSDP"; its addresses are lower-case hex.
constexpr std::string_view kOldRootPointerName = "RSD PTR";

// "SIG @ 0xADDRESS": a four-character printable signature (or "RSD PTR", read as RSDP) and up to
// 16 hex digits of either case.
bool ParseHeaderLine(std::string_view line, std::string& signature, std::uint64_t& address) {
  line = Trim(line);
  std::string_view name = line.substr(0, 4);
  if (line.substr(0, kOldRootPointerName.size()) == kOldRootPointerName) {
    name = kOldRootPointerName;
  }
  for (char c : name) {
    if ((c <= 0x20 && name != kOldRootPointerName) || c >= 0x7F) return false;
  }
  if (name.size() < 4 || line.substr(name.size(), 3) != " @ ") return false;
  std::string_view number = line.substr(name.size() + 3);
  if (number.size() < 3 || number[0] != '0' || (number[1] != 'x' && number[1] != 'X')) return false;
  if (!ParseHex(number.substr(2), 16, address)) return false;
  signature = name == kOldRootPointerName ? "RSDP" : std::string(name);
  return true;
}

// "  0010: 94 87 6d bf ...  ASCII": the offset and up to 16 bytes; the ASCII column (after the
// hex bytes and at least two blanks) is never read as data.
bool ParseDataLine(std::string_view line, std::size_t& offset, std::uint8_t (&bytes)[16],
                   std::size_t& count) {
  line = Trim(line);
  const std::size_t colon = line.find(':');
  std::uint64_t value = 0;
  if (colon == std::string_view::npos || !ParseHex(line.substr(0, colon), 8, value)) return false;
  offset = static_cast<std::size_t>(value);
  count = 0;
  std::size_t pos = colon + 1;
  while (count < 16 && pos + 2 < line.size() && line[pos] == ' ') {
    const int high = HexDigit(line[pos + 1]);
    const int low = HexDigit(line[pos + 2]);
    const bool separated = pos + 3 == line.size() || line[pos + 3] == ' ';
    if (high < 0 || low < 0 || !separated) break;
    bytes[count++] = static_cast<std::uint8_t>((high << 4) | low);
    pos += 3;
  }
  return count > 0;
}

std::string LineRef(std::size_t number) {
  return "line " + std::to_string(number);
}

class DumpParser {
 public:
  AcpiDumpText Run(std::string_view text) {
    std::size_t pos = 0;
    std::size_t number = 0;
    while (pos < text.size() && !stopped_) {
      const std::size_t end = text.find('\n', pos);
      const std::string_view line =
          text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
      pos = end == std::string_view::npos ? text.size() : end + 1;
      Line(line, ++number);
    }
    Finish();
    return std::move(result_);
  }

 private:
  void Line(std::string_view line, std::size_t number) {
    std::string signature;
    std::uint64_t address = 0;
    if (ParseHeaderLine(line, signature, address)) {
      Header(signature, address, number);
      return;
    }
    std::size_t offset = 0;
    std::uint8_t bytes[16];
    std::size_t count = 0;
    if (ParseDataLine(line, offset, bytes, count)) {
      Data(offset, bytes, count, number);
    } else if (!Trim(line).empty()) {
      if (skipped_++ == 0) firstSkipped_ = number;
      // What follows may belong to a table whose header was this line: it is not the table
      // above, whose first bytes (its header) its offsets would overwrite.
      if (!result_.tables.empty()) strayAfter_ = number;
    }
  }

  void Header(const std::string& signature, std::uint64_t address, std::size_t number) {
    if (result_.tables.size() >= kMaxTables) {
      Warn(LineRef(number) + ": more than " + std::to_string(kMaxTables) +
           " tables; the rest of the dump is ignored");
      stopped_ = true;
      return;
    }
    result_.tables.push_back(DumpedTable{signature, address, {}});
    rejected_ = false;
    strayAfter_ = 0;
  }

  void Data(std::size_t offset, const std::uint8_t* bytes, std::size_t count, std::size_t number) {
    if (result_.tables.empty()) {
      if (!orphanReported_) Warn(LineRef(number) + ": hex data before any table header; ignored");
      orphanReported_ = true;
      return;
    }
    DumpedTable& table = result_.tables.back();
    if (strayAfter_ != 0) {
      if (strayReported_ != strayAfter_) {
        Warn(LineRef(number) + ": hex data after " + LineRef(strayAfter_) +
             ", which is neither header nor hex data; dropped up to the next table header (" +
             table.signature + " above keeps what came before)");
        strayReported_ = strayAfter_;
      }
      return;
    }
    if (rejected_) return;
    if (offset > kAcpiDumpMaxTable - count) {
      Warn(LineRef(number) + ": " + table.signature + " runs past 16 MiB; the table is rejected");
      total_ -= table.bytes.size();
      table.bytes.clear();
      rejected_ = true;
      return;
    }
    const std::size_t end = offset + count;
    const std::size_t growth = end > table.bytes.size() ? end - table.bytes.size() : 0;
    if (total_ + growth > kAcpiDumpMaxTotal) {
      Warn(LineRef(number) + ": the dump holds more than 64 MiB of tables; the rest is ignored");
      stopped_ = true;
      return;
    }
    if (growth > 0) table.bytes.resize(end, 0);
    std::copy(bytes, bytes + count, table.bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    total_ += growth;
  }

  void Finish() {
    if (skipped_ > 0) {
      Warn(std::to_string(skipped_) +
           " line(s) neither header nor hex data were skipped, the first at " +
           LineRef(firstSkipped_));
    }
    std::vector<DumpedTable> kept;
    for (DumpedTable& table : result_.tables) {
      if (table.bytes.empty()) {
        Warn(table.signature + " @ " + HexText(table.address) + " holds no bytes; left out");
        continue;
      }
      kept.push_back(std::move(table));
    }
    result_.tables = std::move(kept);
  }

  static std::string HexText(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
  }

  void Warn(std::string text) { result_.warnings.push_back(std::move(text)); }

  AcpiDumpText result_;
  std::size_t total_ = 0;
  std::size_t skipped_ = 0;
  std::size_t firstSkipped_ = 0;
  std::size_t strayAfter_ = 0;     // the line not understood that hex lines now follow, or 0
  std::size_t strayReported_ = 0;  // the last such line already reported
  bool rejected_ = false;
  bool orphanReported_ = false;
  bool stopped_ = false;
};

}  // namespace

AcpiDumpText ParseAcpiDump(std::string_view text) {
  return DumpParser().Run(text);
}

}  // namespace velmora::sim
