#include "tools/board/BoardTool.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "config/IniTextDecoding.h"
#include "config/MemIniFile.h"
#include "hw/AcpiBase.h"
#include "hw/HexText.h"
#include "hw/SmbiosBase.h"
#include "power/Cpu.h"
#include "power/ZlkSpec.h"
#include "sim/SimAnsiCodePage.h"
#include "sim/SimStartup.h"
#include "sim/board/SimBoard.h"
#include "sim/board/SimBoardFile.h"
#include "tools/board/BoardToolArgs.h"

namespace velmora::boardtool {
namespace {

using sim::BoardDescription;

// What the start-up learnt, ready to print.
struct BoardFacts {
  std::string boardName;
  std::uint32_t smbiosEntry = kNoAddress;
  bool smbiosFromProvider = false;
  std::vector<std::string> acpiLines;
  RwCfg config;
  bool makerBoard = false;
  std::uint32_t controlEntry = kNoAddress;  // kNoAddress: the firmware has no control entry
  std::uint8_t controlByte = 0;
  std::uint32_t pcieBase = kNoAddress;
  std::uint32_t requests = 0;
  std::vector<std::string> log;
  bool driverOpened = false;
};

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

bool Readable(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec) && std::ifstream(path, std::ios::binary).good();
}

// The board the options describe; nullopt (with the reason on err) when a file cannot be read.
std::optional<BoardDescription> LoadDescription(const BoardToolOptions& options,
                                                std::ostream& err) {
  BoardDescription board = sim::DefaultBoardDescription();
  if (!options.boardFile.empty()) {
    sim::BoardFileResult loaded = sim::LoadBoardFile(options.boardFile);
    if (!loaded.read) {
      err << "velmora-board: cannot read board file " << options.boardFile << "\n";
      return std::nullopt;
    }
    for (const std::string& error : loaded.errors) err << "warning: board file: " << error << "\n";
    // Printing the built-in board for a file of which nothing was taken would pass it off as
    // that file's board.
    if (loaded.settingsUsed == 0) {
      err << "velmora-board: nothing in board file " << options.boardFile << " could be used\n";
      return std::nullopt;
    }
    board = std::move(loaded.description);
  }
  if (!options.acpidump.empty()) board.acpidumpPath = options.acpidump;
  if (!options.dmidecode.empty()) board.dmidecodePath = options.dmidecode;
  if (!options.cpuVendor.empty()) board.processor.vendor = options.cpuVendor;
  if (options.uefi) board.legacyCopies = false;
  for (const std::string* dump : {&board.acpidumpPath, &board.dmidecodePath}) {
    if (!dump->empty() && !Readable(*dump)) {
      err << "velmora-board: cannot read " << *dump << "\n";
      return std::nullopt;
    }
  }
  return board;
}

sim::SimWindowsRelease Release(const std::string& os) {
  if (os == "win7x64") return sim::Windows7X64();
  if (os == "xp") return sim::WindowsXpX86();
  if (os == "win98") return sim::Windows98();
  return sim::Windows7X86();
}

std::string AddressOrNone(std::uint32_t address) {
  return address == kNoAddress ? "none" : Hex(address, 8);
}

// The signature in the board's memory at the entry's address; where the address is unknown (the
// root table the provider handed out), as the locator read it.
std::string AcpiLine(std::size_t index, const TAcpiBase& acpi, sim::SimBoard& board) {
  const AcpiTableEntry& entry = acpi.Tables[index];
  std::string signature = "RSDP";  // the pointer's own signature is "RSD PTR "
  if (index != 0) {
    std::uint8_t header[4] = {0xFF, 0xFF, 0xFF, 0xFF};  // what nothing reads as
    if (entry.Address != kNoAddress) {
      board.ReadPhysical(entry.Address, header, sizeof header);
    } else {
      acpi.ReadListedTable(index, header, sizeof header);
    }
    signature = SignatureText(header);
  }
  return "acpi[" + std::to_string(index) + "]: " + signature + " " + AddressOrNone(entry.Address) +
         " " + Hex(entry.Length, 8);
}

// The platform object as start-up builds it: processor identification first, so that on Intel
// processors the ACPI locator runs without the SSDT search, then the PCI scan, the board name,
// the ACPI tables and the function table. Requests and log are taken at this point: they are
// the start-up's own.
void CheckPlatform(sim::SimStartup& startup, BoardFacts& facts, bool withLog) {
  TReadWrite& readWrite = startup.Driver();
  TCpu cpu(readWrite);
  const TZlkSpec platform(readWrite, startup.Config(), cpu, startup.codePage);
  facts.boardName = platform.BoardName;
  facts.makerBoard = platform.IsMakerBoard;
  facts.config = startup.Config().Config;
  facts.requests = readWrite.Requests().Total();
  if (withLog) facts.log = startup.LogLines();
  if (platform.HasControlEntry) {
    facts.controlEntry = platform.ControlEntryAddress;
    facts.controlByte = readWrite.MemoryReadByte(platform.ControlEntryAddress + kControlByteOffset);
  }
}

// The program's hardware start-up, in its order: configuration, driver client, processor, then
// the platform object. What the platform object read and let go (the SMBIOS entry point, the
// table list) is read again for display, with the configuration as start-up left it.
BoardFacts StartUp(sim::SimBoard& board, const BoardToolOptions& options,
                   const std::string& iniText) {
  BoardFacts facts;
  sim::SimStartup startup(board, Release(options.os), iniText);
  startup.Configure();
  TReadWrite& readWrite = startup.ConnectDriver();
  facts.driverOpened = readWrite.DeviceHandle() != kInvalidHandleValue;
  if (!facts.driverOpened) return facts;
  CheckPlatform(startup, facts, options.log);
  {
    const TSmbiosBase smbios(readWrite, startup.codePage);
    facts.smbiosEntry = smbios.EntryPointAddress;
    facts.smbiosFromProvider = smbios.TableFromProvider;
  }
  {
    const TAcpiBase acpi(readWrite, startup.Config());
    for (std::size_t i = 0; i < acpi.Tables.size(); ++i) {
      facts.acpiLines.push_back(AcpiLine(i, acpi, board));
    }
  }
  facts.pcieBase = readWrite.PcieBase;
  return facts;
}

void PrintFacts(const BoardFacts& facts, std::ostream& out) {
  const RwCfg& c = facts.config;
  out << "board-name: " << facts.boardName << "\n";
  out << "smbios-entry: " << AddressOrNone(facts.smbiosEntry)
      << (facts.smbiosFromProvider ? " (table from the firmware table provider)" : "") << "\n";
  for (const std::string& line : facts.acpiLines) out << line << "\n";
  out << "config: AcpiPmBase=" << Hex(c.AcpiPmBase, 4) << " AcpiSciIrq=" << c.AcpiSciIrq
      << " PmTimerPort=" << Hex(c.PmTimerPort, 4) << " PmTimerExt=" << Hex(c.PmTimerExt, 4)
      << " ApicAddress=" << Hex(c.ApicAddress, 8) << " EC_SC=" << Hex(c.EC_SC, 4)
      << " EC_DATA=" << Hex(c.EC_DATA, 4)
      << " EC_AddressSpaceID=" << static_cast<unsigned>(c.EC_AddressSpaceID) << "\n";
  out << "maker-board: " << (facts.makerBoard ? "yes" : "no") << "\n";
  out << "control-entry: ";
  if (facts.controlEntry == kNoAddress) {
    out << "none\n";
  } else {
    out << Hex(facts.controlEntry, 8) << " byte=" << Hex(facts.controlByte, 2) << "\n";
  }
  out << "pcie-base: " << AddressOrNone(facts.pcieBase) << "\n";
  out << "requests: " << facts.requests << "\n";
  for (const std::string& line : facts.log) out << "log: " << line << "\n";
}

// Lines of the text; a line ends at CR, LF or CR LF, as the ini reader splits them.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) lines.emplace_back(NextIniLine(text, at));
  return lines;
}

