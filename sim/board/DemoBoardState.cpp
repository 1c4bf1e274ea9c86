#include "sim/board/DemoBoardState.h"

#include <charconv>
#include <cstdio>

#include "config/MemIniFile.h"
#include "sim/board/SimBoardFile.h"

namespace velmora::sim {
namespace {

constexpr char kDemoSection[] = "Demo";
constexpr char kMissing[] = "\x01";

struct TextLine {
  std::string_view content;
  std::string_view lineBreak;  // "\r\n", "\r", "\n" or empty for a last line without one
};

std::vector<TextLine> SplitLines(std::string_view text) {
  std::vector<TextLine> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      lines.push_back({text.substr(pos), {}});
      break;
    }
    const std::size_t breakLength = text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    lines.push_back({text.substr(pos, end - pos), text.substr(end, breakLength)});
    pos = end + breakLength;
  }
  return lines;
}

std::string_view LineBreakOf(const std::vector<TextLine>& lines) {
  for (const TextLine& line : lines) {
    if (!line.lineBreak.empty()) return line.lineBreak;
  }
  return "\r\n";
}

bool IsHeader(std::string_view line) {
  line = TrimIniText(line);
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

bool IsHeaderOf(std::string_view line, std::string_view section) {
  if (!IsHeader(line)) return false;
  line = TrimIniText(line);
  return UpperAscii(TrimIniText(line.substr(1, line.size() - 2))) == UpperAscii(section);
}

bool IsKeyLine(std::string_view line, std::string_view key) {
  line = TrimIniText(line);
  if (line.empty() || line.front() == ';' || IsHeader(line)) return false;
  const std::size_t equals = line.find('=');
  return equals != std::string_view::npos &&
         UpperAscii(TrimIniText(line.substr(0, equals))) == UpperAscii(key);
}

std::size_t LastHeaderOf(const std::vector<TextLine>& lines, std::string_view section) {
  std::size_t found = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsHeaderOf(lines[i].content, section)) found = i;
  }
  return found;
}

std::string Join(const std::vector<TextLine>& lines) {
  std::string text;
  for (const TextLine& line : lines) {
    text.append(line.content);
    text.append(line.lineBreak);
  }
  return text;
}

class DemoSectionReader {
 public:
  explicit DemoSectionReader(std::string_view text) : ini_(text) {}

  DemoSettings Run() {
    std::uint64_t value = 0;
    if (Number("ControlByte", value, 0xFF))
      settings_.controlByte = static_cast<std::uint8_t>(value);
    if (Number("SimulatedPower", value, 1)) settings_.simulatedPower = value != 0;
    if (Number("SimulatedTaskScheduler", value, 1)) settings_.simulatedTaskScheduler = value != 0;
    if (Number("ModernStandby", value, 1)) settings_.modernStandby = value != 0;
    if (Number("ReducedHibernationFile", value, 1)) settings_.reducedHibernationFile = value != 0;
    if (Number("SuspendError", value, 0xFFFFFFFF))
      settings_.suspendError = static_cast<std::uint32_t>(value);
    if (Number("DriverRefused", value, 0xFFFFFFFF))
      settings_.driverRefused = static_cast<std::uint32_t>(value);
    if (settings_.modernStandby || settings_.reducedHibernationFile || settings_.suspendError != 0)
      settings_.simulatedPower = true;
    return std::move(settings_);
  }

 private:
  // Decimal, or hexadecimal with "0x", no larger than `maximum`.
  bool Number(const char* key, std::uint64_t& value, std::uint64_t maximum) {
    const std::string text = ini_.ReadString(kDemoSection, key, kMissing);
    if (text == kMissing) return false;
    if (ParseBoardNumber(text, value) && value <= maximum) return true;
    settings_.errors.push_back(std::string("[Demo] ") + key + " = " + text +
                               ": not understood; ignored");
    return false;
  }

  TMemIniFile ini_;
  DemoSettings settings_;
};

}  // namespace

DemoSettings ReadDemoSettings(std::string_view boardFileText) {
  return DemoSectionReader(boardFileText).Run();
}

std::string WithDemoControlByte(std::string_view boardFileText, std::uint8_t value) {
  char number[8];
  std::snprintf(number, sizeof number, "0x%02X", value);
  return WithIniValue(boardFileText, kDemoSection, "ControlByte", number);
}

std::string WithIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value) {
  std::vector<TextLine> lines = SplitLines(text);
  const std::string_view lineBreak = LineBreakOf(lines);
  const std::string newLine = std::string(key) + " = " + std::string(value);
  const std::size_t header = LastHeaderOf(lines, section);
  if (header == lines.size()) {
    if (!lines.empty() && lines.back().lineBreak.empty()) lines.back().lineBreak = lineBreak;
    const std::string headerLine = "[" + std::string(section) + "]";
    return Join(lines) + headerLine + std::string(lineBreak) + newLine + std::string(lineBreak);
  }
  bool replaced = false;
  for (std::size_t i = header + 1; i < lines.size() && !IsHeader(lines[i].content); ++i) {
    if (!IsKeyLine(lines[i].content, key)) continue;
    lines[i].content = newLine;
    replaced = true;
  }
  if (replaced) return Join(lines);
  if (lines[header].lineBreak.empty()) lines[header].lineBreak = lineBreak;
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(header) + 1,
               TextLine{newLine, lineBreak});
  return Join(lines);
}

}  // namespace velmora::sim
