// The main window's languages: its ten texts, the Chinese string table they come from, the
// pictures of each language, and the version shown in the about box.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ports/ResourcePort.h"

namespace velmora {

// GetUserDefaultLangID of a user in the People's Republic of China: MAKELANGID(LANG_CHINESE,
// SUBLANG_CHINESE_SIMPLIFIED). Every other language, Taiwan's 0x0404 included, gets English.
inline constexpr std::uint16_t kLanguageChinesePrc = 0x0804;
// The language under which the program's Chinese string table is stored, and asked for.
inline constexpr std::uint16_t kChineseStringTableLanguage = 0x2004;

// Slot n (1 to kTextSlotCount) is element n - 1; the texts are UTF-8. Slots 1 to 10 are the
// window's first texts; 11 to 15 name what current PCs may answer; 16 to 21 name the six image
// buttons for screen readers, as their pictures read.
inline constexpr int kTextSlotCount = 21;
using TextSlots = std::array<std::string, kTextSlotCount>;
inline constexpr int kSlotTitle = 1;
inline constexpr int kSlotCannotEnable = 4;
inline constexpr int kSlotInstallDrivers = 5;
inline constexpr int kSlotEnableHibernate = 6;
inline constexpr int kSlotNoS3ModernStandby = 11;
inline constexpr int kSlotReducedHibernationFile = 12;
inline constexpr int kSlotSuspendRefused = 13;  // "%s": the Windows error number
inline constexpr int kSlotDriverNotTrusted = 14;
inline constexpr int kSlotDriverBlocked = 15;
inline constexpr int kSlotFastName = 16;  // then Regular, Disable, Apply, Minimise, Close

TextSlots EnglishTextSlots();

// Entry `index` (0 to 15) of one RT_STRING block: sixteen strings, each a 16-bit length
// followed by that many UTF-16 code units. Empty when the entry is empty or the block ends
// before it.
std::u16string StringTableEntry(std::span<const std::uint8_t> block, unsigned index);

// One entry of the program's own string table in the given language, as UTF-8. Entries 16 n to
// 16 n + 15 lie in block n + 1. Empty when the block is missing.
std::string LoadLocalString(IResources& resources, unsigned entry, std::uint16_t language);

enum class SkinLanguage { kEnglish, kChinese };

// The pictures a language and board variant give the window, by resource name.
struct SkinChoice {
  SkinLanguage language;
  std::string_view background;
  std::string_view applyNormal;  // also the picture shown first
  std::string_view applyFocus;
  std::string_view applyDown;
  std::string_view nonApply;  // the inactive Apply picture
};

SkinChoice ChooseSkin(std::uint16_t userLanguage, bool regularOnly);

// The texts for a user language: English, or for Chinese users entries 1 to kTextSlotCount of
// the string table stored under kChineseStringTableLanguage (a missing entry leaves its slot
// empty).
TextSlots ChooseTextSlots(IResources& resources, std::uint16_t userLanguage);

// The file version of VS_FIXEDFILEINFO: dwFileVersionMS = major.minor, dwFileVersionLS =
// release.build, each half 16 bits.
struct FileVersion {
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::uint16_t release = 0;
  std::uint16_t build = 0;
};

// "major.minor", followed by ".release.build" when that half of the version is not 0; empty
// when there is no version.
std::string VersionText(const std::optional<FileVersion>& version);

// The file version in the bytes of a VS_VERSIONINFO resource; nullopt when they hold none.
std::optional<FileVersion> FixedFileVersion(std::span<const std::uint8_t> versionResource);

// The executable's own version text (resource VS_VERSION_INFO, id 1, any language).
std::string ExecutableVersionText(IResources& resources);

}  // namespace velmora