bool IsHeader(std::string_view line) {
  line = TrimIniText(line);
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

bool IsConfigHeader(std::string_view line) {
  line = TrimIniText(line);
  return IsHeader(line) && UpperAscii(TrimIniText(line.substr(1, line.size() - 2))) == "CONFIG";
}

}  // namespace

std::string WithDebugLogOn(const std::string& iniBytes) {
  sim::SimAnsiCodePage codePage;
  std::vector<std::string> lines = SplitLines(DecodeIniText(iniBytes, codePage));
  // A repeated [Config] header starts the section afresh, so the keys go into the last block.
  std::size_t insertAt = lines.size();
  std::size_t lastConfig = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsConfigHeader(lines[i])) lastConfig = i;
  }
  if (lastConfig == lines.size()) {
    lines.push_back("[Config]");
    insertAt = lines.size();
  } else {
    insertAt = lastConfig + 1;
    while (insertAt < lines.size() && !IsHeader(lines[insertAt])) ++insertAt;
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
               {"RwDebug=1", "RwDebugFile=RwDebug.rw"});
  std::string text = "\xEF\xBB\xBF";
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

int RunBoardTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const ParsedArguments parsed = ParseBoardToolArguments(args);
  if (!parsed.options) {
    err << "velmora-board: " << parsed.error << "\n" << kBoardToolUsage;
    return kExitBadArguments;
  }
  const BoardToolOptions& options = *parsed.options;
  if (options.help) {
    out << kBoardToolUsage;
    return kExitSuccess;
  }
  const std::optional<BoardDescription> description = LoadDescription(options, err);
  if (!description) return kExitBadArguments;
  std::string iniText;
  if (!options.configFile.empty()) {
    const std::optional<std::string> bytes = ReadWholeFile(options.configFile);
    if (!bytes) {
      err << "velmora-board: cannot read " << options.configFile << "\n";
      return kExitBadArguments;
    }
    iniText = *bytes;
  }
  if (options.log) iniText = WithDebugLogOn(iniText);

  sim::SimBoard board(*description);
  for (const std::string& warning : board.Warnings()) err << "warning: " << warning << "\n";
  const BoardFacts facts = StartUp(board, options, iniText);
  PrintFacts(facts, out);
  if (!facts.driverOpened) {
    err << "velmora-board: the driver could not be opened\n";
    return kExitDriverFailed;
  }
  return kExitSuccess;
}

}  // namespace velmora::boardtool
