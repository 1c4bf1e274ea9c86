// UTF-8 building blocks for the text the core keeps: encoding one code point, and taking the
// next code point from bytes that may not be valid UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Appends the UTF-8 form of codePoint; surrogates and values above U+10FFFF become U+FFFD.
void AppendUtf8(std::string& out, char32_t codePoint);

// Decodes the code point that starts at text[pos] and advances pos past it. An ill-formed
// sequence (stray continuation byte, overlong form, surrogate, beyond U+10FFFF, cut short)
// yields nullopt and advances pos by one byte.
std::optional<char32_t> NextUtf8CodePoint(std::string_view text, std::size_t& pos);

// The same text with every ill-formed byte replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view text);

}  // namespace velmora
