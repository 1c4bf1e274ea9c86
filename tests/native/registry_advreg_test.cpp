// The product's registry values on the simulated registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "power/AdvReg.h"
#include "sim/SimRegistry.h"

namespace velmora {
namespace {

constexpr RegKey kHkcu = reg::kHkeyCurrentUser;
constexpr RegKey kHklm = reg::kHkeyLocalMachine;
constexpr const char* kSpacedPath = "C:\\Program Files\\Zelkor Velmora\\Velmora.exe";

class AdvRegTest : public ::testing::Test {
 protected:
  sim::SimRegValue Heuristics(std::vector<std::uint8_t> bytes,
                              std::uint32_t type = reg::kRegBinary) {
    return {type, std::move(bytes)};
  }
  std::vector<std::uint8_t> HeuristicsAt(int controlSet) {
    const auto value = registry.Value(kHklm, PowerSettingsKey(controlSet), kHeuristicsValue);
    return value ? value->data : std::vector<std::uint8_t>{};
  }
  std::size_t HeuristicsWrites() const {
    std::size_t writes = 0;
    for (const auto& call : registry.Calls()) {
      writes += call.function == "RegSetValueExW" && call.valueName == kHeuristicsValue;
    }
    return writes;
  }

  sim::SimRegistry registry;
  TAdvReg advReg{registry, kSpacedPath};
};

TEST_F(AdvRegTest, APathWithASpaceIsStoredInDoubleQuotesAsAString) {
  advReg.AddRunValue(kAutoStartName);
  const auto value = registry.Value(kHkcu, kRunKey, "zZelkorVelmora");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, reg::kRegSz);
  const std::string quoted = "\"C:\\Program Files\\Zelkor Velmora\\Velmora.exe\"";
  EXPECT_EQ(registry.String(kHkcu, kRunKey, "zZelkorVelmora"), quoted);
  EXPECT_EQ(value->data.size(), (quoted.size() + 1) * 2);  // UTF-16 with its terminating null
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST_F(AdvRegTest, APathWithoutSpacesIsStoredUnchangedAndNonAsciiSurvives) {
  TAdvReg plain(registry, "C:\\J\xC3\xBCrgen\\Velmora.exe");
  plain.AddRunValue(kAutoStartName);
  EXPECT_EQ(registry.String(kHkcu, kRunKey, kAutoStartName), "C:\\J\xC3\xBCrgen\\Velmora.exe");
}

TEST_F(AdvRegTest, AddingCreatesTheRunKeyWhenItIsMissing) {
  ASSERT_FALSE(registry.KeyExists(kHkcu, kRunKey));
  advReg.AddRunValue(kAutoStartName);
  EXPECT_TRUE(registry.KeyExists(kHkcu, kRunKey));
}

TEST_F(AdvRegTest, RemovingDeletesOnlyThatValueAndNeverCreatesTheKey) {
  registry.SetString(kHkcu, kRunKey, "zZelkorVelmora", "x");
  registry.SetString(kHkcu, kRunKey, "Other", "y");
  advReg.RemoveRunValue(kAutoStartName);
  EXPECT_EQ(registry.ValueNames(kHkcu, kRunKey), std::vector<std::string>{"Other"});
  advReg.RemoveRunValue(kAutoStartName);  // already gone: no error
  EXPECT_EQ(registry.OpenHandleCount(), 0u);

  sim::SimRegistry empty;
  TAdvReg fresh(empty, kSpacedPath);
  fresh.RemoveRunValue(kAutoStartName);
  EXPECT_FALSE(empty.KeyExists(kHkcu, kRunKey));
}

TEST_F(AdvRegTest, ReadingAMissingAutoRunGivesZeroAndCreatesTheProductKey) {
  EXPECT_EQ(advReg.ReadUserDword(kVelmoraUserKey, kAutoRunValue), 0);
  EXPECT_TRUE(registry.KeyExists(kHkcu, "Software\\Zelkor\\Velmora"));
  EXPECT_TRUE(registry.ValueNames(kHkcu, kVelmoraUserKey).empty());
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST_F(AdvRegTest, DwordsRoundTripAsFourLittleEndianBytes) {
  advReg.WriteUserDword(kVelmoraUserKey, kAutoRunValue, 1);
  advReg.WriteUserDword(kVelmoraUserKey, kResumePasswordLogonValue, -2);
  const auto value = registry.Value(kHkcu, kVelmoraUserKey, "Resume Password Logon");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, reg::kRegDword);
  EXPECT_EQ(value->data, (std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(advReg.ReadUserDword(kVelmoraUserKey, "autorun"), 1);
  EXPECT_EQ(advReg.ReadUserDword(kVelmoraUserKey, kResumePasswordLogonValue), -2);
  registry.SetDword(kHkcu, kVelmoraUserKey, kAutoRunValue, 0x12345678);
  EXPECT_EQ(advReg.ReadUserDword(kVelmoraUserKey, kAutoRunValue), 0x12345678);
}

TEST_F(AdvRegTest, AValueThatIsNotADwordReadsAsZero) {
  registry.SetString(kHkcu, kVelmoraUserKey, kAutoRunValue, "1");
  EXPECT_EQ(advReg.ReadUserDword(kVelmoraUserKey, kAutoRunValue), 0);
  registry.SetValue(kHkcu, kVelmoraUserKey, kAutoRunValue, {reg::kRegBinary, {1, 0}});
  EXPECT_EQ(advReg.ReadUserDword(kVelmoraUserKey, kAutoRunValue), 0);
  registry.SetValue(kHkcu, kVelmoraUserKey, kAutoRunValue, {reg::kRegDword, {1, 0, 0, 0, 0}});
  EXPECT_EQ(advReg.ReadUserDword(kVelmoraUserKey, kAutoRunValue), 0);
}

TEST_F(AdvRegTest, AKeyThatCannotBeOpenedMeansNothingReadOrWritten) {
  registry.SetDword(kHkcu, kVelmoraUserKey, kAutoRunValue, 1);
  registry.FailKey(kHkcu, kVelmoraUserKey, reg::kErrorAccessDenied);
  EXPECT_EQ(advReg.ReadUserDword(kVelmoraUserKey, kAutoRunValue), 0);
  advReg.WriteUserDword(kVelmoraUserKey, kAutoRunValue, 0);
  EXPECT_EQ(registry.Dword(kHkcu, kVelmoraUserKey, kAutoRunValue), 1u);
  registry.FailKey(kHkcu, kRunKey, reg::kErrorAccessDenied);
  advReg.AddRunValue(kAutoStartName);
  EXPECT_FALSE(registry.Value(kHkcu, kRunKey, kAutoStartName));
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST_F(AdvRegTest, HibernationSetsByteSixInEveryControlSetKeepingLengthAndOtherBytes) {
  for (int set = 1; set <= 5; ++set) {
    registry.SetValue(kHklm, PowerSettingsKey(set), "Heuristics",
                      Heuristics({5, 0, 0, 0, 0, 0, 0, 0, 0x3F, 0x11}));
  }
  advReg.EnableHibernation();
  for (int set = 1; set <= 5; ++set) {
    EXPECT_EQ(HeuristicsAt(set), (std::vector<std::uint8_t>{5, 0, 0, 0, 0, 0, 1, 0, 0x3F, 0x11}))
        << "ControlSet00" << set;
    EXPECT_EQ(registry.Value(kHklm, PowerSettingsKey(set), kHeuristicsValue)->type,
              reg::kRegBinary);
  }
  EXPECT_FALSE(registry.KeyExists(kHkcu, PowerSettingsKey(1)));
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST_F(AdvRegTest, ControlSetsAreVisitedInOrderAndMissingOnesAreNotCreated) {
  registry.SetValue(kHklm, PowerSettingsKey(2), "Heuristics",
                    Heuristics(std::vector<std::uint8_t>(7)));
  advReg.EnableHibernation();
  std::vector<std::string> opened;
  for (const auto& call : registry.Calls()) {
    if (call.function == "RegOpenKeyExW") opened.push_back(call.key);
    EXPECT_NE(call.function, "RegCreateKeyExW");
  }
  ASSERT_EQ(opened.size(), 5u);
  for (int set = 1; set <= 5; ++set) {
    EXPECT_EQ(opened[set - 1], "HKLM\\SYSTEM\\CONTROLSET00" + std::to_string(set) +
                                   "\\CONTROL\\SESSION MANAGER\\POWER");
  }
  EXPECT_FALSE(registry.KeyExists(kHklm, PowerSettingsKey(1)));
  EXPECT_EQ(HeuristicsAt(2), (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 1}));
}

TEST_F(AdvRegTest, AByteAlreadySetIsNotRewritten) {
  registry.SetValue(kHklm, PowerSettingsKey(1), "Heuristics", Heuristics({9, 9, 9, 9, 9, 9, 1}));
  advReg.SetHeuristicsFlag(PowerSettingsKey(1), 1);
  EXPECT_EQ(HeuristicsWrites(), 0u);
  advReg.SetHeuristicsFlag(PowerSettingsKey(1), 0);
  EXPECT_EQ(HeuristicsAt(1), (std::vector<std::uint8_t>{9, 9, 9, 9, 9, 9, 0}));
}

TEST_F(AdvRegTest, ValuesThatCannotHoldTheByteAreLeftAlone) {
  registry.SetValue(kHklm, PowerSettingsKey(1), "Heuristics", Heuristics({1, 2, 3, 4, 5, 6}));
  registry.SetValue(kHklm, PowerSettingsKey(2), "Heuristics",
                    Heuristics(std::vector<std::uint8_t>(101)));
  registry.SetValue(kHklm, PowerSettingsKey(3), "Heuristics",
                    Heuristics({0, 0, 0, 0, 0, 0, 0, 0}, reg::kRegDword));
  registry.CreateKey(kHklm, PowerSettingsKey(4));  // the key without the value
  registry.SetValue(kHklm, PowerSettingsKey(5), "Heuristics",
                    Heuristics(std::vector<std::uint8_t>(100)));
  advReg.EnableHibernation();
  EXPECT_EQ(HeuristicsWrites(), 1u);
  EXPECT_EQ(HeuristicsAt(1), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(HeuristicsAt(2), std::vector<std::uint8_t>(101));
  EXPECT_EQ(registry.Value(kHklm, PowerSettingsKey(3), "Heuristics")->type, reg::kRegDword);
  EXPECT_FALSE(registry.Value(kHklm, PowerSettingsKey(4), "Heuristics"));
  std::vector<std::uint8_t> hundred(100);
  hundred[6] = 1;
  EXPECT_EQ(HeuristicsAt(5), hundred);
}

TEST_F(AdvRegTest, AFailedReadOfHeuristicsWritesNothing) {
  registry.SetValue(kHklm, PowerSettingsKey(1), "Heuristics",
                    Heuristics(std::vector<std::uint8_t>(8)));
  registry.FailCalls("RegQueryValueExW", reg::kErrorAccessDenied);
  advReg.EnableHibernation();
  EXPECT_EQ(HeuristicsWrites(), 0u);
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace velmora
