// The ANSI code page of a Western European Windows: Windows-1252. Bytes 0x80-0x9F carry the
// typographic characters (euro sign, quotes, dashes, ...); the five bytes Windows leaves
// undefined there (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, as
// MultiByteToWideChar does. Characters the code page cannot hold become '?'.
#pragma once

#include <string>

#include "ports/CodePagePort.h"

namespace velmora::sim {

class SimAnsiCodePage : public IAnsiCodePage {
 public:
  std::string AnsiToUtf8(const std::string& ansiBytes) override;
  std::string Utf8ToAnsi(const std::string& utf8Text) override;
};

}  // namespace velmora::sim
