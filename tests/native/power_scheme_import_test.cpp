// Activating the product scheme on Vista/7: find it by its exact friendly name, else import the
// exported scheme beside the executable; a found scheme that will not activate is replaced.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include "PowerTestSupport.h"

namespace velmora {
namespace {

using testing::PowerManOnSim;

const std::u16string kFile = u"C:\\Program Files\\Zelkor\\Velmora\\ZlkVelmora.pow";
const Guid kFirst = sim::ParseGuid("{0a0a0a0a-1111-4111-8111-000000000001}");
const Guid kSecond = sim::ParseGuid("{0a0a0a0a-1111-4111-8111-000000000002}");

class SchemeImport : public ::testing::Test {
 protected:
  SchemeImport() { sim.System().schemeFiles[kFile] = {kProductSchemeName, true}; }

  void AddScheme(const Guid& guid, std::u16string name, bool refuses = false) {
    sim.System().schemes.push_back({guid, std::move(name), refuses, u"", {}});
  }
  bool Activate() { return sim.Power().ActivateImportedScheme(kProductSchemeName, kFile); }
  bool HasScheme(const Guid& guid) {
    const auto& schemes = sim.System().schemes;
    return std::any_of(schemes.begin(), schemes.end(),
                       [&](const sim::SimPowerScheme& s) { return s.guid == guid; });
  }
  Guid Active() { return sim.System().activeScheme.value_or(Guid{}); }

