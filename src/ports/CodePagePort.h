// The system's ANSI code page (CP_ACP): text files without a byte-order mark are read in it, and
// the debug log is written in it. The core keeps text as UTF-8.
#pragma once

#include <string>

namespace velmora {

class IAnsiCodePage {
 public:
  virtual ~IAnsiCodePage() = default;

  // MultiByteToWideChar(CP_ACP, ...) followed by UTF-8 encoding.
  virtual std::string AnsiToUtf8(const std::string& ansiBytes) = 0;
  // WideCharToMultiByte(CP_ACP, ...) of the decoded UTF-8 text; unmappable characters become
  // the code page's default character.
  virtual std::string Utf8ToAnsi(const std::string& utf8Text) = 0;
};

}  // namespace velmora
