// The Chinese texts of the main window and the version of its about box, from the program's own
// resources (app/StringTable, app/Localisation, app/VersionText): the input is an RT_STRING
// block (sixteen entries, each a 16-bit count of UTF-16 code units and the units) stored as
// block 1 under the Chinese string table's language, and the same bytes as the VS_VERSIONINFO
// resource. A Chinese (PRC) user's texts are loaded as the window loads them, every entry of
// the block is read, and the version text is made.
//
// Checks (abort, so that libFuzzer keeps the input): every entry fits the block; every text is
// well-formed UTF-8 and empty exactly when its entry is; an English user gets the English texts
// whatever the resources hold; entries of absent blocks and past the last block are empty; the
// version text is empty or four (or two) numbers of at most five digits joined by dots.
// AddressSanitizer catches any read past the resource.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "app/Localisation.h"
#include "config/Utf8Text.h"
#include "sim/SimResources.h"

namespace {

constexpr std::uint16_t kLanguageEnglishUs = 0x0409;

[[noreturn]] void Fault(const char* what) {
  std::fprintf(stderr, "string table fuzz: %s\n", what);
  __builtin_trap();
}

bool WellFormed(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    if (!velmora::NextUtf8CodePoint(text, at)) return false;
  }
  return true;
}

void CheckVersionText(const std::string& text) {
  if (text.empty()) return;
  int numbers = 1;
  int digits = 0;
  for (const char c : text) {
    if (c == '.') {
      if (digits == 0) Fault("an empty number in the version text");
      ++numbers;
      digits = 0;
    } else if (c >= '0' && c <= '9') {
      if (++digits > 5) Fault("a version number of more than five digits");
    } else {
      Fault("a character other than a digit or a dot in the version text");
    }
  }
  if (digits == 0 || (numbers != 2 && numbers != 4)) Fault("a version text of the wrong shape");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> block(data, size);
  for (unsigned index = 0; index < 16; ++index) {
    const std::u16string entry = velmora::StringTableEntry(block, index);
    if (!entry.empty() && 2 + 2 * entry.size() > size) Fault("an entry larger than its block");
  }

  velmora::sim::SimResources resources;
  const std::vector<std::uint8_t> bytes(data, data + size);
  resources.Add(velmora::win::kRtString, 1, velmora::kChineseStringTableLanguage, bytes);
  resources.Add(velmora::win::kRtVersion, 1, kLanguageEnglishUs, bytes);

  const velmora::TextSlots chinese =
      velmora::ChooseTextSlots(resources, velmora::kLanguageChinesePrc);
  for (int slot = 0; slot < velmora::kTextSlotCount; ++slot) {
    const std::string& text = chinese[slot];
    if (!WellFormed(text)) Fault("a text that is not well-formed UTF-8");
    // Entries 16 and on lie in block 2, which these resources do not have.
    const unsigned entry = static_cast<unsigned>(slot) + 1;
    const bool entryEmpty = entry >= 16 || velmora::StringTableEntry(block, entry).empty();
    if (text.empty() != entryEmpty) {
      Fault("a text empty while its entry is not, or the other way round");
    }
  }
  if (velmora::ChooseTextSlots(resources, kLanguageEnglishUs) != velmora::EnglishTextSlots()) {
    Fault("an English user did not get the English texts");
  }
  // Taiwan's Chinese is not the PRC's: English as well.
  if (velmora::ChooseTextSlots(resources, 0x0404) != velmora::EnglishTextSlots()) {
    Fault("a Taiwanese user did not get the English texts");
  }
  if (!velmora::LoadLocalString(resources, 16, velmora::kChineseStringTableLanguage).empty() ||
      !velmora::LoadLocalString(resources, 0xFFFFF, velmora::kChineseStringTableLanguage)
           .empty()) {
    Fault("an entry of a block that does not exist");
  }
  CheckVersionText(velmora::ExecutableVersionText(resources));
  return 0;
}
