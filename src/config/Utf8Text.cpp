#include "config/Utf8Text.h"

namespace velmora {
namespace {

bool IsSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Length of the sequence a lead byte announces and the payload bits it carries; 0 for bytes
// that cannot start a sequence.
std::size_t SequenceLength(unsigned char lead, char32_t& bits) {
  if (lead < 0x80) {
    bits = lead;
    return 1;
  }
  if ((lead & 0xE0) == 0xC0) {
    bits = lead & 0x1F;
    return 2;
  }
  if ((lead & 0xF0) == 0xE0) {
    bits = lead & 0x0F;
    return 3;
  }
  if ((lead & 0xF8) == 0xF0) {
    bits = lead & 0x07;
    return 4;
  }
  return 0;
}

char32_t SmallestFor(std::size_t length) {
  switch (length) {
    case 2:
      return 0x80;
    case 3:
      return 0x800;
    case 4:
      return 0x10000;
    default:
      return 0;
  }
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
  if (IsSurrogate(c) || c > 0x10FFFF) c = kReplacementCharacter;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::optional<char32_t> NextUtf8CodePoint(std::string_view text, std::size_t& pos) {
  char32_t c = 0;
  const std::size_t length = SequenceLength(static_cast<unsigned char>(text[pos]), c);
  if (length == 0 || pos + length > text.size()) {
    ++pos;
    return std::nullopt;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[pos + i]);
    if (!IsContinuation(byte)) {
      ++pos;
      return std::nullopt;
    }
    c = (c << 6) | (byte & 0x3F);
  }
  if (c < SmallestFor(length) || IsSurrogate(c) || c > 0x10FFFF) {
    ++pos;
    return std::nullopt;
  }
  pos += length;
  return c;
}

std::string SanitizeUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    if (NextUtf8CodePoint(text, pos)) {
      out.append(text.substr(start, pos - start));
    } else {
      AppendUtf8(out, kReplacementCharacter);
    }
  }
  return out;
}

}  // namespace velmora
