// The main window's look: the pictures and texts of each language and board variant, the
// outlines cut from the pictures in place, dragging, the about box and the minimise button.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ExpectedTexts.h"
#include "MainFormTestSupport.h"

namespace velmora {
namespace {

using mainformtest::BoardNamed;
using mainformtest::Index;
using mainformtest::kAllButtons;
using mainformtest::kMainWindow;
using mainformtest::MainFormRig;
using mainformtest::RigSetup;
using mainformtest::SentMessage;

constexpr ColorRef kKeyBlue = 0xFF0000;

using expectedtexts::kChineseTexts;
using expectedtexts::kEnglishTexts;

struct LanguageCase {
  std::uint16_t language;
  bool regularOnly;
  const char* background;
  const char* applyPrefix;  // "" for the layout's English pictures, "CHS_" for Chinese
  bool chinese;
};

const LanguageCase kLanguageCases[] = {
    {0x0409, false, "BackgroundImage", "", false},
    {0x0409, true, "NB_BackgroundImage", "", false},
    {0x0404, false, "BackgroundImage", "", false},
    {0x0404, true, "NB_BackgroundImage", "", false},
    {0x0804, false, "CHS_BackgroundImage", "CHS_", true},
    {0x0804, true, "NB_CHS_BackgroundImage", "CHS_", true},
};

RigSetup LanguageSetup(const LanguageCase& c) {
  RigSetup setup;
  if (c.regularOnly) setup.board = BoardNamed("KV7MB-TE");
  setup.language = c.language;
  return setup;
}

// A picture as the skin stores it, read apart from the form.
TPicture Skin(const std::string& name) {
  sim::SimPictures pictures(VELMORA_SKIN_DIR);
  return pictures.LoadBitmap(name);
}

std::string Describe(const LanguageCase& c) {
  return "language " + std::to_string(c.language) + (c.regularOnly ? " regular-only" : "");
}

TEST(MainFormLook, EachLanguageAndVariantShowsItsPicturesAndTexts) {
  for (const LanguageCase& c : kLanguageCases) {
    SCOPED_TRACE(Describe(c));
    MainFormRig rig(LanguageSetup(c));
    TvmMainForm& form = rig.MakeForm();
    ASSERT_EQ(form.RegularOnly, c.regularOnly);
    EXPECT_EQ(rig.locale.queries, 1);
    EXPECT_EQ(rig.view.background, Skin(c.background));
    const std::string prefix = c.applyPrefix;
    TImageEn& apply = rig.view.Button(MainButton::kApply);
    EXPECT_EQ(apply.NormalPicture(), Skin(prefix + "Bt_apply_1"));
    EXPECT_EQ(apply.FocusPicture(), Skin(prefix + "Bt_apply_2"));
    EXPECT_EQ(apply.DownPicture(), Skin(prefix + "Bt_apply_3"));
    EXPECT_EQ(apply.Picture(), Skin(prefix + "Bt_apply_1"));
    EXPECT_EQ(rig.view.Display(MainButton::kApply).shown, Skin(prefix + "Bt_apply_1"));
    EXPECT_EQ(rig.view.nonApplyPicture, Skin(prefix + "Bt_apply_4"));
    EXPECT_EQ(form.Slots, c.chinese ? kChineseTexts : kEnglishTexts);
    EXPECT_EQ(form.TrayIcon().Hint, form.Slots[0]);
    EXPECT_EQ(rig.view.trayRestoreCaption, "Velmora");
    EXPECT_EQ(rig.view.trayExitCaption, c.chinese ? "退出" : "Exit");
    EXPECT_EQ(rig.view.PanelVisible(MainButton::kFast), !c.regularOnly);
  }
}

TEST(MainFormLook, ButtonsWithoutWordsShowTheirNormalPictureAndKeepAllFour) {
  MainFormRig rig;
  rig.MakeForm();
  const std::pair<MainButton, std::string> buttons[] = {{MainButton::kDisable, "Bt_disable_"},
                                                        {MainButton::kFast, "Bt_fast_"},
                                                        {MainButton::kRegular, "Bt_regular_"}};
  for (const auto& [button, name] : buttons) {
    TImageEn& imageEn = rig.view.Button(button);
    EXPECT_EQ(imageEn.NormalPicture(), Skin(name + "1")) << name;
    EXPECT_EQ(imageEn.FocusPicture(), Skin(name + "2")) << name;
    EXPECT_EQ(imageEn.DownPicture(), Skin(name + "3")) << name;
    EXPECT_EQ(imageEn.ActivePicture(), Skin(name + "4")) << name;
    EXPECT_EQ(rig.view.Display(button).shown, Skin(name + "1")) << name;
    EXPECT_EQ(imageEn.Status(), ImageEnNormal);
  }
  EXPECT_EQ(rig.view.Button(MainButton::kClose).Picture(), Skin("Bt_close_1"));
  EXPECT_EQ(rig.view.Button(MainButton::kMinimize).DownPicture(), Skin("Bt_minimize_3"));
  EXPECT_TRUE(rig.view.Button(MainButton::kClose).ActivePicture().Empty());
}

TEST(MainFormLook, MissingChineseEntryLeavesItsSlotEmpty) {
  RigSetup setup;
  setup.language = 0x0804;
  MainFormRig rig(setup);
  rig.resources = sim::SimResources{};  // no string table at all
  TvmMainForm& form = rig.MakeForm();
  EXPECT_EQ(form.Slots, TextSlots{});
  EXPECT_EQ(form.TrayIcon().Hint, "");
  EXPECT_EQ(rig.view.trayExitCaption, "");
}

// ---- Outlines --------------------------------------------------------------------------------

// The region covers exactly the picture's pixels that are not pure blue.
void ExpectOutlineOf(const regiontest::BitmapRegions& regions, WindowHandle window,
                     const TPicture& picture) {
  const std::optional<regiontest::RegionMask> region = regions.WindowRegion(window);
  ASSERT_TRUE(region.has_value()) << window;
  ASSERT_FALSE(picture.Empty());
  int wrong = 0;
  std::size_t kept = 0;
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) {
      const bool shown = picture.Pixel(x, y) != kKeyBlue;
      kept += shown;
      wrong += region->Contains(x, y) != shown;
    }
  }
  EXPECT_EQ(wrong, 0) << window;
  EXPECT_EQ(region->Count(), kept) << window;  // nothing outside the picture
}

