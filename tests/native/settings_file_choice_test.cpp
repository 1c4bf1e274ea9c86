// Which settings file a board uses, from [SupportModel] of the hardware configuration.
#include <gtest/gtest.h>

#include <string>

#include "ConfigTestSupport.h"
#include "ports/WinTypes.h"
#include "power/SettingsFile.h"

namespace velmora {
namespace {

constexpr const char* kExeDir = "C:\\Tools\\";

class SettingsFileChoiceTest : public ::testing::Test {
 protected:
  std::string Choose(const std::string& ini, const std::string& board) {
    const auto config = machine.Load(ini);
    return ChooseSettingsFile(*config, board, kExeDir, machine.files);
  }
  configtest::ConfigMachine machine;
};

TEST_F(SettingsFileChoiceTest, AListedBoardWithItsFileUsesThatFile) {
  machine.files.SetFile("C:\\Tools\\H61.ini", "");
  EXPECT_EQ(Choose("[SupportModel]\r\nZV-H61M=H61.ini\r\n", "ZV-H61M"), "C:\\Tools\\H61.ini");
}

TEST_F(SettingsFileChoiceTest, AListedFileThatDoesNotExistFallsBackToCfgIni) {
  EXPECT_EQ(Choose("[SupportModel]\r\nZV-H61M=H61.ini\r\n", "ZV-H61M"), "C:\\Tools\\Cfg.ini");
}

TEST_F(SettingsFileChoiceTest, AnUnlistedBoardOrAnEmptyValueUsesCfgIni) {
  machine.files.SetFile("C:\\Tools\\H61.ini", "");
  EXPECT_EQ(Choose("[SupportModel]\r\nZV-H61M=H61.ini\r\n", "ZV-B75"), "C:\\Tools\\Cfg.ini");
  EXPECT_EQ(Choose("[SupportModel]\r\nZV-B75=\r\n", "ZV-B75"), "C:\\Tools\\Cfg.ini");
  EXPECT_EQ(Choose("", "ZV-H61M"), "C:\\Tools\\Cfg.ini");
}

TEST_F(SettingsFileChoiceTest, TheBoardNameMatchesTheKeyWithoutRegardToCase) {
  machine.files.SetFile("C:\\Tools\\H61.ini", "");
  EXPECT_EQ(Choose("[supportmodel]\r\nzv-h61m=H61.ini\r\n", "ZV-H61M"), "C:\\Tools\\H61.ini");
}

TEST_F(SettingsFileChoiceTest, AFileHeldOpenWithoutSharingStillCountsAsExisting) {
  machine.files.SetFile("C:\\Tools\\H61.ini", "");
  const Handle held = machine.files.CreateFileA("C:\\Tools\\H61.ini", win::kGenericWrite, 0,
                                                win::kOpenExisting, win::kFileAttributeNormal);
  ASSERT_NE(held, kInvalidHandleValue);
  EXPECT_EQ(Choose("[SupportModel]\r\nZV-H61M=H61.ini\r\n", "ZV-H61M"), "C:\\Tools\\H61.ini");
  machine.files.CloseHandle(held);
  EXPECT_EQ(machine.files.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace velmora
