// The window from the keyboard and for screen readers, on the simulated machine.
#include <gtest/gtest.h>

#include "ExpectedTexts.h"
#include "MainFormLifeSupport.h"

namespace velmora {
namespace {

using namespace mainformtest;

// The focus after each Tab (or Shift+Tab) from none, as the buttons shown allow.
std::vector<MainButton> Walk(MainFormRig& rig, bool backwards, int presses) {
  std::vector<MainButton> visited;
  for (int i = 0; i < presses; ++i) {
    EXPECT_TRUE(rig.form->KeyDown(win::kVkTab, backwards, false));
    visited.push_back(rig.view.focused.value_or(MainButton::kClose));
  }
  return visited;
}

TEST(MainFormKeys, TabWalksTheShownButtonsInReadingOrderBothWays) {
  using enum MainButton;
  MainFormRig rig;
  rig.Start();  // no mode chosen yet: Apply is not shown
  EXPECT_EQ(Walk(rig, false, 6),
            (std::vector<MainButton>{kFast, kRegular, kDisable, kMinimize, kClose, kFast}));
  rig.view.focused.reset();
  EXPECT_EQ(Walk(rig, true, 3), (std::vector<MainButton>{kClose, kMinimize, kDisable}));

  RigSetup regularOnly;
  regularOnly.board = BoardNamed("Tessary");
  MainFormRig only(regularOnly);
  only.Start();
  EXPECT_EQ(Walk(only, false, 2), (std::vector<MainButton>{kRegular, kDisable}));
  only.view.focused = kRegular;
  EXPECT_TRUE(only.form->KeyDown(win::kVkUp, false, false));  // no Fast to move to
  EXPECT_EQ(only.view.focused, kRegular);
}

// Space chooses Fast, the arrows go to Regular and back, Tab reaches the Apply that appeared,
// Enter applies: the feature is on exactly as with the mouse. Esc minimises.
TEST(MainFormKeys, AModeIsAppliedWithoutTheMouse) {
  MainFormRig rig;
  InstallSchemeFile(rig);
  TvmMainForm& form = rig.Start();
  form.KeyDown(win::kVkTab, false, false);
  EXPECT_TRUE(form.KeyDown(win::kVkSpace, false, false));
  EXPECT_EQ(form.Mode(), 3);
  EXPECT_TRUE(form.KeyDown(win::kVkDown, false, false));
  EXPECT_EQ(rig.view.focused, MainButton::kRegular);
  EXPECT_TRUE(form.KeyDown(win::kVkRight, false, false));
  EXPECT_EQ(rig.view.focused, MainButton::kFast);
  for (int i = 0; i < 3; ++i) form.KeyDown(win::kVkTab, false, false);
  ASSERT_EQ(rig.view.focused, MainButton::kApply);
  EXPECT_TRUE(form.KeyDown(win::kVkReturn, false, true));  // a held key presses nothing
  EXPECT_FALSE(form.Applied);
  EXPECT_TRUE(form.KeyDown(win::kVkReturn, false, false));
  EXPECT_TRUE(form.Applied);
  EXPECT_EQ(rig.ControlByte(), 0x08);
  EXPECT_FALSE(form.KeyDown('A', false, false));

  rig.view.sent.clear();
  EXPECT_TRUE(form.KeyDown(win::kVkEscape, false, false));
  EXPECT_EQ(rig.view.sent,
            (std::vector<SentMessage>{{kMainWindow, win::kWmSysCommand, win::kScMinimize, 0}}));
}

TEST(MainFormKeys, EachButtonIsNamedInTheUsersLanguage) {
  for (const std::uint16_t language : {sim::kLangEnglishUs, std::uint16_t{0x0804}}) {
    RigSetup setup;
    setup.language = language;
    MainFormRig rig(setup);
    rig.Start();
    const TextSlots& texts =
        language == 0x0804 ? expectedtexts::kChineseTexts : expectedtexts::kEnglishTexts;
    EXPECT_EQ(rig.view.names[Index(MainButton::kFast)], texts[kSlotFastName - 1]);
    EXPECT_EQ(rig.view.names[Index(MainButton::kClose)], texts[kSlotFastName + 4]);
    EXPECT_EQ(rig.view.names[Index(MainButton::kApply)], texts[kSlotFastName + 2]);
  }
}

}  // namespace
}  // namespace velmora
