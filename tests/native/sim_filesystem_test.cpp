#include <gtest/gtest.h>

#include <string>

#include "ports/WinTypes.h"
#include "sim/SimAnsiCodePage.h"
#include "sim/SimFileSystem.h"

namespace velmora::sim {
namespace {

constexpr std::uint32_t kRead = win::kGenericRead;
constexpr std::uint32_t kWrite = win::kGenericWrite;
constexpr std::uint32_t kNormal = win::kFileAttributeNormal;

class SimFileSystemTest : public ::testing::Test {
 protected:
  Handle Open(const std::string& path, std::uint32_t access, std::uint32_t share,
              std::uint32_t disposition) {
    return fs.CreateFileA(path, access, share, disposition, kNormal);
  }
  std::string ReadAll(Handle h) {
    char buffer[64];
    std::uint32_t got = 0;
    std::string out;
    while (fs.ReadFile(h, buffer, sizeof buffer, &got) && got > 0) out.append(buffer, got);
    return out;
  }
  bool Write(Handle h, const std::string& text) {
    std::uint32_t written = 0;
    return fs.WriteFile(h, text.data(), static_cast<std::uint32_t>(text.size()), &written) &&
           written == text.size();
  }
  SimFileSystem fs;
};

TEST_F(SimFileSystemTest, PathsCompareWithoutLetterCaseOrSlashKind) {
  fs.SetFile("C:\\Tools\\Velmora.ini", "abc");
  EXPECT_TRUE(fs.Exists("c:/tools/VELMORA.INI"));
  const Handle h = Open("C:\\TOOLS\\velmora.ini", kRead, 0, win::kOpenExisting);
  ASSERT_NE(h, kInvalidHandleValue);
  EXPECT_EQ(ReadAll(h), "abc");
  EXPECT_EQ(fs.Paths(), (std::vector<std::string>{"C:\\Tools\\Velmora.ini"}));
}

TEST_F(SimFileSystemTest, OpenExistingOfMissingFileFails) {
  EXPECT_EQ(Open("C:\\none", kRead, 0, win::kOpenExisting), kInvalidHandleValue);
  EXPECT_EQ(fs.LastError(), kErrorFileNotFound);
  EXPECT_FALSE(fs.Exists("C:\\none"));
}

TEST_F(SimFileSystemTest, CreateAlwaysTruncatesAndReportsExisting) {
  fs.SetFile("C:\\a.txt", "old contents");
  const Handle h = Open("C:\\a.txt", kWrite, 0, win::kCreateAlways);
  ASSERT_NE(h, kInvalidHandleValue);
  EXPECT_EQ(fs.LastError(), kErrorAlreadyExists);
  EXPECT_EQ(fs.Contents("C:\\a.txt"), "");
  EXPECT_TRUE(Write(h, "new"));
  EXPECT_TRUE(Write(h, "er"));
  EXPECT_EQ(fs.Contents("C:\\a.txt"), "newer");
}

TEST_F(SimFileSystemTest, CreateNewFailsOnExistingFile) {
  fs.SetFile("C:\\a.txt", "keep");
  EXPECT_EQ(Open("C:\\a.txt", kWrite, 0, win::kCreateNew), kInvalidHandleValue);
  EXPECT_EQ(fs.LastError(), kErrorFileExists);
  EXPECT_EQ(fs.Contents("C:\\a.txt"), "keep");
  EXPECT_NE(Open("C:\\b.txt", kWrite, 0, win::kCreateNew), kInvalidHandleValue);
  EXPECT_EQ(fs.LastError(), kErrorSuccess);
}

TEST_F(SimFileSystemTest, ShareModeZeroMakesSecondOpenFail) {
  fs.SetFile("C:\\a.txt", "x");
  const Handle first = Open("C:\\a.txt", kRead, 0, win::kOpenExisting);
  ASSERT_NE(first, kInvalidHandleValue);
  EXPECT_EQ(Open("C:\\a.txt", kRead, win::kFileShareRead, win::kOpenExisting), kInvalidHandleValue);
  EXPECT_EQ(fs.LastError(), kErrorSharingViolation);
  EXPECT_TRUE(fs.CloseHandle(first));
  EXPECT_NE(Open("C:\\a.txt", kRead, 0, win::kOpenExisting), kInvalidHandleValue);
}

TEST_F(SimFileSystemTest, ShareReadAllowsReadersNotWriters) {
  fs.SetFile("C:\\a.txt", "x");
  ASSERT_NE(Open("C:\\a.txt", kRead, win::kFileShareRead, win::kOpenExisting), kInvalidHandleValue);
  EXPECT_NE(Open("C:\\a.txt", kRead, win::kFileShareRead, win::kOpenExisting), kInvalidHandleValue);
  EXPECT_EQ(Open("C:\\a.txt", kWrite, win::kFileShareRead, win::kOpenExisting),
            kInvalidHandleValue);
  EXPECT_EQ(fs.LastError(), kErrorSharingViolation);
}

TEST_F(SimFileSystemTest, ReadsAdvanceAndStopAtEnd) {
  fs.SetFile("C:\\a.bin", "0123456789");
  const Handle h = Open("C:\\a.bin", kRead, 0, win::kOpenExisting);
  char buffer[4];
  std::uint32_t got = 0;
  ASSERT_TRUE(fs.ReadFile(h, buffer, 4, &got));
  EXPECT_EQ(std::string(buffer, got), "0123");
  EXPECT_EQ(fs.GetFileSize(h), 10u);
  ASSERT_TRUE(fs.ReadFile(h, buffer, 4, &got));
  ASSERT_TRUE(fs.ReadFile(h, buffer, 4, &got));
  EXPECT_EQ(std::string(buffer, got), "89");
  ASSERT_TRUE(fs.ReadFile(h, buffer, 4, &got));
  EXPECT_EQ(got, 0u);
}

TEST_F(SimFileSystemTest, AccessModeIsEnforced) {
  fs.SetFile("C:\\a.txt", "x");
  const Handle reader =
      Open("C:\\a.txt", kRead, win::kFileShareRead | win::kFileShareWrite, win::kOpenExisting);
  EXPECT_FALSE(Write(reader, "y"));
  EXPECT_EQ(fs.LastError(), kErrorAccessDenied);
  const Handle writer =
      Open("C:\\a.txt", kWrite, win::kFileShareRead | win::kFileShareWrite, win::kOpenExisting);
  char c;
  std::uint32_t got = 7;
  EXPECT_FALSE(fs.ReadFile(writer, &c, 1, &got));
  EXPECT_EQ(got, 0u);
  const Handle all = Open("C:\\b.txt", win::kFileAllAccess, 0, win::kCreateAlways);
  EXPECT_TRUE(Write(all, "ok"));
}

TEST_F(SimFileSystemTest, InvalidHandles) {
  char c;
  std::uint32_t got = 0;
  EXPECT_FALSE(fs.ReadFile(kInvalidHandleValue, &c, 1, &got));
  EXPECT_EQ(fs.LastError(), kErrorInvalidHandle);
  EXPECT_FALSE(fs.WriteFile(kInvalidHandleValue, "a", 1, &got));
  EXPECT_EQ(fs.GetFileSize(kInvalidHandleValue), win::kInvalidFileSize);
  const Handle h = Open("C:\\a", kWrite, 0, win::kCreateAlways);
  EXPECT_TRUE(fs.CloseHandle(h));
  EXPECT_FALSE(fs.CloseHandle(h));
  EXPECT_EQ(fs.OpenHandleCount(), 0u);
}

TEST_F(SimFileSystemTest, ReadOnlyFolderRefusesWritingButAllowsReading) {
  fs.SetFile("C:\\Windows\\System32\\drivers\\old.sys", "old");
  fs.SetFolderReadOnly("c:\\windows\\system32\\drivers\\");
  EXPECT_EQ(Open("C:\\Windows\\System32\\drivers\\new.sys", kWrite, 0, win::kCreateAlways),
            kInvalidHandleValue);
  EXPECT_EQ(fs.LastError(), kErrorAccessDenied);
  EXPECT_FALSE(fs.Exists("C:\\Windows\\System32\\drivers\\new.sys"));
  EXPECT_EQ(
      Open("C:\\Windows\\System32\\drivers\\old.sys", win::kFileAllAccess, 0, win::kOpenExisting),
      kInvalidHandleValue);
  EXPECT_FALSE(fs.DeleteFileA("C:\\Windows\\System32\\drivers\\old.sys"));
  EXPECT_EQ(fs.LastError(), kErrorAccessDenied);
  const Handle h = Open("C:\\Windows\\System32\\drivers\\old.sys", kRead, 0, win::kOpenExisting);
  EXPECT_NE(h, kInvalidHandleValue);
  // A subfolder is not covered; switching the protection off allows writing again.
  EXPECT_NE(Open("C:\\Windows\\System32\\drivers\\etc\\x", kWrite, 0, win::kCreateAlways),
            kInvalidHandleValue);
  fs.SetFolderReadOnly("C:\\Windows\\System32\\drivers", false);
  EXPECT_NE(Open("C:\\Windows\\System32\\drivers\\new.sys", kWrite, 0, win::kCreateAlways),
            kInvalidHandleValue);
}

TEST_F(SimFileSystemTest, InjectedFaults) {
  fs.SetFile("C:\\a.txt", "abc");
  fs.FailOpen("C:\\A.TXT", kErrorSharingViolation);
  EXPECT_EQ(Open("C:\\a.txt", kRead, 0, win::kOpenExisting), kInvalidHandleValue);
  EXPECT_EQ(fs.LastError(), kErrorSharingViolation);

  fs.SetFile("C:\\b.txt", "abc");
  fs.FailReads("C:\\b.txt");
  const Handle reader = Open("C:\\b.txt", kRead, 0, win::kOpenExisting);
  char c;
  std::uint32_t got = 0;
  EXPECT_FALSE(fs.ReadFile(reader, &c, 1, &got));

  fs.FailWrites("C:\\c.txt");
  const Handle writer = Open("C:\\c.txt", kWrite, 0, win::kCreateAlways);
  ASSERT_NE(writer, kInvalidHandleValue);
  EXPECT_FALSE(Write(writer, "lost"));
  EXPECT_EQ(fs.Contents("C:\\c.txt"), "");
  fs.FailWrites("C:\\c.txt", false);
  EXPECT_TRUE(Write(writer, "kept"));
}

TEST_F(SimFileSystemTest, DeleteFile) {
  fs.SetFile("C:\\a.sys", "x");
  const Handle h = Open("C:\\a.sys", kRead, win::kFileShareRead, win::kOpenExisting);
  EXPECT_FALSE(fs.DeleteFileA("C:\\a.sys"));
  EXPECT_EQ(fs.LastError(), kErrorSharingViolation);
  fs.CloseHandle(h);
  EXPECT_TRUE(fs.DeleteFileA("c:\\A.SYS"));
  EXPECT_FALSE(fs.Exists("C:\\a.sys"));
  EXPECT_TRUE(fs.Paths().empty());
  EXPECT_FALSE(fs.DeleteFileA("C:\\a.sys"));
  EXPECT_EQ(fs.LastError(), kErrorFileNotFound);
}

TEST_F(SimFileSystemTest, RecordsCreateFileArguments) {
  Open("C:\\log.rw", win::kFileAllAccess, 0, win::kCreateAlways);
  Open("C:\\missing", kRead, win::kFileShareRead, win::kOpenExisting);
  ASSERT_EQ(fs.CreateFileCalls().size(), 2u);
  EXPECT_EQ(fs.CreateFileCalls()[0].path, "C:\\log.rw");
  EXPECT_EQ(fs.CreateFileCalls()[0].desiredAccess, win::kFileAllAccess);
  EXPECT_EQ(fs.CreateFileCalls()[0].creationDisposition, win::kCreateAlways);
  EXPECT_EQ(fs.CreateFileCalls()[1].shareMode, win::kFileShareRead);
  EXPECT_EQ(fs.CreateFileCalls()[1].flagsAndAttributes, kNormal);
}

TEST_F(SimFileSystemTest, UnknownDispositionIsInvalidParameter) {
  EXPECT_EQ(Open("C:\\a", kWrite, 0, 0), kInvalidHandleValue);
  EXPECT_EQ(fs.LastError(), kErrorInvalidParameter);
  EXPECT_EQ(Open("C:\\a", kWrite, 0, 6), kInvalidHandleValue);
}

TEST(SimAnsiCodePageTest, HighControlRangeOfWindows1252) {
  SimAnsiCodePage cp;
  EXPECT_EQ(cp.AnsiToUtf8("\x80"), "\u20AC");
  EXPECT_EQ(cp.AnsiToUtf8("\x81"), "\u0081");
  EXPECT_EQ(cp.AnsiToUtf8("\x85\x8A\x93\x94\x96\x99\x9F"),
            "\u2026\u0160\u201C\u201D\u2013\u2122\u0178");
  EXPECT_EQ(cp.AnsiToUtf8("\xA0\xE9\xFF"), "\u00A0\u00E9\u00FF");
}

TEST(SimAnsiCodePageTest, EveryByteRoundTrips) {
  SimAnsiCodePage cp;
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(cp.Utf8ToAnsi(cp.AnsiToUtf8(all)), all);
}

TEST(SimAnsiCodePageTest, UnmappableBecomesQuestionMark) {
  SimAnsiCodePage cp;
  EXPECT_EQ(cp.Utf8ToAnsi("a\u4E2Db\U0001F600c\u0100"), "a?b?c?");
  EXPECT_EQ(cp.Utf8ToAnsi("\xFF\xC3"), "??");
  EXPECT_EQ(cp.Utf8ToAnsi("\u20AC\u00E9"), "\x80\xE9");
}

}  // namespace
}  // namespace velmora::sim
