#include "config/MemIniFile.h"

#include "config/IniInteger.h"

namespace velmora {
namespace {

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

bool IsSectionHeader(std::string_view line) {
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}


}  // namespace

std::string_view TrimIniText(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

TMemIniFile::TMemIniFile(std::string_view text) {
  Parse(text);
}

void TMemIniFile::Parse(std::string_view text) {
  Section* current = nullptr;
  std::size_t pos = 0;
  while (pos < text.size()) AddLine(TrimIniText(NextIniLine(text, pos)), current);
}

void TMemIniFile::AddLine(std::string_view line, Section*& current) {
  if (line.empty() || line.front() == ';') return;
  if (IsSectionHeader(line)) {
    // A repeated header starts the section afresh: only its last block is ever consulted.
    current = &sections_[UpperAscii(TrimIniText(line.substr(1, line.size() - 2)))];
    *current = Section{};
    return;
  }
  if (current == nullptr) return;  // before the first header
  ++current->lineCount;
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return;  // a line without key: counts, cannot be read
  current->values[UpperAscii(TrimIniText(line.substr(0, equals)))] =
      std::string(TrimIniText(line.substr(equals + 1)));
}

const TMemIniFile::Section* TMemIniFile::FindSection(std::string_view section) const {
  const auto found = sections_.find(UpperAscii(section));
  return found == sections_.end() ? nullptr : &found->second;
}

std::string TMemIniFile::ReadString(std::string_view section, std::string_view key,
                                    const std::string& defaultValue) const {
  const Section* block = FindSection(section);
  if (block == nullptr) return defaultValue;
  const auto found = block->values.find(UpperAscii(key));
  return found == block->values.end() ? defaultValue : found->second;
}

std::int32_t TMemIniFile::ReadInteger(std::string_view section, std::string_view key,
                                      std::int32_t defaultValue) const {
  const Section* block = FindSection(section);
  if (block == nullptr) return defaultValue;
  const auto found = block->values.find(UpperAscii(key));
  if (found == block->values.end()) return defaultValue;
  return IniValueToInteger(found->second, defaultValue);
}

bool TMemIniFile::ReadBool(std::string_view section, std::string_view key,
                           bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TMemIniFile::SectionExists(std::string_view section) const {
  const Section* block = FindSection(section);
  return block != nullptr && block->lineCount > 0;
}

std::string_view NextIniLine(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  const std::size_t end = text.find_first_of("\r\n", start);
  if (end == std::string_view::npos) {
    pos = text.size();
    return text.substr(start);
  }
  pos = end + 1;
  if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  return text.substr(start, end - start);
}

}  // namespace velmora
