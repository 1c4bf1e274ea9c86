#include <gtest/gtest.h>

#include "power/ImageControl.h"
#include "power/ImageRuns.h"
#include "sim/SimRegions.h"

namespace velmora {
namespace {

constexpr ColorRef kBlue = 0xFF0000;  // COLORREF 0x00BBGGRR
constexpr ColorRef kGrey = 0x808080;
constexpr WindowHandle kForm = 0x10010;

// A picture drawn from text rows: 'B' pure blue, '.' grey, 'r' 0xFE0000, 'g' 0xFF0001,
// 'R' pure red 0x0000FF, 'a' pure blue with a non-zero top byte.
PixelPicture Picture(const std::vector<std::string>& rows) {
  const int width = rows.empty() ? 0 : static_cast<int>(rows[0].size());
  PixelPicture picture(width, static_cast<int>(rows.size()), kGrey);
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < width; ++x) {
      switch (rows[y][x]) {
        case 'B':
          picture.SetPixel(x, y, kBlue);
          break;
        case 'r':
          picture.SetPixel(x, y, 0xFE0000);
          break;
        case 'g':
          picture.SetPixel(x, y, 0xFF0001);
          break;
        case 'R':
          picture.SetPixel(x, y, 0x0000FF);
          break;
        case 'a':
          picture.SetPixel(x, y, 0x01FF0000);
          break;
        default:
          break;
      }
    }
  }
  return picture;
}

// Every pixel of the picture that is not exactly the key: what must stay visible.
sim::SimRegions::Pixels Visible(const IPictureCanvas& picture, ColorRef key) {
  sim::SimRegions::Pixels pixels;
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) {
      if (picture.Pixel(x, y) != key) pixels.insert({x, y});
    }
  }
  return pixels;
}

TEST(KeyColorRuns, PictureWithoutKeyPixelsHasNoRuns) {
  EXPECT_TRUE(KeyColorRuns(Picture({"....", "rgRa"}), kBlue).empty());
}

TEST(KeyColorRuns, RunsPerRowLeftToRightWithTheRightEdgeClosingAnOpenRun) {
  const std::vector<KeyColorRun> runs = KeyColorRuns(Picture({"BB..B.BBB",  //
                                                              ".........",  //
                                                              "....BBBBB",  //
                                                              "BBBBBBBBB"}),
                                                     kBlue);
  EXPECT_EQ(runs,
            (std::vector<KeyColorRun>{{0, 0, 2}, {4, 0, 1}, {6, 0, 3}, {4, 2, 5}, {0, 3, 9}}));
}

TEST(KeyColorRuns, OnlyExactlyPureBlueIsKey) {
  const std::vector<KeyColorRun> runs = KeyColorRuns(Picture({"BrBgBRBaB"}), kBlue);
  EXPECT_EQ(runs,
            (std::vector<KeyColorRun>{{0, 0, 1}, {2, 0, 1}, {4, 0, 1}, {6, 0, 1}, {8, 0, 1}}));
}

TEST(KeyColorRuns, RunDoesNotContinueIntoTheNextRow) {
  EXPECT_EQ(KeyColorRuns(Picture({"..B", "B.."}), kBlue),
            (std::vector<KeyColorRun>{{2, 0, 1}, {0, 1, 1}}));
}

class RegionTest : public ::testing::Test {
 protected:
  sim::SimRegions regions;
  TImageControl images{regions};
};

TEST_F(RegionTest, KeyColorIsPureBlue) {
  EXPECT_EQ(images.KeyColor, 0xFF0000u);
}

TEST_F(RegionTest, PictureWithoutKeyPixelsGivesTheFullRectangle) {
  const PixelPicture picture = Picture({".....", ".rgR.", "....."});
  const RegionHandle region = images.RegionFromImage(picture, kBlue);
  EXPECT_EQ(regions.RegionPixels(region), Visible(picture, kBlue));
  EXPECT_EQ(regions.RegionPixels(region).size(), 15u);
  EXPECT_EQ(regions.combineCalls, 0);
}

TEST_F(RegionTest, RegionMatchesThePicturePixelByPixel) {
  const PixelPicture picture = Picture({"BBBB....BBBB",  //
                                        "BB...rg...BB",  //
                                        "B....BB....B",  //
                                        "B...BBBB...B",  //
                                        "BB..a..R..BB",  //
                                        "BBB......BBB"});
  const RegionHandle region = images.RegionFromImage(picture, kBlue);
  EXPECT_EQ(regions.RegionPixels(region), Visible(picture, kBlue));
  EXPECT_EQ(static_cast<std::size_t>(regions.combineCalls), KeyColorRuns(picture, kBlue).size());
  for (int mode : regions.combineModes) EXPECT_EQ(mode, win::kRgnXor);
  EXPECT_EQ(regions.LiveRegions(), 1u);  // every cut-out rectangle was deleted
  EXPECT_TRUE(regions.misuse.empty());
}

TEST_F(RegionTest, RowEndingInKeyPixelsIsCutToTheRightEdge) {
  const PixelPicture picture = Picture({"..BBB", ".....", "BBBBB"});
  const RegionHandle region = images.RegionFromImage(picture, kBlue);
  EXPECT_EQ(regions.RegionPixels(region), Visible(picture, kBlue));
  EXPECT_EQ(regions.RegionPixels(region).count({4, 0}), 0u);
  EXPECT_EQ(regions.RegionPixels(region).count({4, 2}), 0u);
}

TEST_F(RegionTest, ShapeFormGoesBorderlessAndHandsTheRegionToTheWindow) {
  const PixelPicture picture = Picture({"B..B", "....", "B..B"});
  images.ShapeForm(kForm, picture, kBlue);
  EXPECT_TRUE(regions.IsBorderless(kForm));
  ASSERT_TRUE(regions.WindowRegion(kForm).has_value());
  EXPECT_EQ(*regions.WindowRegion(kForm), Visible(picture, kBlue));
  EXPECT_EQ(regions.redraws, std::vector<bool>{true});
  EXPECT_EQ(regions.LiveRegions(), 0u);
  EXPECT_TRUE(regions.misuse.empty());
}

TEST_F(RegionTest, RegionRefusedByTheWindowIsNotLeaked) {
  regions.setWindowRgnFails = true;
  images.ShapeForm(kForm, Picture({"B.", ".B"}), kBlue);
  EXPECT_EQ(regions.LiveRegions(), 0u);
  EXPECT_TRUE(regions.misuse.empty());
}

TEST_F(RegionTest, ControlRegionCutsThePureBlueKeyOnly) {
  const PixelPicture button = Picture({"BRRB", "RRRR", "BRRB"});
  const RegionHandle region = images.ControlRegion(button);
  EXPECT_EQ(regions.RegionPixels(region), Visible(button, kBlue));
  EXPECT_EQ(regions.RegionPixels(region).size(), 8u);
}

TEST_F(RegionTest, EmptyPictureGivesAnEmptyRegion) {
  const RegionHandle region = images.RegionFromImage(PixelPicture(0, 0, kBlue), kBlue);
  EXPECT_NE(region, 0u);
  EXPECT_TRUE(regions.RegionPixels(region).empty());
}

TEST_F(RegionTest, FailedRegionCreationGivesNoRegion) {
  regions.createFailsAfter = 0;
  EXPECT_EQ(images.RegionFromImage(Picture({"B."}), kBlue), 0u);
  images.ShapeForm(kForm, Picture({"B."}), kBlue);
  EXPECT_FALSE(regions.WindowRegion(kForm).has_value());
  EXPECT_TRUE(regions.redraws.empty());
}

}  // namespace
}  // namespace velmora
