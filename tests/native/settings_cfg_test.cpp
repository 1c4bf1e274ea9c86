// The product settings file on the simulated profile functions and file system.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "power/Cfg.h"
#include "sim/SimAnsiCodePage.h"
#include "sim/SimFileSystem.h"
#include "sim/SimProfileFiles.h"
#include "sim/SimRegistry.h"

namespace velmora {
namespace {

constexpr const char* kCfgPath = "C:\\Program Files\\Zelkor\\Cfg.ini";

class CfgTest : public ::testing::Test {
 protected:
  std::unique_ptr<TCfg> Open() { return std::make_unique<TCfg>(profiles, kCfgPath); }
  std::string File() const { return files.Contents(kCfgPath).value_or("<missing>"); }

  sim::SimFileSystem files;
  sim::SimAnsiCodePage codePage;
  sim::SimProfileFiles profiles{files, codePage};
};

TEST_F(CfgTest, MissingFileGivesTheDefaultsAndReleaseCreatesItWithTheModeOnly) {
  auto cfg = Open();
  EXPECT_EQ(cfg->Mode, 0);
  EXPECT_EQ(cfg->IdlePercentage, 10);
  EXPECT_EQ(cfg->IdleCount, 5);
  EXPECT_FALSE(files.Exists(kCfgPath));
  cfg.reset();
  EXPECT_EQ(File(), "[Config]\r\nVelmoraMode=0\r\n");
}

TEST_F(CfgTest, ThresholdsReadAsDecimalOrHexWithDefaultsForLetters) {
  files.SetFile(kCfgPath, "[Config]\r\nVelmoraMode=4\r\nIdlePercentage=0x20\r\nIdleCount=abc\r\n");
  const auto cfg = Open();
  EXPECT_EQ(cfg->Mode, 4);
  EXPECT_EQ(cfg->IdlePercentage, 32);
  EXPECT_EQ(cfg->IdleCount, 5);
}

TEST_F(CfgTest, UpperCaseHexPrefixAndEmptyValues) {
  files.SetFile(kCfgPath, "[Config]\r\nVelmoraMode=\r\nIdlePercentage=0X1e\r\nIdleCount=-3\r\n");
  const auto cfg = Open();
  EXPECT_EQ(cfg->Mode, 0);  // present but empty: the default
  EXPECT_EQ(cfg->IdlePercentage, 30);
  EXPECT_EQ(cfg->IdleCount, -3);
}

TEST_F(CfgTest, SectionAndKeysIgnoreLetterCaseBlanksAndQuotes) {
  files.SetFile(kCfgPath, "[ config ]\r\n  velmoramode = \"3\"  \r\nIDLECOUNT\t=\t7\r\n");
  const auto cfg = Open();
  EXPECT_EQ(cfg->Mode, 3);
  EXPECT_EQ(cfg->IdleCount, 7);
}

TEST_F(CfgTest, SaveModeReachesTheFileAtOnceAndTouchesNothingElse) {
  const std::string before =
      "; written by the installer\r\n[Config]\r\nIdlePercentage=0x20\r\nVelmoraMode=0\r\n"
      "IdleCount=9\r\n\r\n[Other]\r\nVelmoraMode=11\r\n";
  files.SetFile(kCfgPath, before);
  auto cfg = Open();
  cfg->Mode = TCfg::kModeFast;
  cfg->IdlePercentage = 50;  // changed in memory: never written
  cfg->SaveMode();
  EXPECT_EQ(File(),
            "; written by the installer\r\n[Config]\r\nIdlePercentage=0x20\r\nVelmoraMode=3\r\n"
            "IdleCount=9\r\n\r\n[Other]\r\nVelmoraMode=11\r\n");
}

TEST_F(CfgTest, ThresholdKeysNeverAppearWhenTheFileLacksThem) {
  files.SetFile(kCfgPath, "[Config]\r\nVelmoraMode=4\r\n");
  auto cfg = Open();
  cfg->Mode = TCfg::kModeRegular;
  cfg.reset();
  EXPECT_EQ(File(), "[Config]\r\nVelmoraMode=4\r\n");
}

TEST_F(CfgTest, AModeOutsideTheKnownOnesIsWrittenBackUnchangedInDecimal) {
  files.SetFile(kCfgPath, "[Config]\r\nVelmoraMode=0x1F\r\n");
  auto cfg = Open();
  EXPECT_EQ(cfg->Mode, 31);
  cfg.reset();
  EXPECT_EQ(File(), "[Config]\r\nVelmoraMode=31\r\n");

  auto negative = Open();
  negative->Mode = -2;
  negative.reset();
  EXPECT_EQ(File(), "[Config]\r\nVelmoraMode=-2\r\n");
}

TEST_F(CfgTest, AKeyMissingFromTheSectionIsAddedAtItsEnd) {
  files.SetFile(kCfgPath, "[Config]\r\nIdleCount=8\r\n\r\n[Next]\r\nA=1\r\n");
  auto cfg = Open();
  cfg->Mode = TCfg::kModeRegular;
  cfg.reset();
  EXPECT_EQ(File(), "[Config]\r\nIdleCount=8\r\nVelmoraMode=4\r\n\r\n[Next]\r\nA=1\r\n");
}

TEST_F(CfgTest, AUtf16FileStaysUtf16) {
  files.SetFile(kCfgPath, "\xFF\xFE" + sim::Utf8ToUtf16Le("[Config]\r\nVelmoraMode=3\r\n"));
  auto cfg = Open();
  EXPECT_EQ(cfg->Mode, 3);
  cfg->Mode = TCfg::kModeNone;
  cfg.reset();
  EXPECT_EQ(File(), "\xFF\xFE" + sim::Utf8ToUtf16Le("[Config]\r\nVelmoraMode=0\r\n"));
}

TEST_F(CfgTest, AFailedWriteIsIgnored) {
  files.SetFile(kCfgPath, "[Config]\r\nVelmoraMode=4\r\n");
  files.SetFolderReadOnly("C:\\Program Files\\Zelkor");
  auto cfg = Open();
  cfg->Mode = TCfg::kModeFast;
  cfg->SaveMode();
  cfg.reset();
  EXPECT_EQ(File(), "[Config]\r\nVelmoraMode=4\r\n");
  EXPECT_EQ(files.OpenHandleCount(), 0u);
}

TEST_F(CfgTest, AnUnreadableFileGivesTheDefaults) {
  files.SetFile(kCfgPath, "[Config]\r\nVelmoraMode=4\r\nIdleCount=2\r\n");
  files.FailOpen(kCfgPath);
  const auto cfg = Open();
  EXPECT_EQ(cfg->Mode, 0);
  EXPECT_EQ(cfg->IdleCount, 5);
}

}  // namespace
}  // namespace velmora
