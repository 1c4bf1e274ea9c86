// VelmoraDemo.exe under Wine: the real program's window on the X screen, checked pixel by pixel
// against the skin (place, outline, language), and its about box.
// With VELMORA_SCREENSHOT_DIR set, the two language tests leave window-english.png and
// window-chinese.png there (tools/screenshots).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "DemoSession.h"
#include "WineHost.h"

namespace velmora::wine_test {
namespace {

namespace fs = std::filesystem;

// Where the two languages' backgrounds differ (their texts), the screen shows `shown`.
Agreement LanguageShown(const RgbImage& screen, const RgbImage& shown, const RgbImage& other) {
  return CompareBackground(
      screen, shown,
      [&](int x, int y) {
        return !(shown.At(x, y) == other.At(x, y)) && !(shown.At(x, y) == kSkinBlue) &&
               !(other.At(x, y) == kSkinBlue);
      },
      [&](int x, int y) { return shown.At(x, y); });
}

// The key-blue pixels are cut out of the window: the screen shows what was there before.
Agreement CutAway(const RgbImage& screen, const RgbImage& before, const RgbImage& skin) {
  return CompareBackground(
      screen, skin, [&](int x, int y) { return skin.At(x, y) == kSkinBlue; },
      [&](int x, int y) { return before.At(kWindowLeft + x, kWindowTop + y); });
}

// The one-pixel frame just outside the background picture is not the window's.
Agreement FrameOutside(const RgbImage& screen, const RgbImage& before) {
  Agreement agreement;
  auto check = [&](int x, int y) {
    ++agreement.compared;
    if (screen.At(x, y) == before.At(x, y)) ++agreement.equal;
  };
  for (int x = kWindowLeft - 1; x <= kWindowLeft + kSkinWidth; ++x) {
    check(x, kWindowTop - 1);
    check(x, kWindowTop + kSkinHeight);
  }
  for (int y = kWindowTop; y < kWindowTop + kSkinHeight; ++y) {
    check(kWindowLeft - 1, y);
    check(kWindowLeft + kSkinWidth, y);
  }
  return agreement;
}

// A picture drawn as it is at `place` (its key-blue pixels not compared).
Agreement PictureShown(const RgbImage& screen, const RgbImage& picture, const LayoutRect& place) {
  Agreement agreement;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      if (picture.At(x, y) == kSkinBlue) continue;
      ++agreement.compared;
      const Rgb shown = screen.At(kWindowLeft + place.left + x, kWindowTop + place.top + y);
      if (shown == picture.At(x, y)) ++agreement.equal;
    }
  }
  return agreement;
}

class DemoWindowTest : public DemoSession {
 protected:
  // At the layout's place, borderless (the client area is the whole window) with the layout's
  // client size; what shows of it is the picture's outline (the pixel checks).
  void CheckWindowRectangle() {
    const ProcessResult rect = Probe({"window-rect", kMainClass, "*"});
    int left = 0, top = 0, width = 0, height = 0, clientWidth = 0, clientHeight = 0;
    ASSERT_EQ(std::sscanf(rect.out.c_str(), "left=%d top=%d width=%d height=%d client=%dx%d", &left,
                          &top, &width, &height, &clientWidth, &clientHeight),
              6)
        << rect.Describe();
    EXPECT_EQ(left, kWindowLeft);
    EXPECT_EQ(top, kWindowTop);
    EXPECT_EQ(clientWidth, width) << "the window still has a frame";
    EXPECT_EQ(clientHeight, height) << "the window still has a caption or frame";
    EXPECT_EQ(clientWidth, 502);
    EXPECT_EQ(clientHeight, 401);
  }

  // The screen shows the texts of `shown`'s language (where the two backgrounds differ) and
  // that language's inactive Apply picture.
  void CheckLanguage(const RgbImage& screen, const RgbImage& shown, const RgbImage& other,
                     const std::string& inactiveApply) {
    const Agreement texts = LanguageShown(screen, shown, other);
    EXPECT_GT(texts.compared, 500);
    EXPECT_GE(texts.Share(), 0.995) << texts << " (texts)";
    const Agreement apply = PictureShown(screen, Skin(inactiveApply), kNonApplyImage);
    EXPECT_GE(apply.Share(), 0.995) << apply << " (" << inactiveApply << ")";
  }

