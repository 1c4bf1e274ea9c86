#include "sim/board/SimBoardFile.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "config/MemIniFile.h"

namespace velmora::sim {
namespace {

constexpr int kMaxNumberedKeys = 256;
constexpr std::size_t kMaxLineReports = 20;  // a file of garbage gets a count, not a flood

// The demo program's own section, read by DemoBoardState.cpp from the same text.
constexpr const char* kDemoKeys[] = {
    "ControlByte",   "SimulatedPower",         "SimulatedTaskScheduler",
    "ModernStandby", "ReducedHibernationFile", "SuspendError",
    "DriverRefused"};

bool IsSectionLine(std::string_view line) {
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

std::string SectionName(std::string_view line) {
  return UpperAscii(TrimIniText(line.substr(1, line.size() - 2)));
}

std::vector<std::string_view> SplitAny(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> parts;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    const std::size_t end = text.find_first_of(separators, pos);
    const std::string_view part =
        TrimIniText(text.substr(pos, end == std::string_view::npos ? text.npos : end - pos));
    if (!part.empty()) parts.push_back(part);
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  return parts;
}

}  // namespace

// Decimal, or hexadecimal with "0x"; the whole text must be the number.
bool ParseBoardNumber(std::string_view text, std::uint64_t& value, int base) {
  text = TrimIniText(text);
  if (base == 0) {
    base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
      text.remove_prefix(2);
      base = 16;
    }
  }
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size();
}

namespace {

class BoardFileReader {
 public:
  BoardFileReader(std::string_view text, std::string folder)
      : ini_(text), folder_(std::move(folder)) {}

  BoardFileResult Run(std::string_view text) {
    result_.read = true;
    result_.description = DefaultBoardDescription();
    ReadBoard();
    ReadSmbios();
    ReadAcpi();
    ReadQvzx();
    ReadPci();
    ReadProcessor();
    CheckLines(text);
    return std::move(result_);
  }

 private:
  static std::string KeyOf(std::string_view section, std::string_view key) {
    return UpperAscii(section) + "\n" + UpperAscii(key);
  }
  bool Has(const char* section, const char* key) {
    asked_.insert(KeyOf(section, key));
    return ini_.ReadString(section, key, "\x01") != "\x01";
  }
  std::string Text(const char* section, const char* key, const std::string& fallback) {
    asked_.insert(KeyOf(section, key));
    return ini_.ReadString(section, key, fallback);
  }
  template <typename T>
  void Number(const char* section, const char* key, T& target) {
    if (!Has(section, key)) return;
    std::uint64_t value = 0;
    const std::string text = Text(section, key, "");
    if (!ParseBoardNumber(text, value) ||
        value > static_cast<std::uint64_t>(static_cast<T>(~T{}))) {
      Error(section, key, text);
      return;
    }
    target = static_cast<T>(value);
  }
  void Flag(const char* section, const char* key, bool& target) {
    std::uint8_t value = target ? 1 : 0;
    Number(section, key, value);
    target = value != 0;
  }
  void Error(const char* section, const char* key, const std::string& text) {
    refused_.insert(KeyOf(section, key));
    result_.errors.push_back(std::string("[") + section + "] " + key + " = " + text +
                             ": not understood; default kept");
  }
  // Absolute: "/x" on Linux; "\\x" or "C:..." on Windows, where the demo program reads boards.
  std::string Path(const std::string& text) const {
    const bool absolute = !text.empty() && (text.front() == '/' || text.front() == '\\' ||
                                            (text.size() > 1 && text[1] == ':'));
    if (text.empty() || absolute || folder_.empty()) return text;
    return folder_ + "/" + text;
  }

  void ReadBoard() {
    BoardDescription& board = result_.description;
    board.name = Text("Board", "Name", board.name);
    // UEFI firmware without legacy support: no copies of its entry points in the BIOS area.
    bool uefi = !board.legacyCopies;
    Flag("Board", "Uefi", uefi);
    board.legacyCopies = !uefi;
  }

  void ReadSmbios() {
    BuiltSmbiosDescription& s = result_.description.smbios;
    SmbiosIdentity& id = s.identity;
    const std::pair<const char*, std::string*> strings[] = {
        {"BiosVendor", &id.biosVendor},
        {"BiosVersion", &id.biosVersion},
        {"BiosDate", &id.biosDate},
        {"SystemManufacturer", &id.systemManufacturer},
        {"SystemProduct", &id.systemProduct},
        {"SystemVersion", &id.systemVersion},
        {"BaseboardManufacturer", &id.baseboardManufacturer},
        {"BaseboardProduct", &id.baseboardProduct},
        {"BaseboardVersion", &id.baseboardVersion}};
    for (const auto& [key, target] : strings) *target = Text("Smbios", key, *target);
    Number("Smbios", "EntryAddress", s.entryAddress);
    Number("Smbios", "TableAddress", s.tableAddress);
    result_.description.dmidecodePath = Path(Text("Smbios", "Dmidecode", ""));
  }

