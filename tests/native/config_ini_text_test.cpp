#include <gtest/gtest.h>

#include <string>

#include "config/IniTextDecoding.h"
#include "config/MemIniFile.h"
#include "sim/SimAnsiCodePage.h"

namespace velmora {
namespace {

// UTF-16 little-endian bytes of ASCII text.
std::string Utf16Le(const std::string& ascii) {
  std::string bytes;
  for (char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

std::string Utf16Be(const std::string& ascii) {
  std::string bytes;
  for (char c : ascii) {
    bytes += '\0';
    bytes += c;
  }
  return bytes;
}

class IniDecodingTest : public ::testing::Test {
 protected:
  std::string Decode(const std::string& bytes) { return DecodeIniText(bytes, codePage_); }
  sim::SimAnsiCodePage codePage_;
};

TEST_F(IniDecodingTest, WithoutMarkUsesAnsiCodePage) {
  EXPECT_EQ(Decode("[A]\nk=\x80\xE9"), "[A]\nk=\u20AC\u00E9");
}

TEST_F(IniDecodingTest, Utf8MarkIsRemoved) {
  EXPECT_EQ(Decode("\xEF\xBB\xBFk=\xC3\xA9"), "k=\u00E9");
}

TEST_F(IniDecodingTest, Utf8IllFormedBytesBecomeReplacementCharacter) {
  EXPECT_EQ(Decode("\xEF\xBB\xBF"
                   "a\xFF"
                   "b\xC3"),
            "a\uFFFDb\uFFFD");
}

TEST_F(IniDecodingTest, PartialUtf8MarkIsAnsiText) {
  EXPECT_EQ(Decode("\xEF\xBB"), "\u00EF\u00BB");
}

TEST_F(IniDecodingTest, Utf16LittleEndian) {
  EXPECT_EQ(Decode("\xFF\xFE" + Utf16Le("[Config]\r\n")), "[Config]\r\n");
}

TEST_F(IniDecodingTest, Utf16BigEndian) {
  EXPECT_EQ(Decode("\xFE\xFF" + Utf16Be("k=1")), "k=1");
}

TEST_F(IniDecodingTest, Utf16OddTrailingByteIsDropped) {
  EXPECT_EQ(Decode("\xFF\xFE" + Utf16Le("ab") + "c"), "ab");
  EXPECT_EQ(Decode("\xFF\xFE"
                   "A"),
            "");
}

TEST_F(IniDecodingTest, Utf16NonAsciiAndSurrogatePair) {
  // U+00E9, then U+1F600 as D83D DE00.
  EXPECT_EQ(Decode(std::string("\xFF\xFE\xE9\x00\x3D\xD8\x00\xDE", 8)), "\u00E9\U0001F600");
  EXPECT_EQ(Decode(std::string("\xFE\xFF\xD8\x3D\xDE\x00", 6)), "\U0001F600");
}

TEST_F(IniDecodingTest, Utf16UnpairedSurrogatesBecomeReplacementCharacter) {
  // Lone high surrogate before 'a', lone low surrogate, high surrogate at the very end.
  EXPECT_EQ(Decode(std::string("\xFF\xFE\x3D\xD8"
                               "a\x00\x00\xDE\x3D\xD8",
                               10)),
            "\uFFFDa\uFFFD\uFFFD");
}

TEST_F(IniDecodingTest, EmptyInput) {
  EXPECT_EQ(Decode(""), "");
  EXPECT_EQ(Decode("\xFF\xFE"), "");
}

TEST(MemIniFileTest, LinesEndInCrLfOrCrLf) {
  const TMemIniFile ini("[A]\rk1=1\nk2=2\r\nk3=3\n\rk4=4");
  EXPECT_EQ(ini.ReadString("A", "k1", "-"), "1");
  EXPECT_EQ(ini.ReadString("A", "k2", "-"), "2");
  EXPECT_EQ(ini.ReadString("A", "k3", "-"), "3");
  EXPECT_EQ(ini.ReadString("A", "k4", "-"), "4");
}

TEST(MemIniFileTest, TrimsEveryControlCharacterAndSpace) {
  const TMemIniFile ini("\x01\t [Sec]\x1F\n \x0B key\t=\x10 value \x05\x20\n");
  EXPECT_EQ(ini.ReadString("Sec", "key", "-"), "value");
}

TEST(MemIniFileTest, KeepsCharactersAboveSpace) {
  // DEL and a no-break space (UTF-8 C2 A0) are not blanks.
  const TMemIniFile ini("[S]\nk=\x7Fv\x7F\nn=\xC2\xA0v\xC2\xA0\n");
  EXPECT_EQ(ini.ReadString("S", "k", "-"), "\x7Fv\x7F");
  EXPECT_EQ(ini.ReadString("S", "n", "-"), "\xC2\xA0v\xC2\xA0");
}

TEST(MemIniFileTest, SectionNameIsTrimmedInsideBrackets) {
  const TMemIniFile ini("[  Config \t]\nk=1\n");
  EXPECT_EQ(ini.ReadInteger("Config", "k", 0), 1);
}

TEST(MemIniFileTest, LinesBeforeFirstSectionAreIgnored) {
  const TMemIniFile ini("k=1\n[S]\n");
  EXPECT_EQ(ini.ReadString("", "k", "-"), "-");
  EXPECT_EQ(ini.ReadString("S", "k", "-"), "-");
  EXPECT_FALSE(ini.SectionExists("S"));
}

TEST(MemIniFileTest, SemicolonCommentsOnlyAtLineStart) {
  const TMemIniFile ini("[S]\n;k=1\n  ; j=2\nv=1 ; note\n");
  EXPECT_EQ(ini.ReadString("S", "k", "-"), "-");
  EXPECT_EQ(ini.ReadString("S", "j", "-"), "-");
  EXPECT_EQ(ini.ReadString("S", "v", "-"), "1 ; note");
  EXPECT_EQ(ini.ReadInteger("S", "v", 9), 9);
}

TEST(MemIniFileTest, HashIsNotAComment) {
  const TMemIniFile ini("[S]\n#k=1\n");
  EXPECT_EQ(ini.ReadString("S", "#k", "-"), "1");
}

TEST(MemIniFileTest, KeySplitsAtFirstEqualsSign) {
  const TMemIniFile ini("[S]\n a b = x=y \n=lone\n");
  EXPECT_EQ(ini.ReadString("S", "a b", "-"), "x=y");
  EXPECT_EQ(ini.ReadString("S", "", "-"), "lone");
}

TEST(MemIniFileTest, EmptyValueIsEmptyNotDefault) {
  const TMemIniFile ini("[S]\nk=\nq=\"quoted\"\n");
  EXPECT_EQ(ini.ReadString("S", "k", "default"), "");
  EXPECT_EQ(ini.ReadString("S", "q", "default"), "\"quoted\"");
  EXPECT_EQ(ini.ReadInteger("S", "k", 5), 5);
}

TEST(MemIniFileTest, SectionsAndKeysIgnoreLetterCase) {
  const TMemIniFile ini("[config]\nRWDEBUG=1\n");
  EXPECT_EQ(ini.ReadInteger("Config", "RwDebug", 0), 1);
  EXPECT_EQ(ini.ReadInteger("CONFIG", "rwdebug", 0), 1);
  EXPECT_TRUE(ini.SectionExists("CoNfIg"));
}

TEST(MemIniFileTest, OnlyAsciiLettersAreFolded) {
  const TMemIniFile ini("[S]\n\xC3\xA9=1\n");
  EXPECT_EQ(ini.ReadString("S", "\xC3\xA9", "-"), "1");
  EXPECT_EQ(ini.ReadString("S", "\xC3\x89", "-"), "-");  // upper-case E acute
}

TEST(MemIniFileTest, LastKeyLineWins) {
  const TMemIniFile ini("[S]\nk=1\nK=2\n");
  EXPECT_EQ(ini.ReadInteger("S", "k", 0), 2);
}

TEST(MemIniFileTest, RepeatedSectionOnlyLastBlockCounts) {
  const TMemIniFile ini("[Config]\na=1\nb=1\n[Other]\nx=1\n[CONFIG]\nb=2\n");
  EXPECT_EQ(ini.ReadString("Config", "a", "-"), "-");
  EXPECT_EQ(ini.ReadString("Config", "b", "-"), "2");
  EXPECT_EQ(ini.ReadString("Other", "x", "-"), "1");
}

TEST(MemIniFileTest, RepeatedSectionEmptyLastBlockIsMissing) {
  const TMemIniFile ini("[S]\na=1\n[S]\n");
  EXPECT_FALSE(ini.SectionExists("S"));
  EXPECT_EQ(ini.ReadString("S", "a", "-"), "-");
}

TEST(MemIniFileTest, SectionExistsNeedsAtLeastOneLine) {
  const TMemIniFile ini("[Empty]\n; comment only\n\n[Keyless]\njust words\n[Keyed]\nk=\n");
  EXPECT_FALSE(ini.SectionExists("Empty"));
  EXPECT_TRUE(ini.SectionExists("Keyless"));
  EXPECT_TRUE(ini.SectionExists("Keyed"));
  EXPECT_FALSE(ini.SectionExists("Absent"));
  EXPECT_EQ(ini.ReadString("Keyless", "just words", "-"), "-");
}

TEST(MemIniFileTest, HeaderMustEndWithBracket) {
  const TMemIniFile ini("[A]\n[B] ; note\nk=1\n[C\nj=2\n");
  EXPECT_FALSE(ini.SectionExists("B"));
  EXPECT_EQ(ini.ReadString("A", "k", "-"), "1");
  EXPECT_EQ(ini.ReadString("A", "j", "-"), "2");
}

TEST(MemIniFileTest, ReadBoolIsAnyNonzeroInteger) {
  const TMemIniFile ini("[S]\nt=2\nf=0\nw=true\nh=0x100\n");
  EXPECT_TRUE(ini.ReadBool("S", "t", false));
  EXPECT_FALSE(ini.ReadBool("S", "f", true));
  EXPECT_FALSE(ini.ReadBool("S", "w", false));
  EXPECT_TRUE(ini.ReadBool("S", "w", true));
  EXPECT_TRUE(ini.ReadBool("S", "h", false));
  EXPECT_TRUE(ini.ReadBool("S", "absent", true));
}

TEST(MemIniFileTest, HugeLineIsKeptWhole) {
  const std::string big(1 << 20, 'v');
  const TMemIniFile ini("[S]\nbig=" + big + "\nafter=1\n");
  EXPECT_EQ(ini.ReadString("S", "big", ""), big);
  EXPECT_EQ(ini.ReadInteger("S", "after", 0), 1);
}

TEST(MemIniFileTest, EmbeddedNulIsAnOrdinaryBlank) {
  const TMemIniFile ini(std::string("[S]\nk=\0v\0\n", 10));
  EXPECT_EQ(ini.ReadString("S", "k", "-"), "v");
}

}  // namespace
}  // namespace velmora
