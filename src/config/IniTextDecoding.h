// Turns the raw bytes of a profile (ini) file into UTF-8 text. A byte-order mark selects
// UTF-8, UTF-16 little-endian or UTF-16 big-endian; without one the bytes are in the system's
// ANSI code page, as Notepad and the profile API of the time wrote them.
#pragma once

#include <string>
#include <string_view>

#include "ports/CodePagePort.h"

namespace velmora {

// UTF-16 code units to UTF-8. A trailing odd byte is dropped; an unpaired surrogate becomes
// U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// The whole file: the mark (if any) is removed, the rest decoded.
std::string DecodeIniText(std::string_view bytes, IAnsiCodePage& codePage);

}  // namespace velmora