TEST(MainFormOutline, WindowAndPanelsAreCutFromThePicturesInPlaceAfterTheLanguage) {
  for (const LanguageCase& c : {kLanguageCases[0], kLanguageCases[5]}) {
    SCOPED_TRACE(Describe(c));
    MainFormRig rig(LanguageSetup(c));
    rig.MakeForm();
    EXPECT_TRUE(rig.regions.IsBorderless(kMainWindow));
    ExpectOutlineOf(rig.regions, kMainWindow, Skin(c.background));
    for (MainButton button : kAllButtons) {
      ExpectOutlineOf(rig.regions, rig.view.PanelWindow(button), rig.view.Button(button).Picture());
    }
    ExpectOutlineOf(rig.regions, rig.view.PanelWindow(MainButton::kApply),
                    Skin(std::string(c.applyPrefix) + "Bt_apply_1"));
    EXPECT_EQ(rig.regions.ShapedWindows().size(), 7u);
    EXPECT_EQ(rig.regions.redraws, std::vector<bool>(7, true));
    EXPECT_EQ(rig.regions.LiveRegions(), 0u);
    EXPECT_TRUE(rig.regions.misuse.empty());
  }
}

TEST(MainFormOutline, LaterPictureChangesDoNotReshapeAButton) {
  MainFormRig rig;
  rig.MakeForm();
  const int calls = rig.regions.setWindowRgnCalls;
  rig.view.Button(MainButton::kFast).SetStatus(ImageEnActive);
  rig.view.Button(MainButton::kDisable).SetStatus(ImageEnDown);
  EXPECT_EQ(rig.regions.setWindowRgnCalls, calls);
}