  void ReadAcpi() {
    BuiltAcpiDescription& a = result_.description.acpi;
    result_.description.acpidumpPath = Path(Text("Acpi", "Acpidump", ""));
    Flag("Acpi", "AddQvzxToDump", result_.description.addQvzxToDump);
    Number("Acpi", "RsdpRevision", a.rsdpRevision);
    Number("Acpi", "RsdpAddress", a.rsdpAddress);
    Number("Acpi", "AreaBase", a.areaBase);
    a.oem.oemId = Text("Acpi", "OemId", a.oem.oemId);
    a.oem.oemTableId = Text("Acpi", "OemTableId", a.oem.oemTableId);
    Number("Acpi", "FadtRevision", a.fadt.revision);
    Number("Acpi", "Pm1aEventBlock", a.fadt.pm1aEventBlock);
    Number("Acpi", "Pm1aControlBlock", a.fadt.pm1aControlBlock);
    Number("Acpi", "PmTimerBlock", a.fadt.pmTimerBlock);
    Number("Acpi", "SciInterrupt", a.fadt.sciInterrupt);
    Number("Acpi", "FadtFlags", a.fadt.flags);
    Flag("Acpi", "Madt", a.madt);
    ReadIoApics(a.madtFields);
    ReadEcdt(a);
    Number("Acpi", "SsdtCount", a.ssdtCount);
    if (a.ssdtCount > 64) a.ssdtCount = 64;
    Flag("Acpi", "SsdtsInRsdt", a.ssdtsInRsdt);
  }

  // "IoApics = 0xFEC00000:0, 0xFEC80000:24": address and GSI base of each.
  void ReadIoApics(MadtFields& madt) {
    if (!Has("Acpi", "IoApics")) return;
    const std::string text = Text("Acpi", "IoApics", "");
    std::vector<MadtIoApic> ioApics;
    for (std::string_view item : SplitAny(text, ",")) {
      const std::vector<std::string_view> parts = SplitAny(item, ":");
      std::uint64_t address = 0;
      std::uint64_t gsi = 0;
      if (parts.size() != 2 || !ParseBoardNumber(parts[0], address) ||
          !ParseBoardNumber(parts[1], gsi) || address > 0xFFFFFFFF || gsi > 0xFFFFFFFF) {
        Error("Acpi", "IoApics", text);
        return;
      }
      ioApics.push_back(MadtIoApic{static_cast<std::uint8_t>(ioApics.size() + 2),
                                   static_cast<std::uint32_t>(address),
                                   static_cast<std::uint32_t>(gsi)});
    }
    madt.ioApics = ioApics;
  }

  void ReadEcdt(BuiltAcpiDescription& a) {
    bool present = a.ecdt.has_value();
    Flag("Acpi", "Ecdt", present);
    if (!present) {
      // The ports of a table that is not built are understood, and unused.
      for (const char* port : {"EcCommandPort", "EcDataPort"}) {
        Has("Acpi", port);
        unused_.insert(KeyOf("Acpi", port));
      }
      a.ecdt.reset();
      return;
    }
    if (!a.ecdt) a.ecdt = EcdtFields{};
    Number("Acpi", "EcCommandPort", a.ecdt->commandPort);
    Number("Acpi", "EcDataPort", a.ecdt->dataPort);
  }

  void ReadQvzx() {
    BuiltAcpiDescription& a = result_.description.acpi;
    Flag("Qvzx", "Present", a.qvzx);
    if (Has("Qvzx", "ControlByte")) {
      std::uint8_t control = 0;
      Number("Qvzx", "ControlByte", control);
      a.qvzxEntries = {QvzxControlEntry(control)};
    }
    if (Has("Qvzx", "Entries")) ReadQvzxEntries(a.qvzxEntries);
  }