  PowerManOnSim sim;
};

TEST_F(SchemeImport, AnInstalledSchemeIsActivatedWithoutImporting) {
  AddScheme(kFirst, kProductSchemeName);
  EXPECT_TRUE(Activate());
  EXPECT_EQ(Active(), kFirst);
  EXPECT_EQ(sim.Power().SchemeGuid, kFirst);
  EXPECT_TRUE(sim.System().importedFiles.empty());
}

TEST_F(SchemeImport, WithoutTheSchemeTheFileIsImportedActivatedAndItsGuidFreed) {
  EXPECT_TRUE(Activate());
  ASSERT_EQ(sim.System().importedFiles, std::vector<std::u16string>{kFile});
  const sim::SimPowerScheme& imported = sim.System().schemes.back();
  EXPECT_EQ(imported.friendlyName, kProductSchemeName);
  EXPECT_EQ(Active(), imported.guid);
  EXPECT_EQ(sim.Power().SchemeGuid, imported.guid);
  EXPECT_EQ(sim.library.LocalFreeCalls(), 1);
  EXPECT_EQ(sim.library.OutstandingAllocations(), 0u);
  EXPECT_EQ(sim.library.BadLocalFrees(), 0);
}

TEST_F(SchemeImport, TheSecondApplyFindsTheImportedSchemeInsteadOfImportingAgain) {
  ASSERT_TRUE(Activate());
  sim.System().activeScheme = sim.System().schemes[0].guid;
  EXPECT_TRUE(Activate());
  EXPECT_EQ(sim.System().importedFiles.size(), 1u);
  EXPECT_EQ(Active(), sim.System().schemes.back().guid);
}

TEST_F(SchemeImport, OnlyTheFirstSchemeWithTheNameIsActivated) {
  AddScheme(kFirst, kProductSchemeName);
  AddScheme(kSecond, kProductSchemeName);
  EXPECT_TRUE(Activate());
  EXPECT_EQ(Active(), kFirst);
}

TEST_F(SchemeImport, AFirstMatchThatWillNotActivateIsDeletedAndReplacedByTheFile) {
  AddScheme(kFirst, kProductSchemeName, /*refuses=*/true);
  AddScheme(kSecond, kProductSchemeName);
  EXPECT_TRUE(Activate());
  EXPECT_FALSE(HasScheme(kFirst));
  // The enumeration stopped at the first match: the second is neither read nor touched.
  EXPECT_TRUE(HasScheme(kSecond));
  EXPECT_EQ(sim.library.CallCount("PowerReadFriendlyName"), 4);
  EXPECT_EQ(sim.System().importedFiles.size(), 1u);
  EXPECT_EQ(Active(), sim.System().schemes.back().guid);
  EXPECT_NE(Active(), kSecond);
}

TEST_F(SchemeImport, AFailedDeleteDoesNotStopTheReimport) {
  AddScheme(kFirst, kProductSchemeName, /*refuses=*/true);
  sim.library.Fail("PowerDeleteScheme", win::kErrorAccessDenied);
  EXPECT_TRUE(Activate());
  EXPECT_TRUE(HasScheme(kFirst));
  EXPECT_EQ(sim.library.CallCount("PowerDeleteScheme"), 1);
  EXPECT_EQ(Active(), sim.System().schemes.back().guid);
}

TEST_F(SchemeImport, NamesThatOnlyResembleTheProductNameDoNotMatch) {
  AddScheme(sim::ParseGuid("{00000000-0000-4000-8000-0000000000a1}"),
            u"Zelkor Velmora Power Management");
  AddScheme(sim::ParseGuid("{00000000-0000-4000-8000-0000000000a2}"), u"zelkor velmora");
  AddScheme(sim::ParseGuid("{00000000-0000-4000-8000-0000000000a3}"), u"ZELKOR VELMORA");
  AddScheme(sim::ParseGuid("{00000000-0000-4000-8000-0000000000a4}"), u"Zelkor Velmor");
  AddScheme(sim::ParseGuid("{00000000-0000-4000-8000-0000000000a5}"), u"Zelkor Velmora ");
  EXPECT_TRUE(Activate());
  EXPECT_EQ(sim.System().importedFiles.size(), 1u);
  EXPECT_EQ(sim.System().schemes.size(), 9u);
}

TEST_F(SchemeImport, TheNameBufferIsFullSizeForEveryScheme) {
  // "High performance" answers after a short name: a size left at the short name's length
  // would make the longer names fail with ERROR_MORE_DATA.
  sim.System().schemes[0].friendlyName = u"Eco";
  AddScheme(kFirst, kProductSchemeName);
  EXPECT_TRUE(Activate());
  EXPECT_EQ(Active(), kFirst);
  EXPECT_TRUE(sim.System().importedFiles.empty());
}

TEST_F(SchemeImport, AnUnreadableNameIsNoMatchAndTheScanGoesOn) {
  AddScheme(kFirst, kProductSchemeName);
  AddScheme(kSecond, kProductSchemeName);
  sim.library.FailCall("PowerReadFriendlyName", 4, win::kErrorAccessDenied);
  EXPECT_TRUE(Activate());
  EXPECT_EQ(Active(), kSecond);
  EXPECT_TRUE(HasScheme(kFirst));
}

TEST_F(SchemeImport, ANameTooLongForTheBufferIsNoMatch) {
  AddScheme(kFirst, std::u16string(kProductSchemeName) + std::u16string(300, u'x'));
  EXPECT_TRUE(Activate());
  EXPECT_EQ(sim.System().importedFiles.size(), 1u);
  EXPECT_NE(Active(), kFirst);
}

TEST_F(SchemeImport, AMissingOrBrokenSchemeFileFailsAndLeavesTheActiveSchemeAlone) {
  const Guid before = Active();
  sim.System().schemeFiles.clear();
  EXPECT_FALSE(Activate());
  sim.System().schemeFiles[kFile] = {kProductSchemeName, false};
  EXPECT_FALSE(Activate());
  EXPECT_EQ(Active(), before);
  EXPECT_EQ(sim.library.CallCount("PowerSetActiveScheme"), 0);
  EXPECT_EQ(sim.library.OutstandingAllocations(), 0u);
}

std::vector<std::uint8_t> FileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The file the build installs beside the program, read with Windows' rules for exported schemes.
TEST_F(SchemeImport, TheBuiltSchemeFileImportsWithItsNameAndSettings) {
  const std::vector<std::uint8_t> built = FileBytes(VELMORA_POWER_SCHEME_FILE);
  ASSERT_GT(built.size(), 4096u) << VELMORA_POWER_SCHEME_FILE;
  sim.System().schemeFiles[kFile] = {u"", true, built};
  EXPECT_TRUE(Activate());
  const sim::SimPowerScheme& imported = sim.System().schemes.back();
  EXPECT_EQ(imported.importedFrom, kFile);
  EXPECT_EQ(imported.friendlyName, kProductSchemeName);
  EXPECT_EQ(Active(), imported.guid);
  const sim::SimSchemeSettings expected = {
      {"245d8541-3943-4422-b025-13a784f679b7", {2, 2}},  // personality: Balanced
      {"238c9fa8-0aad-41ed-83f4-97be242c8f20\\29f6c1db-86da-48c5-9fdb-f2b67b1f44da", {1800, 900}},
      {"238c9fa8-0aad-41ed-83f4-97be242c8f20\\94ac6d29-73ce-41a6-809f-6363ba21b47e", {0, 0}},
      {"238c9fa8-0aad-41ed-83f4-97be242c8f20\\9d7815a6-7ee4-497e-8888-515a05f02364", {0, 0}},
      {"4f971e89-eebd-4455-a8de-9e59040e7347\\5ca83367-6e45-459f-a27b-476b1d01c936", {1, 1}},
      {"4f971e89-eebd-4455-a8de-9e59040e7347\\7648efa3-dd9c-4e3e-b566-50f929386280", {3, 3}},
      {"4f971e89-eebd-4455-a8de-9e59040e7347\\96996bc0-ad50-47ec-923b-6f41874dd9eb", {1, 1}},
      {"7516b95f-f776-4464-8c53-06167f40cc99\\3c0bc021-c8a8-4e07-a973-6b14cbcb2b7e", {600, 300}},
  };
  EXPECT_EQ(imported.settings, expected);
}

TEST_F(SchemeImport, AFileNotLaidOutAsWindowsExportsIsNotImported) {
  const std::vector<std::uint8_t> built = FileBytes(VELMORA_POWER_SCHEME_FILE);
  std::vector<std::uint8_t> cut(built.begin(), built.begin() + built.size() / 2 + 8);
  std::vector<std::uint8_t> rootless = built;
  rootless[0x24] = rootless[0x25] = rootless[0x26] = rootless[0x27] = 0xFF;
  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
  } files[] = {
      {"scheme below the root, braced GUIDs", FileBytes(VELMORA_OLD_LAYOUT_SCHEME)},
      {"cut short", cut},
      {"no root cell", rootless},
  };
  for (const auto& file : files) {
    ASSERT_GT(file.bytes.size(), 4096u) << file.what;
    const std::size_t before = sim.System().schemes.size();
    sim.System().schemeFiles[kFile] = {kProductSchemeName, true, file.bytes};
    EXPECT_FALSE(Activate()) << file.what;
    EXPECT_EQ(sim.System().schemes.size(), before) << file.what;
  }
}

TEST_F(SchemeImport, AnImportedSchemeThatWillNotActivateFailsButItsGuidIsStillFreed) {
  sim.library.Fail("PowerSetActiveScheme", win::kErrorAccessDenied);
  EXPECT_FALSE(Activate());
  EXPECT_EQ(sim.library.OutstandingAllocations(), 0u);
  EXPECT_EQ(sim.Power().SchemeGuid, sim.System().schemes.back().guid);
}

TEST_F(SchemeImport, WithoutTheEnumeratorNothingIsCalledAtAll) {
  sim.System().missingExports = {"PowerEnumerate"};
  EXPECT_FALSE(Activate());
  EXPECT_TRUE(sim.library.Calls().empty());
}

TEST_F(SchemeImport, WineLikePowrProfFailsWithoutCallingTheMissingExports) {
  // Wine: PowerEnumerate answers ERROR_CALL_NOT_IMPLEMENTED, no import or delete export.
  sim.System().missingExports = {"PowerImportPowerScheme", "PowerDeleteScheme"};
  sim.library.Fail("PowerEnumerate", win::kErrorCallNotImplemented);
  EXPECT_FALSE(Activate());
  EXPECT_EQ(sim.library.Calls(), std::vector<std::string>{"PowerEnumerate"});
  EXPECT_EQ(sim.library.MisroutedCalls(), 0);
}

TEST(PowerSchemeFilePath, IsTheExecutableFolderFollowedByTheFileNameInUtf16) {
  EXPECT_EQ(PowerSchemeFilePath("C:\\Program Files\\Zelkor\\"),
            u"C:\\Program Files\\Zelkor\\ZlkVelmora.pow");
  // "C:\工具\" in UTF-8, and a character outside the basic plane (a surrogate pair).
  EXPECT_EQ(PowerSchemeFilePath("C:\\\xE5\xB7\xA5\xE5\x85\xB7\\"), u"C:\\工具\\ZlkVelmora.pow");
  EXPECT_EQ(PowerSchemeFilePath("D:\\\xF0\x9F\x94\x8B\\"), u"D:\\\U0001F50B\\ZlkVelmora.pow");
}

TEST(FriendlyNameFromBuffer, StopsAtTheTerminatorOrTheEndOfTheReturnedBytes) {
  const std::uint8_t named[] = {'Z', 0, 'V', 0, 0, 0, 'x', 0};
  EXPECT_EQ(FriendlyNameFromBuffer(named, sizeof(named)), u"ZV");
  const std::uint8_t unterminated[] = {'A', 0, 'B', 0, 'C'};
  EXPECT_EQ(FriendlyNameFromBuffer(unterminated, sizeof(unterminated)), u"AB");
  const std::uint8_t wide[] = {0x3A, 0x75};  // U+753A, little-endian
  EXPECT_EQ(FriendlyNameFromBuffer(wide, 2), u"\u753A");
  EXPECT_EQ(FriendlyNameFromBuffer(named, 0), u"");
}

}  // namespace
}  // namespace velmora
