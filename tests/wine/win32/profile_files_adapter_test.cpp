// The settings file through the profile-file adapter against Wine's profile functions.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "TempFiles.h"
#include "win32/Win32Files.h"
#include "win32/Win32ProfileFiles.h"
#include "power/Cfg.h"

namespace velmora::win32 {
namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
  Win32Files files;
  const Handle file =
      files.CreateFileA(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  std::uint32_t written = 0;
  files.WriteFile(file, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &written);
  files.CloseHandle(file);
}

std::string Utf16(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

TEST(Win32ProfileFiles, AMissingSettingsFileGivesDefaultsAndIsCreatedInAnsi) {
  Win32ProfileFiles profiles;
  const std::string path = TempPath("velmora-cfg-new.ini");
  DeleteFileA(path.c_str());
  {
    TCfg cfg(profiles, path);
    EXPECT_EQ(cfg.Mode, 0);
    EXPECT_EQ(cfg.IdlePercentage, 10);
    EXPECT_EQ(cfg.IdleCount, 5);
    cfg.Mode = TCfg::kModeRegular;
  }
  EXPECT_EQ(ReadFileBytes(path), "[Config]\r\nVelmoraMode=4\r\n");
  // Text outside ASCII lands in the ANSI code page (1252 here).
  EXPECT_TRUE(profiles.WritePrivateProfileStringW("Config", "Note",
                                                  "Gr\xC3\xBC\xC3\x9F"
                                                  "e",
                                                  path));
  EXPECT_NE(ReadFileBytes(path).find("Note=Gr\xFC\xDF"
                                 "e\r\n"),
            std::string::npos);
  EXPECT_EQ(profiles.GetPrivateProfileStringW("CONFIG", "note", "", 2048, path),
            "Gr\xC3\xBC\xC3\x9F"
            "e");
  DeleteFileA(path.c_str());
}

TEST(Win32ProfileFiles, ThresholdsParseAndOnlyTheModeIsRewritten) {
  Win32ProfileFiles profiles;
  const std::string path = TempPath("velmora-cfg-ansi.ini");
  WriteBytes(path, "[config]\r\nvelmoramode = \"3\"\r\nIdlePercentage=0x20\r\nIdleCount=abc\r\n");
  {
    TCfg cfg(profiles, path);
    EXPECT_EQ(cfg.Mode, 3);
    EXPECT_EQ(cfg.IdlePercentage, 32);
    EXPECT_EQ(cfg.IdleCount, 5);
    cfg.Mode = 7;
    cfg.IdleCount = 9;
  }
  const std::string after = ReadFileBytes(path);
  EXPECT_NE(after.find("IdlePercentage=0x20\r\nIdleCount=abc\r\n"), std::string::npos) << after;
  EXPECT_EQ(TCfg(profiles, path).Mode, 7);
  DeleteFileA(path.c_str());
}

TEST(Win32ProfileFiles, AUtf16FileStaysUtf16) {
  Win32ProfileFiles profiles;
  const std::string path = TempPath("velmora-cfg-utf16.ini");
  WriteBytes(path, "\xFF\xFE" + Utf16(L"[Config]\r\nVelmoraMode=4\r\nIdleCount=0X10\r\n"));
  {
    TCfg cfg(profiles, path);
    EXPECT_EQ(cfg.Mode, 4);
    EXPECT_EQ(cfg.IdleCount, 16);
    cfg.Mode = TCfg::kModeFast;
    cfg.SaveMode();
    const std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_NE(bytes.find(Utf16(L"VelmoraMode=3")), std::string::npos);
  }
  DeleteFileA(path.c_str());
}

}  // namespace
}  // namespace velmora::win32
