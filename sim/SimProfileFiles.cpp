#include "sim/SimProfileFiles.h"

#include <optional>
#include <string_view>
#include <vector>

#include "config/IniTextDecoding.h"
#include "config/MemIniFile.h"
#include "config/Utf8Text.h"
#include "sim/SimRegistry.h"

namespace velmora::sim {

struct SimProfileFiles::Text {
  bool utf16 = false;
  std::vector<std::string> lines;
};

namespace {

constexpr std::string_view kUtf16LeMark = "\xFF\xFE";

bool SameName(std::string_view a, std::string_view b) {
  return UpperAscii(a) == UpperAscii(b);
}

// The name of a section header line, or nullopt for any other line.
std::optional<std::string> SectionName(std::string_view line) {
  const std::string_view text = TrimIniText(line);
  if (!text.starts_with('[')) return std::nullopt;
  const std::size_t close = text.find(']');
  return std::string(
      TrimIniText(text.substr(1, close == std::string_view::npos ? close : close - 1)));
}

std::string_view KeyName(std::string_view line) {
  const std::string_view text = TrimIniText(line);
  return TrimIniText(text.substr(0, text.find('=')));
}

std::string KeyValue(std::string_view line) {
  const std::string_view text = TrimIniText(line);
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return "";
  std::string_view value = TrimIniText(text.substr(equals + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

struct SectionRange {
  std::size_t header = 0;
  std::size_t end = 0;  // one past the section's last line
};

std::optional<SectionRange> FindSection(const std::vector<std::string>& lines,
                                        const std::string& name) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto section = SectionName(lines[i]);
    if (!section || !SameName(*section, name)) continue;
    std::size_t end = i + 1;
    while (end < lines.size() && !SectionName(lines[end])) ++end;
    return SectionRange{i, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::vector<std::string>& lines, SectionRange section,
                                   const std::string& key) {
  for (std::size_t i = section.header + 1; i < section.end; ++i) {
    if (!TrimIniText(lines[i]).empty() && SameName(KeyName(lines[i]), key)) return i;
  }
  return std::nullopt;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// Windows drops the blanks at the end of the default value.
std::string TrimDefault(std::string value) {
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
  return value;
}

}  // namespace

std::string CutToUtf16Units(const std::string& text, std::uint32_t bufferChars) {
  if (bufferChars == 0) return "";
  std::uint32_t room = bufferChars - 1;
  std::size_t pos = 0;
  std::size_t kept = 0;
  while (pos < text.size()) {
    const char32_t c = NextUtf8CodePoint(text, pos).value_or(kReplacementCharacter);
    const std::uint32_t units = c >= 0x10000 ? 2 : 1;
    if (units > room) break;
    room -= units;
    kept = pos;
  }
  return text.substr(0, kept);
}

SimProfileFiles::SimProfileFiles(SimFileSystem& files, IAnsiCodePage& codePage)
    : files_(files), codePage_(codePage) {}

bool SimProfileFiles::Load(const std::string& fileName, Text& text) {
  const Handle file =
      files_.CreateFileA(fileName, win::kGenericRead, win::kFileShareRead | win::kFileShareWrite,
                         win::kOpenExisting, win::kFileAttributeNormal);
  if (file == kInvalidHandleValue) return false;
  std::string bytes(files_.GetFileSize(file), '\0');
  std::uint32_t read = 0;
  const bool ok =
      files_.ReadFile(file, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &read);
  files_.CloseHandle(file);
  if (!ok) return false;
  bytes.resize(read);
  text.utf16 = bytes.starts_with(kUtf16LeMark);
  text.lines = SplitLines(text.utf16 ? Utf16ToUtf8(std::string_view(bytes).substr(2), false)
                                     : codePage_.AnsiToUtf8(bytes));
  return true;
}

bool SimProfileFiles::Save(const std::string& fileName, const Text& text) {
  std::string joined;
  for (const std::string& line : text.lines) joined += line + "\r\n";
  const std::string bytes =
      text.utf16 ? std::string(kUtf16LeMark) + Utf8ToUtf16Le(joined) : codePage_.Utf8ToAnsi(joined);
  const Handle file = files_.CreateFileA(fileName, win::kGenericWrite, 0, win::kCreateAlways,
                                         win::kFileAttributeNormal);
  if (file == kInvalidHandleValue) return false;
  std::uint32_t written = 0;
  const bool ok =
      files_.WriteFile(file, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &written);
  files_.CloseHandle(file);
  return ok && written == bytes.size();
}

std::string SimProfileFiles::GetPrivateProfileStringW(const std::string& appName,
                                                      const std::string& keyName,
                                                      const std::string& defaultValue,
                                                      std::uint32_t bufferChars,
                                                      const std::string& fileName) {
  ++reads_;
  std::string result = TrimDefault(defaultValue);
  Text text;
  if (Load(fileName, text)) {
    if (const auto section = FindSection(text.lines, appName)) {
      if (const auto key = FindKey(text.lines, *section, keyName)) {
        result = KeyValue(text.lines[*key]);
      }
    }
  }
  return CutToUtf16Units(result, bufferChars);
}

bool SimProfileFiles::WritePrivateProfileStringW(const std::string& appName,
                                                 const std::string& keyName,
                                                 const std::string& value,
                                                 const std::string& fileName) {
  ++writes_;
  Text text;
  if (!Load(fileName, text) && files_.Exists(fileName)) return false;  // there, but unreadable
  const auto section = FindSection(text.lines, appName);
  if (!section) {
    text.lines.push_back("[" + appName + "]");
    text.lines.push_back(keyName + "=" + value);
  } else if (const auto key = FindKey(text.lines, *section, keyName)) {
    text.lines[*key] = std::string(KeyName(text.lines[*key])) + "=" + value;
  } else {
    std::size_t after = section->end;
    while (after > section->header + 1 && TrimIniText(text.lines[after - 1]).empty()) --after;
    text.lines.insert(text.lines.begin() + static_cast<std::ptrdiff_t>(after),
                      keyName + "=" + value);
  }
  return Save(fileName, text);
}

}  // namespace velmora::sim