  // "Entries = 1:01 00, 3:08, 3/4:00 00": type, optional "/length", then the data bytes in hex.
  void ReadQvzxEntries(std::vector<QvzxEntry>& target) {
    const std::string text = Text("Qvzx", "Entries", "");
    std::vector<QvzxEntry> entries;
    for (std::string_view item : SplitAny(text, ",")) {
      const std::size_t colon = item.find(':');
      const std::vector<std::string_view> head = SplitAny(item.substr(0, colon), "/");
      QvzxEntry entry;
      std::uint64_t type = 0;
      std::uint64_t length = 0;
      bool ok =
          !head.empty() && head.size() <= 2 && ParseBoardNumber(head[0], type) && type <= 0xFF;
      if (ok && head.size() == 2) ok = ParseBoardNumber(head[1], length) && length <= 0xFF;
      if (ok && colon != std::string_view::npos)
        ok = ParseHexBytes(item.substr(colon + 1), entry.data);
      if (!ok) {
        Error("Qvzx", "Entries", text);
        return;
      }
      entry.type = static_cast<std::uint8_t>(type);
      entry.length = static_cast<std::uint8_t>(length);
      entries.push_back(std::move(entry));
    }
    target = std::move(entries);
  }

  static bool ParseHexBytes(std::string_view text, Bytes& bytes) {
    for (std::string_view token : SplitAny(text, " \t")) {
      std::uint64_t value = 0;
      if (token.size() > 2 || !ParseBoardNumber(token, value, 16)) return false;
      bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes.size() <= 253;
  }

  void ReadPci() {
    BoardDescription& board = result_.description;
    if (Has("Pci", "Ecam")) {
      const std::string text = Text("Pci", "Ecam", "");
      std::uint64_t base = 0;
      if (UpperAscii(text) == "NONE") {
        board.ecamBase.reset();
      } else if (ParseBoardNumber(text, base) && base % SimPciBus::kEcamSize == 0) {
        board.ecamBase = base;
      } else {
        Error("Pci", "Ecam", text);
      }
    }
    board.acpi.mcfgBase = board.ecamBase;
    std::vector<PciFunctionDescription> functions;
    bool any = false;
    for (int i = 0; i < kMaxNumberedKeys; ++i) {
      const std::string key = "Function" + std::to_string(i);
      if (!Has("Pci", key.c_str())) continue;
      any = true;
      PciFunctionDescription function;
      if (ParseFunction(Text("Pci", key.c_str(), ""), function)) {
        functions.push_back(function);
      } else {
        Error("Pci", key.c_str(), Text("Pci", key.c_str(), ""));
      }
    }
    if (any) board.pciFunctions = functions;
  }

  // "BB:DD.F VVVV:DDDD class=CCCCCC header=HH subsystem=VVVV:DDDD revision=RR extended"
  static bool ParseFunction(std::string_view text, PciFunctionDescription& f) {
    const std::vector<std::string_view> tokens = SplitAny(text, " \t");
    if (tokens.size() < 2 || !ParseLocation(tokens[0], f.location)) return false;
    if (!ParsePair(tokens[1], f.vendorId, f.deviceId)) return false;
    for (std::size_t i = 2; i < tokens.size(); ++i) {
      if (!ParseAttribute(tokens[i], f)) return false;
    }
    return true;
  }

  static bool ParseLocation(std::string_view text, PciLocation& location) {
    const std::vector<std::string_view> parts = SplitAny(text, ":.");
    std::uint64_t bus = 0, device = 0, function = 0;
    if (parts.size() != 3 || !ParseBoardNumber(parts[0], bus, 16) ||
        !ParseBoardNumber(parts[1], device, 16) || !ParseBoardNumber(parts[2], function, 16) ||
        bus > 0xFF || device > 31 || function > 7) {
      return false;
    }
    location = PciLocation{static_cast<std::uint8_t>(bus), static_cast<std::uint8_t>(device),
                           static_cast<std::uint8_t>(function)};
    return true;
  }

  static bool ParsePair(std::string_view text, std::uint16_t& first, std::uint16_t& second) {
    const std::vector<std::string_view> parts = SplitAny(text, ":");
    std::uint64_t a = 0, b = 0;
    if (parts.size() != 2 || !ParseBoardNumber(parts[0], a, 16) ||
        !ParseBoardNumber(parts[1], b, 16) || a > 0xFFFF || b > 0xFFFF) {
      return false;
    }
    first = static_cast<std::uint16_t>(a);
    second = static_cast<std::uint16_t>(b);
    return true;
  }

  static bool ParseAttribute(std::string_view token, PciFunctionDescription& f) {
    if (UpperAscii(token) == "EXTENDED") {
      f.extendedSpace = true;
      return true;
    }
    const std::size_t equals = token.find('=');
    if (equals == std::string_view::npos) return false;
    const std::string name = UpperAscii(token.substr(0, equals));
    const std::string_view value = token.substr(equals + 1);
    std::uint64_t number = 0;
    if (name == "SUBSYSTEM") return ParsePair(value, f.subsystemVendorId, f.subsystemId);
    if (!ParseBoardNumber(value, number, 16)) return false;
    if (name == "CLASS" && number <= 0xFFFFFF)
      f.classCode = static_cast<std::uint32_t>(number);
    else if (name == "HEADER" && number <= 0xFF)
      f.headerType = static_cast<std::uint8_t>(number);
    else if (name == "REVISION" && number <= 0xFF)
      f.revision = static_cast<std::uint8_t>(number);
    else
      return false;
    return true;
  }

  void ReadProcessor() {
    ProcessorDescription& p = result_.description.processor;
    p.vendor = Text("Processor", "Vendor", p.vendor).substr(0, 12);
    p.brand = Text("Processor", "Brand", p.brand).substr(0, 48);
    Number("Processor", "Signature", p.signature);
    Number("Processor", "LogicalProcessors", p.logicalProcessors);
  }

  // Which lines the reading above used. A key line counts when its key was asked for in its
  // section; the ini reader keeps only the last block of a repeated section, so lines of an
  // earlier block are not used. Keys of the demo program's section count as understood, but
  // not as board settings.
  void CheckLines(std::string_view text) {
    std::set<std::string> demo;
    for (const char* key : kDemoKeys) demo.insert(KeyOf("Demo", key));
    std::map<std::string, std::size_t> lastBlock;  // section -> line of its last header
    std::size_t pos = 0;
    for (std::size_t number = 1; pos < text.size(); ++number) {
      const std::string_view line = TrimIniText(NextIniLine(text, pos));
      if (IsSectionLine(line)) lastBlock[SectionName(line)] = number;
    }
    std::set<std::string> used;
    std::string section;
    std::size_t header = 0;
    bool inLastBlock = false;
    pos = 0;
    for (std::size_t number = 1; pos < text.size(); ++number) {
      const std::string_view line = TrimIniText(NextIniLine(text, pos));
      if (line.empty() || line.front() == ';') continue;
      if (IsSectionLine(line)) {
        section = SectionName(line);
        header = number;
        inLastBlock = lastBlock[section] == number;
        const bool known = std::any_of(asked_.begin(), asked_.end(), [&](const std::string& k) {
          return k.compare(0, section.size() + 1, section + "\n") == 0;
        });
        if (!known && section != "DEMO") NotUnderstood(number, line, "unknown section");
        continue;
      }
      const std::size_t equals = line.find('=');
      const std::string key =
          equals == std::string_view::npos ? "" : KeyOf(section, TrimIniText(line.substr(0, equals)));
      if (header == 0) {
        NotUnderstood(number, line, "not in any section");
      } else if (equals == std::string_view::npos) {
        NotUnderstood(number, line, "not a key = value line");
      } else if (asked_.count(key) == 0 && demo.count(key) == 0) {
        NotUnderstood(number, line, "unknown key");
      } else if (!inLastBlock) {
        NotUnderstood(number, line,
                      "a later [" + section + "] section replaces the one of line " +
                          std::to_string(header));
      } else if (demo.count(key) == 0 && refused_.count(key) == 0 && unused_.count(key) == 0) {
        used.insert(key);
      }
    }
    if (reported_ > kMaxLineReports) {
      result_.errors.push_back(std::to_string(reported_ - kMaxLineReports) +
                               " more line(s) not understood; ignored");
    }
    result_.settingsUsed = used.size();
  }

  void NotUnderstood(std::size_t number, std::string_view line, const std::string& why) {
    if (++reported_ > kMaxLineReports) return;
    result_.errors.push_back("line " + std::to_string(number) + ": " +
                             std::string(line.substr(0, 80)) + ": " + why + "; ignored");
  }

  TMemIniFile ini_;
  std::string folder_;
  BoardFileResult result_;
  std::set<std::string> asked_;    // section and key of every value the reading asked for
  std::set<std::string> refused_;  // those whose value was not understood
  std::set<std::string> unused_;   // those understood but of no effect on this board
  std::size_t reported_ = 0;
};

}  // namespace

BoardFileResult ParseBoardFile(std::string_view text, const std::string& folder) {
  return BoardFileReader(text, folder).Run(text);
}

BoardFileResult LoadBoardFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    BoardFileResult failed;
    failed.errors.push_back("cannot read the board file " + path);
    return failed;
  }
  std::ostringstream text;
  text << file.rdbuf();
  const std::size_t slash = path.find_last_of("/\\");
  return ParseBoardFile(text.str(), slash == std::string::npos ? "" : path.substr(0, slash));
}

}  // namespace velmora::sim
