// Conversions between the core's UTF-8 text and what the Windows "A" and "W" calls take.
#pragma once

#include <string>

namespace velmora::win32 {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
// CP_ACP conversions, as an ANSI program's strings are.
std::string Utf8ToAnsi(const std::string& text);
std::string AnsiToUtf8(const std::string& ansi);

}  // namespace velmora::win32
