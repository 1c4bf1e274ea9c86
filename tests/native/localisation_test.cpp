// The main window's languages and skin: the Chinese string table as compiled into the program,
// the walk through a string-table block, the choice of language, the version text, and the
// bitmaps of the skin with their transparent key colour.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <queue>
#include <string>
#include <vector>

#include "ExpectedTexts.h"
#include "app/Localisation.h"
#include "app/MainWindowLayout.h"
#include "sim/SimResources.h"

namespace velmora {
namespace {

using sim::SimResources;
using Bytes = std::vector<std::uint8_t>;

// The program's resources as windres compiled them, read once.
SimResources CompiledResources() {
  static const std::optional<SimResources> compiled = SimResources::FromResFile(VELMORA_TEST_RES);
  EXPECT_TRUE(compiled.has_value()) << VELMORA_TEST_RES;
  return compiled.value_or(SimResources{});
}

// A string-table block of sixteen counted UTF-16 strings.
Bytes Block(const std::vector<std::u16string>& strings) {
  Bytes bytes;
  for (std::size_t i = 0; i < 16; ++i) {
    const std::u16string s = i < strings.size() ? strings[i] : u"";
    bytes.push_back(static_cast<std::uint8_t>(s.size() & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(s.size() >> 8));
    for (char16_t unit : s) {
      bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
  }
  return bytes;
}

using expectedtexts::kChineseTexts;
using expectedtexts::kEnglishTexts;

TEST(LocalisationStringTable, ChineseUsersGetTheCompiledTableTexts) {
  SimResources resources = CompiledResources();
  EXPECT_EQ(ChooseTextSlots(resources, 2052), kChineseTexts);
}

TEST(LocalisationStringTable, TableIsStoredUnderLanguage2004Only) {
  SimResources resources = CompiledResources();
  int blocks = 0;
  for (const auto& key : resources.Keys()) {
    if (key.type != win::kRtString) continue;
    ++blocks;
    EXPECT_EQ(key.name, "#" + std::to_string(blocks));
    EXPECT_EQ(key.language, 0x2004);
  }
  EXPECT_EQ(blocks, 2);
  // The lookup asks for exactly that language: the user's own identifier finds nothing.
  EXPECT_EQ(LoadLocalString(resources, 1, 0x0804), "");
  EXPECT_EQ(LoadLocalString(resources, 1, 0x2004), "Zelkor科技Velmora");
}

TEST(LocalisationStringTable, UnusedEntriesOfTheCompiledBlockAreEmpty) {
  SimResources resources = CompiledResources();
  EXPECT_EQ(LoadLocalString(resources, 0, 0x2004), "");
  EXPECT_EQ(LoadLocalString(resources, 22, 0x2004), "");
  EXPECT_EQ(LoadLocalString(resources, 32, 0x2004), "");  // block 3 does not exist
  EXPECT_EQ(std::get<1>(resources.lookups.back()), 3);
}

TEST(LocalisationStringTable, BlockWalkSkipsTheEntriesBeforeTheWantedOne) {
  const Bytes block = Block({u"zero", u"", u"two", u"three"});
  EXPECT_EQ(StringTableEntry(block, 0), u"zero");
  EXPECT_EQ(StringTableEntry(block, 1), u"");
  EXPECT_EQ(StringTableEntry(block, 2), u"two");
  EXPECT_EQ(StringTableEntry(block, 3), u"three");
  EXPECT_EQ(StringTableEntry(block, 15), u"");
}

TEST(LocalisationStringTable, EntryOfALaterBlockIsFoundInThatBlock) {
  SimResources resources;
  resources.Add(win::kRtString, 1, 0x2004, Block({u"", u"first block"}));
  resources.Add(win::kRtString, 2, 0x2004, Block({u"sixteen", u"seventeen"}));
  EXPECT_EQ(LoadLocalString(resources, 1, 0x2004), "first block");
  EXPECT_EQ(LoadLocalString(resources, 17, 0x2004), "seventeen");
  EXPECT_EQ(std::get<1>(resources.lookups.back()), 2);
}

TEST(LocalisationStringTable, TruncatedBlockGivesEmptyInsteadOfReadingPastIt) {
  Bytes block = Block({u"ab", u"cdef"});
  block.resize(2 + 4 + 2 + 4);  // the second string's count says 4 units, only 2 are there
  EXPECT_EQ(StringTableEntry(block, 0), u"ab");
  EXPECT_EQ(StringTableEntry(block, 1), u"");
  EXPECT_EQ(StringTableEntry(block, 5), u"");
  EXPECT_EQ(StringTableEntry(Bytes{0x01}, 0), u"");
}

TEST(LocalisationStringTable, SurrogatePairsBecomeOneUtf8CodePoint) {
  SimResources resources;
  resources.Add(win::kRtString, 1, 0x2004, Block({u"", u"\U00020000x", {char16_t{0xD800}}}));
  EXPECT_EQ(LoadLocalString(resources, 1, 0x2004), "\xF0\xA0\x80\x80x");
  EXPECT_EQ(LoadLocalString(resources, 2, 0x2004), "\xEF\xBF\xBD");  // lone surrogate
}

TEST(LocalisationStringTable, UnloadableBlockGivesEmptySlots) {
  SimResources resources = CompiledResources();
  resources.loadFails = true;
  for (const auto& slot : ChooseTextSlots(resources, 2052)) EXPECT_EQ(slot, "");
}

TEST(LocalisationLanguage, EveryOtherLanguageGetsEnglishWithoutReadingTheTable) {
  SimResources resources = CompiledResources();
  for (std::uint16_t language : {0x0404, 0x0409, 0x0C04, 0x1004, 0x2004, 0x0000, 0x0411}) {
    const TextSlots slots = ChooseTextSlots(resources, language);
    EXPECT_EQ(slots, kEnglishTexts) << std::hex << language;
    EXPECT_TRUE(resources.lookups.empty());
    const SkinChoice skin = ChooseSkin(language, false);
    EXPECT_EQ(skin.language, SkinLanguage::kEnglish);
    EXPECT_EQ(skin.background, "BackgroundImage");
  }
  EXPECT_EQ(EnglishTextSlots(), kEnglishTexts);
}

TEST(LocalisationLanguage, ChineseChoosesChinesePicturesInBothVariants) {
  const SkinChoice normal = ChooseSkin(2052, false);
  EXPECT_EQ(normal.language, SkinLanguage::kChinese);
  EXPECT_EQ(normal.background, "CHS_BackgroundImage");
  EXPECT_EQ(normal.applyNormal, "CHS_Bt_apply_1");
  EXPECT_EQ(normal.applyFocus, "CHS_Bt_apply_2");
  EXPECT_EQ(normal.applyDown, "CHS_Bt_apply_3");
  EXPECT_EQ(normal.nonApply, "CHS_Bt_apply_4");
  const SkinChoice regularOnly = ChooseSkin(2052, true);
  EXPECT_EQ(regularOnly.background, "NB_CHS_BackgroundImage");
  EXPECT_EQ(regularOnly.applyNormal, "CHS_Bt_apply_1");
}

TEST(LocalisationLanguage, EnglishRegularOnlyKeepsTheEnglishApplyPictures) {
  const SkinChoice skin = ChooseSkin(0x0404, true);
  EXPECT_EQ(skin.language, SkinLanguage::kEnglish);
  EXPECT_EQ(skin.background, "NB_BackgroundImage");
  EXPECT_EQ(skin.applyNormal, "Bt_apply_1");
  EXPECT_EQ(skin.nonApply, "Bt_apply_4");
}

TEST(LocalisationVersion, ZeroLowerHalfIsLeftOut) {
  EXPECT_EQ(VersionText(FileVersion{1, 0, 0, 0}), "1.0");
  EXPECT_EQ(VersionText(FileVersion{1, 0, 0, 5}), "1.0.0.5");
  EXPECT_EQ(VersionText(FileVersion{1, 0, 5, 0}), "1.0.5.0");
  EXPECT_EQ(VersionText(FileVersion{2, 10, 0, 0}), "2.10");
  EXPECT_EQ(VersionText(FileVersion{65535, 65535, 65535, 65535}), "65535.65535.65535.65535");
  EXPECT_EQ(VersionText(std::nullopt), "");
}

TEST(LocalisationVersion, ProgramVersionResourceReadsAs1Point0) {
  SimResources resources = CompiledResources();
  const auto* bytes = resources.Find(win::kRtVersion, "#1", win::kLangNeutral);
  ASSERT_NE(bytes, nullptr);
  const auto version = FixedFileVersion(*bytes);
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(version->major, 1);
  EXPECT_EQ(version->minor, 0);
  EXPECT_EQ(ExecutableVersionText(resources), "1.0");
}

// The root block of a VS_VERSIONINFO with the given file version.
Bytes VersionResource(std::uint32_t mostSignificant, std::uint32_t leastSignificant) {
  Bytes bytes(92, 0);
  auto put16 = [&](std::size_t at, std::uint16_t v) {
    bytes[at] = v & 0xFF;
    bytes[at + 1] = v >> 8;
  };
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  put16(0, 92);
  put16(2, 52);
  const std::u16string key = u"VS_VERSION_INFO";
  for (std::size_t i = 0; i < key.size(); ++i) put16(6 + 2 * i, key[i]);
  put32(40, 0xFEEF04BD);
  put32(48, mostSignificant);
  put32(52, leastSignificant);
  return bytes;
}

TEST(LocalisationVersion, FixedFileInfoHalvesAreSplitAt16Bits) {
  SimResources resources;
  resources.Add(win::kRtVersion, 1, 0x0409, VersionResource(0x00010000, 0x00000005));
  EXPECT_EQ(ExecutableVersionText(resources), "1.0.0.5");
  const auto version = FixedFileVersion(VersionResource(0x0003000C, 0x00070009));
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(VersionText(version), "3.12.7.9");
}

TEST(LocalisationVersion, MissingOrDamagedVersionResourceGivesEmptyText) {
  SimResources none;
  EXPECT_EQ(ExecutableVersionText(none), "");
  Bytes badSignature = VersionResource(0x00010000, 0);
  badSignature[40] = 0;
  EXPECT_FALSE(FixedFileVersion(badSignature).has_value());
  Bytes truncated = VersionResource(0x00010000, 0);
  truncated.resize(60);
  EXPECT_FALSE(FixedFileVersion(truncated).has_value());
  Bytes noValue = VersionResource(0x00010000, 0);
  noValue[2] = 0;
  EXPECT_FALSE(FixedFileVersion(noValue).has_value());
}

// ---------------------------------------------------------------------------------------------
// The skin's bitmaps.

struct Bitmap {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  Bytes file;
  std::vector<std::uint32_t> rgb;  // 0xRRGGBB, top row first

  std::uint32_t At(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
};

std::uint32_t Le32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::optional<Bitmap> ReadBitmap(const std::string& name) {
  std::ifstream in(std::string(VELMORA_SOURCE_DIR) + "/resources/skin/" + name + ".bmp",
                   std::ios::binary);
  if (!in) return std::nullopt;
  Bitmap bmp;
  bmp.file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  const Bytes& f = bmp.file;
  if (f.size() < 54 || f[0] != 'B' || f[1] != 'M' || Le32(f, 30) != 0) return std::nullopt;
  bmp.width = static_cast<int>(Le32(f, 18));
  const auto height = static_cast<std::int32_t>(Le32(f, 22));
  bmp.height = height < 0 ? -height : height;
  bmp.bitsPerPixel = f[28] | (f[29] << 8);
  if (bmp.bitsPerPixel != 24) return bmp;
  const std::size_t stride = (static_cast<std::size_t>(bmp.width) * 3 + 3) & ~std::size_t{3};
  const std::size_t pixels = Le32(f, 10);
  if (pixels + stride * bmp.height > f.size()) return std::nullopt;
  for (int y = 0; y < bmp.height; ++y) {
    const int row = height < 0 ? y : bmp.height - 1 - y;
    for (int x = 0; x < bmp.width; ++x) {
      const std::size_t at = pixels + row * stride + x * 3;
      bmp.rgb.push_back((f[at + 2] << 16) | (f[at + 1] << 8) | f[at]);
    }
  }
  return bmp;
}

constexpr std::uint32_t kKeyBlue = 0x0000FF;

// Blue pixels that cannot be reached from the picture's edge through blue pixels: key colour
// inside the window or button, where it would punch a hole in the outline.
int EnclosedBluePixels(const Bitmap& bmp) {
  std::vector<bool> seen(bmp.rgb.size(), false);
  std::queue<std::pair<int, int>> open;
  auto visit = [&](int x, int y) {
    if (x < 0 || y < 0 || x >= bmp.width || y >= bmp.height) return;
    const std::size_t i = static_cast<std::size_t>(y) * bmp.width + x;
    if (seen[i] || bmp.rgb[i] != kKeyBlue) return;
    seen[i] = true;
    open.emplace(x, y);
  };
  for (int x = 0; x < bmp.width; ++x) visit(x, 0), visit(x, bmp.height - 1);
  for (int y = 0; y < bmp.height; ++y) visit(0, y), visit(bmp.width - 1, y);
  while (!open.empty()) {
    const auto [x, y] = open.front();
    open.pop();
    visit(x + 1, y), visit(x - 1, y), visit(x, y + 1), visit(x, y - 1);
  }
  int enclosed = 0;
  for (std::size_t i = 0; i < bmp.rgb.size(); ++i) enclosed += bmp.rgb[i] == kKeyBlue && !seen[i];
  return enclosed;
}

struct ExpectedBitmap {
  std::string name;
  layout::Placement place;
};

std::vector<ExpectedBitmap> SkinBitmaps() {
  namespace l = layout;
  std::vector<ExpectedBitmap> all;
  for (const char* name :
       {"BackgroundImage", "NB_BackgroundImage", "CHS_BackgroundImage", "NB_CHS_BackgroundImage"}) {
    all.push_back({name, l::kBackgroundImage});
  }
  for (const char* prefix : {"", "CHS_"}) {
    for (int i = 1; i <= 4; ++i) {
      all.push_back({prefix + std::string("Bt_apply_") + std::to_string(i), l::kApplyBtnPanel});
    }
  }
  auto buttons = [&](const l::pictures::ButtonPictures& set, l::Placement place) {
    for (std::string_view name : {set.normal, set.focus, set.down, set.active}) {
      if (!name.empty()) all.push_back({std::string(name), place});
    }
  };
  buttons(l::pictures::kClose, l::kCloseBtnPanel);
  buttons(l::pictures::kMinimize, l::kMinimizeBtnPanel);
  buttons(l::pictures::kDisable, l::kDisableBtnPanel);
  buttons(l::pictures::kFast, l::kFastBtnPanel);
  buttons(l::pictures::kRegular, l::kRegularBtnPanel);
  return all;
}

TEST(SkinBitmaps, LayoutSizesAreTheOnesOfTheWindow) {
  EXPECT_EQ(layout::kBackgroundImage.width, 500);
  EXPECT_EQ(layout::kBackgroundImage.height, 400);
  EXPECT_EQ(layout::kApplyBtnPanel.left, layout::kNonApplyImage.left);
  EXPECT_EQ(layout::kApplyBtnPanel.top, layout::kNonApplyImage.top);
  EXPECT_EQ(layout::kRegularOnlyRegularTop, 288);
  EXPECT_EQ(SkinBitmaps().size(), 30u);
}

TEST(SkinBitmaps, EachIs24BitOfItsComponentsSize) {
  for (const auto& expected : SkinBitmaps()) {
    SCOPED_TRACE(expected.name);
    const auto bmp = ReadBitmap(expected.name);
    ASSERT_TRUE(bmp.has_value());
    EXPECT_EQ(bmp->bitsPerPixel, 24);
    EXPECT_EQ(bmp->width, expected.place.width);
    EXPECT_EQ(bmp->height, expected.place.height);
  }
}

TEST(SkinBitmaps, KeyBlueOnlyOutsideTheOutline) {
  for (const auto& expected : SkinBitmaps()) {
    SCOPED_TRACE(expected.name);
    const auto bmp = ReadBitmap(expected.name);
    ASSERT_TRUE(bmp.has_value() && bmp->bitsPerPixel == 24);
    const int w = bmp->width;
    const int h = bmp->height;
    // Rounded window and round or rounded buttons: the corners are cut, the middle is not.
    EXPECT_EQ(bmp->At(0, 0), kKeyBlue);
    EXPECT_EQ(bmp->At(w - 1, 0), kKeyBlue);
    EXPECT_EQ(bmp->At(0, h - 1), kKeyBlue);
    EXPECT_EQ(bmp->At(w - 1, h - 1), kKeyBlue);
    EXPECT_NE(bmp->At(w / 2, h / 2), kKeyBlue);
    EXPECT_NE(bmp->At(w / 2, 1), kKeyBlue);
    EXPECT_NE(bmp->At(1, h / 2), kKeyBlue);
    EXPECT_EQ(EnclosedBluePixels(*bmp), 0);
  }
}

TEST(SkinBitmaps, BackgroundsKeepTheirWholeEdgeExceptTheCorners) {
  for (const char* name :
       {"BackgroundImage", "NB_BackgroundImage", "CHS_BackgroundImage", "NB_CHS_BackgroundImage"}) {
    SCOPED_TRACE(name);
    const auto bmp = ReadBitmap(name);
    ASSERT_TRUE(bmp.has_value() && bmp->bitsPerPixel == 24);
    int blue = 0;
    for (std::uint32_t pixel : bmp->rgb) blue += pixel == kKeyBlue;
    EXPECT_GT(blue, 4 * 10);  // four rounded corners are cut ...
    EXPECT_LT(blue, 4 * 60);  // ... and nothing more than corners
  }
}

TEST(SkinBitmaps, CompiledIntoTheProgramUnderTheirNames) {
  SimResources resources = CompiledResources();
  for (const auto& expected : SkinBitmaps()) {
    SCOPED_TRACE(expected.name);
    const auto bmp = ReadBitmap(expected.name);
    ASSERT_TRUE(bmp.has_value());
    // Looked up without regard to letter case; a BITMAP resource is the file without its
    // 14-byte BITMAPFILEHEADER.
    const auto* stored = resources.Find(win::kRtBitmap, expected.name, win::kLangNeutral);
    ASSERT_NE(stored, nullptr);
    EXPECT_TRUE(
        std::equal(stored->begin(), stored->end(), bmp->file.begin() + 14, bmp->file.end()));
  }
}

}  // namespace
}  // namespace velmora