  void SaveForDocs(const std::string& fileName) {
    const char* folder = std::getenv("VELMORA_SCREENSHOT_DIR");
    if (folder == nullptr || *folder == '\0') return;
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    EXPECT_TRUE(SaveScreenPart(WineHost::Get().Display(), kWindowLeft, kWindowTop, kSkinWidth,
                               kSkinHeight, fs::path(folder) / fileName));
  }
};

TEST_F(DemoWindowTest, EnglishWindowShowsItsSkinAtTheLayoutPlaceWithCutCorners) {
  const RgbImage english = Skin("BackgroundImage");
  const RgbImage chinese = Skin("CHS_BackgroundImage");
  const RgbImage before = Screen();
  const RgbImage screen = StartAndShoot(english);
  ASSERT_EQ(screen.width, before.width);
  CheckWindowRectangle();

  const Agreement skin = SkinShown(screen, english);
  EXPECT_GE(skin.Share(), 0.995) << skin;
  EXPECT_GT(skin.compared, 150000);
  const Agreement cut = CutAway(screen, before, english);
  EXPECT_GT(cut.compared, 0) << "the background picture has no key-blue outline to cut";
  EXPECT_GE(cut.Share(), 0.99) << cut << " (key blue must show the screen behind the window)";
  const Agreement frame = FrameOutside(screen, before);
  EXPECT_GE(frame.Share(), 0.99) << frame << " (the window reaches past its picture)";
  CheckLanguage(screen, english, chinese, "Bt_apply_4");
  SaveForDocs("window-english.png");
}

TEST_F(DemoWindowTest, ChineseUserSeesTheChineseBackgroundAndAboutBox) {
  SetEnvironment("LC_ALL", "zh_CN.UTF-8");
  const RgbImage english = Skin("BackgroundImage");
  const RgbImage chinese = Skin("CHS_BackgroundImage");
  const RgbImage screen = StartAndShoot(chinese);
  CheckWindowRectangle();

  CheckLanguage(screen, chinese, english, "CHS_Bt_apply_4");
  SaveForDocs("window-chinese.png");

  ASSERT_TRUE(Click(120, 150, 3));
  const ProcessResult about = Probe({"box-text", "*", "10000"});
  EXPECT_NE(about.out.find(" text=Zelkor科技Velmora 1.0\n"), std::string::npos) << about.Describe();
  SaveBoxForDocs("about-chinese.png");
  EXPECT_TRUE(CloseBox("*"));
}

TEST_F(DemoWindowTest, RightClickOnTheBackgroundShowsTheAboutBoxButNotOnAButton) {
  StartAndShoot(Skin("BackgroundImage"));
  ASSERT_TRUE(Click(120, 150, 3));
  const ProcessResult about = Probe({"box-text", kBoxCaption, "10000"});
  EXPECT_NE(about.out.find(" text=Zelkor Velmora 1.0\n"), std::string::npos) << about.Describe();
  ASSERT_TRUE(CloseBox(kBoxCaption));

  // The inactive Apply picture answers like the background; the minimise button does not.
  ASSERT_TRUE(Click(kNonApplyImage.left + 10, kNonApplyImage.top + 10, 3));
  EXPECT_EQ(Probe({"box-text", kBoxCaption, "10000"}).exitCode, 0);
  ASSERT_TRUE(CloseBox(kBoxCaption));
  ASSERT_TRUE(Click(kMinimizeButton.left + 14, kMinimizeButton.top + 14, 3));
  EXPECT_EQ(Probe({"box-text", kBoxCaption, "3000"}).exitCode, 2);
  EXPECT_TRUE(IsRunning(demo));
}

}  // namespace
}  // namespace velmora::wine_test
