// The simulated profile functions behave as Windows' do where the program depends on it.
#include <gtest/gtest.h>

#include <string>

#include "sim/SimAnsiCodePage.h"
#include "sim/SimFileSystem.h"
#include "sim/SimProfileFiles.h"
#include "sim/SimRegistry.h"

namespace velmora::sim {
namespace {

constexpr const char* kPath = "C:\\App\\Test.ini";

class SimProfileFilesTest : public ::testing::Test {
 protected:
  std::string Get(const std::string& section, const std::string& key,
                  const std::string& fallback = "<default>", std::uint32_t chars = 2048) {
    return profiles.GetPrivateProfileStringW(section, key, fallback, chars, kPath);
  }
  bool Put(const std::string& section, const std::string& key, const std::string& value) {
    return profiles.WritePrivateProfileStringW(section, key, value, kPath);
  }
  std::string File() const { return files.Contents(kPath).value_or("<missing>"); }

  SimFileSystem files;
  SimAnsiCodePage codePage;
  SimProfileFiles profiles{files, codePage};
};

TEST_F(SimProfileFilesTest, FirstMatchingSectionAndFirstMatchingKeyCount) {
  files.SetFile(kPath, "[A]\nk=1\nK=2\n[a]\nk=3\nj=4\n");
  EXPECT_EQ(Get("a", "K"), "1");
  EXPECT_EQ(Get("A", "j"), "<default>");  // only in the second [a]
}

TEST_F(SimProfileFilesTest, MissingFileSectionOrKeyGivesTheDefaultWithoutTrailingBlanks) {
  EXPECT_EQ(Get("A", "k", "dflt  "), "dflt");
  files.SetFile(kPath, "[A]\r\nk=\r\n");
  EXPECT_EQ(Get("A", "k", "dflt"), "");  // present and empty is not missing
  EXPECT_EQ(Get("B", "k", " x"), " x");
}

TEST_F(SimProfileFilesTest, OnlyAMatchingPairOfQuotesIsRemoved) {
  files.SetFile(kPath, "[A]\r\nq1=\"v\"\r\nq2='v'\r\nq3=\"v'\r\nq4=\"\r\n");
  EXPECT_EQ(Get("A", "q1"), "v");
  EXPECT_EQ(Get("A", "q2"), "v");
  EXPECT_EQ(Get("A", "q3"), "\"v'");
  EXPECT_EQ(Get("A", "q4"), "\"");
}

TEST_F(SimProfileFilesTest, TheBufferCutsLongValues) {
  files.SetFile(kPath, "[A]\r\nk=" + std::string(3000, 'x') + "\r\n");
  EXPECT_EQ(Get("A", "k").size(), 2047u);
  EXPECT_EQ(Get("A", "k", "", 4), "xxx");
  EXPECT_EQ(Get("A", "k", "", 0), "");
}

TEST_F(SimProfileFilesTest, ANewFileIsWrittenInTheAnsiCodePage) {
  ASSERT_TRUE(Put("Sect", "Name",
                  "Gr\xC3\xBC\xC3\x9F"
                  "e"));  // "Grüße"
  EXPECT_EQ(File(),
            "[Sect]\r\nName=Gr\xFC\xDF"
            "e\r\n");
  EXPECT_EQ(Get("sect", "NAME"),
            "Gr\xC3\xBC\xC3\x9F"
            "e");
}

TEST_F(SimProfileFilesTest, AWriteKeepsTheKeysSpellingAndEveryOtherLine) {
  files.SetFile(kPath, ";c\n[A]\n  Key = old ; not a comment\nz\n[B]\nKey=b");
  ASSERT_TRUE(Put("a", "KEY", "new"));
  EXPECT_EQ(File(), ";c\r\n[A]\r\nKey=new\r\nz\r\n[B]\r\nKey=b\r\n");
}

TEST_F(SimProfileFilesTest, AMissingSectionIsAppended) {
  files.SetFile(kPath, "[A]\r\nk=1\r\n");
  ASSERT_TRUE(Put("B", "k", "2"));
  EXPECT_EQ(File(), "[A]\r\nk=1\r\n[B]\r\nk=2\r\n");
  EXPECT_EQ(Get("B", "k"), "2");
  EXPECT_EQ(Get("A", "k"), "1");
}

TEST_F(SimProfileFilesTest, AUtf16FileIsReadAndRewrittenAsUtf16) {
  files.SetFile(kPath, "\xFF\xFE" + Utf8ToUtf16Le("[A]\r\nk=\xE4\xB8\xAD\r\n"));
  EXPECT_EQ(Get("A", "k"), "\xE4\xB8\xAD");
  ASSERT_TRUE(Put("A", "n", "\xE6\x96\x87"));
  EXPECT_EQ(File(), "\xFF\xFE" + Utf8ToUtf16Le("[A]\r\nk=\xE4\xB8\xAD\r\nn=\xE6\x96\x87\r\n"));
}

TEST_F(SimProfileFilesTest, AWriteIntoAReadOnlyFolderFailsAndLeavesNoFile) {
  files.SetFolderReadOnly("C:\\App");
  EXPECT_FALSE(Put("A", "k", "1"));
  EXPECT_FALSE(files.Exists(kPath));
}

}  // namespace
}  // namespace velmora::sim