TEST(MainFormOutline, RegionsRefusedByTheWindowsAreNotLeaked) {
  MainFormRig rig;
  rig.regions.setWindowRgnFails = true;
  rig.MakeForm();
  EXPECT_EQ(rig.regions.setWindowRgnCalls, 7);
  EXPECT_EQ(rig.regions.LiveRegions(), 0u);
  EXPECT_TRUE(rig.regions.misuse.empty());
}

// ---- Mouse on the pictures, about box, minimise ----------------------------------------------

TEST(MainFormMouse, LeftButtonDragsTheWindowByItsCaption) {
  MainFormRig rig;
  TvmMainForm& form = rig.Start();
  form.BackgroundImageMouseDown(TMouseButton::mbLeft);
  EXPECT_EQ(rig.view.events, (std::vector<std::string>{"ReleaseCapture", "SendMessageA"}));
  EXPECT_EQ(rig.view.sent, (std::vector<SentMessage>{{kMainWindow, 0x0112, 0xF012, 0}}));
  EXPECT_TRUE(rig.Boxes().empty());
}

TEST(MainFormMouse, RightButtonShowsTheAboutBoxWithTheVersion) {
  for (std::uint16_t language : {std::uint16_t{0x0409}, std::uint16_t{0x0804}}) {
    RigSetup setup;
    setup.language = language;
    MainFormRig rig(setup);
    TvmMainForm& form = rig.Start();
    form.BackgroundImageMouseDown(TMouseButton::mbRight);
    ASSERT_EQ(rig.Boxes().size(), 1u);
    const sim::SimMessageBox& box = rig.Boxes()[0];
    const std::string title = language == 0x0804 ? "Zelkor科技Velmora" : "Zelkor Velmora";
    EXPECT_EQ(box.owner, 0u);
    EXPECT_EQ(box.text, title + " 1.0");
    EXPECT_EQ(box.caption, title);
    EXPECT_EQ(box.type, 0x1040u);
    EXPECT_TRUE(rig.view.sent.empty());
  }
}

TEST(MainFormMouse, AboutBoxWithoutVersionResourceEndsInTheSpace) {
  MainFormRig rig;
  rig.resources = sim::SimResources{};
  TvmMainForm& form = rig.Start();
  form.BackgroundImageMouseDown(TMouseButton::mbRight);
  ASSERT_EQ(rig.Boxes().size(), 1u);
  EXPECT_EQ(rig.Boxes()[0].text, "Zelkor Velmora ");
}

TEST(MainFormMouse, MiddleButtonDoesNothing) {
  MainFormRig rig;
  TvmMainForm& form = rig.Start();
  form.BackgroundImageMouseDown(TMouseButton::mbMiddle);
  EXPECT_TRUE(rig.view.events.empty());
  EXPECT_TRUE(rig.Boxes().empty());
}

TEST(MainFormMouse, RightClickOnAButtonShowsNoAboutBox) {
  MainFormRig rig;
  rig.Start();
  rig.view.SetPanelVisible(MainButton::kApply, true);
  for (MainButton button : kAllButtons) {
    TImageEn& imageEn = rig.view.Button(button);
    imageEn.MouseDown(TMouseButton::mbRight, ssRight, 2, 2);
    imageEn.MouseUp(TMouseButton::mbRight, 0, 2, 2);
  }
  EXPECT_TRUE(rig.Boxes().empty());
  EXPECT_TRUE(rig.view.sent.empty());
  EXPECT_EQ(rig.view.closes, 0);
}

TEST(MainFormMouse, MinimiseButtonMinimisesToTheTaskbar) {
  MainFormRig rig;
  TvmMainForm& form = rig.Start();
  form.MinimizeImageEnClick();
  EXPECT_EQ(rig.view.sent, (std::vector<SentMessage>{{kMainWindow, 0x0112, 0xF020, 0}}));
  EXPECT_TRUE(rig.view.events == std::vector<std::string>{"SendMessageA"});
  EXPECT_FALSE(form.TrayIcon().Visible());
  EXPECT_TRUE(rig.tray.Calls().empty());
}

}  // namespace
}  // namespace velmora
