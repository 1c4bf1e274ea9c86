// The Win32 adapters against Wine's real kernel32 and user32.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "TempFiles.h"
#include "config/DebugLog.h"
#include "config/OsVersion.h"
#include "win32/Win32Files.h"
#include "win32/Win32Process.h"
#include "win32/Win32SystemInfo.h"

namespace velmora::win32 {
namespace {

TEST(Win32SystemInfo, ThirtyTwoBitPrefixIsThirtyTwoBitWindows7) {
  Win32SystemInfo system;
  TOsVersion os(system);
  EXPECT_EQ(os.OsType, otNt6X86);
  EXPECT_EQ(os.CodeName, "WNT_6.1");
  EXPECT_EQ(os.DisplayName, "Windows 7");
  EXPECT_EQ(os.IsWow64, 0);
  EXPECT_NE(system.GetProcAddress(system.GetModuleHandleA("kernel32.dll"), "GetNativeSystemInfo"),
            0u);
  EXPECT_EQ(system.GetProcAddress(system.GetModuleHandleA("kernel32"), "NoSuchFunctionHere"), 0u);
}

TEST(Win32Files, CreateAlwaysWithoutSharingLocksTheFileAndReplacesIt) {
  Win32Files files;
  const std::string path = TempPath("velmora-files-test.txt");
  const Handle first = files.CreateFileA(path, FILE_ALL_ACCESS, 0, CREATE_ALWAYS,
                                         FILE_FLAG_WRITE_THROUGH | FILE_ATTRIBUTE_NORMAL);
  ASSERT_NE(first, kInvalidHandleValue);
  std::uint32_t written = 0;
  EXPECT_TRUE(files.WriteFile(first, "abc", 3, &written));
  EXPECT_EQ(written, 3u);
  // No sharing: nobody else may open it while the first handle lives.
  EXPECT_EQ(files.CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL),
            kInvalidHandleValue);
  EXPECT_TRUE(files.CloseHandle(first));
  EXPECT_EQ(ReadFileBytes(path), "abc");

  const Handle again = files.CreateFileA(path, FILE_ALL_ACCESS, 0, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL);
  files.CloseHandle(again);
  EXPECT_EQ(ReadFileBytes(path), "");
  EXPECT_TRUE(files.DeleteFileA(path));
  EXPECT_FALSE(files.DeleteFileA(path));
}

TEST(Win32DebugLog, LinesReachTheFileInTheAnsiCodePageWithCrLf) {
  Win32Files files;
  Win32AnsiCodePage codePage;
  const std::string path = TempPath("velmora-log-test.rw");
  DebugLogBind(&files, &codePage);
  DebugLogOpen(path);
  DebugLogWrite("RW: first");
  DebugLogWrite("Gr\xC3\xBC\xC3\x9F" "e");  // "Grüße" in UTF-8
  DebugLogClose();
  DebugLogBind(nullptr, nullptr);
  // Windows-1252, the ANSI code page of Wine's default locale here.
  EXPECT_EQ(ReadFileBytes(path), "RW: first\r\nGr\xFC\xDF" "e\r\n");
  files.DeleteFileA(path);
}

TEST(Win32Process, MutexCreatedHereIsFoundByName) {
  Win32Process process;
  const std::string name = "VelmoraAdapterTestMutex";
  EXPECT_EQ(process.OpenMutexA(MUTEX_ALL_ACCESS, false, name), kNullHandle);
  const Handle created = process.CreateMutexA(false, name);
  ASSERT_NE(created, kNullHandle);
  const Handle opened = process.OpenMutexA(MUTEX_ALL_ACCESS, false, name);
  EXPECT_NE(opened, kNullHandle);
  CloseHandle(reinterpret_cast<HANDLE>(opened));
  CloseHandle(reinterpret_cast<HANDLE>(created));
}

TEST(Win32Process, CommandLineAndModulePathNameThisProgram) {
  Win32Process process;
  const std::string module = process.GetModuleFileNameA();
  ASSERT_GT(module.size(), 4u);
  EXPECT_EQ(module.substr(module.size() - 4), ".exe");
  EXPECT_NE(process.GetCommandLineA().find("velmora_wine_tests"), std::string::npos);
}

}  // namespace
}  // namespace velmora::win32
