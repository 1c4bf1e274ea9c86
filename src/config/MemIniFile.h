// A profile (ini) file held in memory, read once from text: the lookups of the classic
// in-memory ini file class. Sections and keys compare case-insensitively (ASCII upper case).
// When a section header repeats, only its last block counts; within a block the last line of a
// key wins. Lines before the first header, empty lines and ";" comments are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace velmora {

class TMemIniFile {
 public:
  explicit TMemIniFile(std::string_view text);
  virtual ~TMemIniFile() = default;

  TMemIniFile(const TMemIniFile&) = delete;
  TMemIniFile& operator=(const TMemIniFile&) = delete;

  // The value as written, trimmed; defaultValue when the key is absent.
  std::string ReadString(std::string_view section, std::string_view key,
                         const std::string& defaultValue) const;
  std::int32_t ReadInteger(std::string_view section, std::string_view key,
                           std::int32_t defaultValue) const;
  // An integer whose default is 1 or 0; any nonzero value is true.
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
  // True when the section holds at least one line, keyed or not.
  bool SectionExists(std::string_view section) const;

 private:
  struct Section {
    std::size_t lineCount = 0;
    std::unordered_map<std::string, std::string> values;  // upper-case key -> value
  };

  void Parse(std::string_view text);
  void AddLine(std::string_view line, Section*& current);
  const Section* FindSection(std::string_view section) const;

  std::unordered_map<std::string, Section> sections_;  // upper-case name -> last block
};

// Removes every leading and trailing character with a code up to and including the space.
// The line of `text` that starts at `pos` (without its break), and `pos` moved past the break:
// a line ends at CR, LF or CR LF, as the ini reader splits them.
std::string_view NextIniLine(std::string_view text, std::size_t& pos);
std::string_view TrimIniText(std::string_view text);

// ASCII upper case; other bytes are left alone.
std::string UpperAscii(std::string_view text);

}  // namespace velmora
