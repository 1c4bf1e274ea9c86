// Decoding the skin's bitmaps: .bmp files and RT_BITMAP resources, both row orders, 24 and 32
// bits per pixel, padded rows, and headers that lie about their sizes. Also the simulated
// executable's bitmaps found by name.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "MainFormTestSupport.h"
#include "controls/BitmapFile.h"
#include "sim/SimPictures.h"
#include "sim/SimResources.h"

namespace velmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

// A BITMAPINFOHEADER DIB whose rows hold the given COLORREFs, top row first in `pixels`.
Bytes Dib(int width, int height, int bits, const std::vector<ColorRef>& pixels,
          std::uint32_t paletteEntries = 0) {
  const bool topDown = height < 0;
  const int rows = topDown ? -height : height;
  const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  Bytes dib(40 + paletteEntries * 4 + stride * rows, 0xEE);  // padding and palette: junk
  std::fill(dib.begin(), dib.begin() + 40, 0);
  Put32(dib, 0, 40);
  Put32(dib, 4, static_cast<std::uint32_t>(width));
  Put32(dib, 8, static_cast<std::uint32_t>(height));
  Put16(dib, 12, 1);
  Put16(dib, 14, static_cast<std::uint32_t>(bits));
  Put32(dib, 32, paletteEntries);
  for (int y = 0; y < rows; ++y) {
    const int stored = topDown ? y : rows - 1 - y;
    std::size_t at = 40 + paletteEntries * 4 + stride * stored;
    for (int x = 0; x < width; ++x) {
      const ColorRef c = pixels[static_cast<std::size_t>(y * width + x)];
      dib[at++] = static_cast<std::uint8_t>(c >> 16);  // blue
      dib[at++] = static_cast<std::uint8_t>(c >> 8);   // green
      dib[at++] = static_cast<std::uint8_t>(c);        // red
      if (bits == 32) dib[at++] = 0x7F;
    }
  }
  return dib;
}

// The DIB as a .bmp file: the file header, the DIB's header and palette, `gap` spare bytes, then
// the pixel rows, with the file header pointing at them.
Bytes FileOf(const Bytes& dib, std::uint32_t gap = 0) {
  const std::uint32_t palette = dib[32] | dib[33] << 8 | dib[34] << 16 | dib[35] << 24;
  const std::size_t rowsAt = 40 + palette * 4;
  Bytes file(14, 0);
  file[0] = 'B';
  file[1] = 'M';
  file.insert(file.end(), dib.begin(), dib.begin() + rowsAt);
  file.insert(file.end(), gap, 0x55);
  file.insert(file.end(), dib.begin() + rowsAt, dib.end());
  Put32(file, 2, static_cast<std::uint32_t>(file.size()));
  Put32(file, 10, static_cast<std::uint32_t>(14 + rowsAt + gap));
  return file;
}

const std::vector<ColorRef> kThreeByTwo = {0x0000FF, 0x00FF00, 0xFF0000,   // red, green, blue
                                           0x123456, 0xFFFFFF, 0x000000};  // mixed, white, black

TEST(BitmapDecode, BottomUp24BitRowsWithPaddingComeOutTopFirst) {
  const TPicture picture = DecodeDib(Dib(3, 2, 24, kThreeByTwo));
  ASSERT_EQ(picture.Width(), 3);
  ASSERT_EQ(picture.Height(), 2);
  EXPECT_EQ(picture, TPicture(3, 2, kThreeByTwo));
  EXPECT_EQ(picture.Pixel(2, 0), 0xFF0000u);  // pure blue in COLORREF form
  EXPECT_EQ(picture.Pixel(0, 1), 0x123456u);
}

TEST(BitmapDecode, TopDown24BitAndBothOrdersOf32Bit) {
  EXPECT_EQ(DecodeDib(Dib(3, -2, 24, kThreeByTwo)), TPicture(3, 2, kThreeByTwo));
  EXPECT_EQ(DecodeDib(Dib(3, 2, 32, kThreeByTwo)), TPicture(3, 2, kThreeByTwo));
  EXPECT_EQ(DecodeDib(Dib(3, -2, 32, kThreeByTwo)), TPicture(3, 2, kThreeByTwo));
}

TEST(BitmapDecode, OptionalPaletteOfAResourceIsSkipped) {
  EXPECT_EQ(DecodeDib(Dib(3, 2, 24, kThreeByTwo, 2)), TPicture(3, 2, kThreeByTwo));
}

TEST(BitmapDecode, FileUsesItsPixelOffsetEvenWithAGapBeforeThePixels) {
  const Bytes dib = Dib(3, 2, 24, kThreeByTwo);
  EXPECT_EQ(DecodeBitmapFile(FileOf(dib)), TPicture(3, 2, kThreeByTwo));
  EXPECT_EQ(DecodeBitmapFile(FileOf(dib, 6)), TPicture(3, 2, kThreeByTwo));
  EXPECT_TRUE(DecodeDib(FileOf(dib)).Empty());  // a file is no DIB
  EXPECT_TRUE(DecodeBitmapFile(dib).Empty());   // and a DIB no file
}

TEST(BitmapDecode, UnsupportedFormatsGiveAnEmptyPicture) {
  const Bytes good = Dib(3, 2, 24, kThreeByTwo);
  auto with = [&](std::size_t at, std::uint32_t value, bool wide) {
    Bytes bad = good;
    wide ? Put32(bad, at, value) : Put16(bad, at, value);
    return DecodeDib(bad);
  };
  EXPECT_TRUE(with(14, 8, false).Empty());   // palette picture
  EXPECT_TRUE(with(14, 16, false).Empty());  // 16 bits
  EXPECT_TRUE(with(16, 1, true).Empty());    // RLE8
  EXPECT_TRUE(with(16, 3, true).Empty());    // bit fields
  EXPECT_TRUE(with(12, 2, false).Empty());   // two planes
  EXPECT_TRUE(with(0, 12, true).Empty());    // core header
  EXPECT_FALSE(with(0, 40, true).Empty());   // the untouched header still decodes
}

TEST(BitmapDecode, HostileSizesGiveAnEmptyPictureWithoutReadingPastTheBytes) {
  const Bytes good = Dib(3, 2, 24, kThreeByTwo);
  auto with32 = [&](std::size_t at, std::uint32_t value) {
    Bytes bad = good;
    Put32(bad, at, value);
    return DecodeDib(bad);
  };
  EXPECT_TRUE(with32(4, 0).Empty());            // no width
  EXPECT_TRUE(with32(4, 0xFFFFFFFD).Empty());   // negative width
  EXPECT_TRUE(with32(8, 0).Empty());            // no height
  EXPECT_TRUE(with32(8, 0x80000000).Empty());   // the height that cannot be negated
  EXPECT_TRUE(with32(8, 3).Empty());            // one row more than the bytes hold
  EXPECT_TRUE(with32(4, 0x7FFFFFFF).Empty());   // rows far beyond the bytes
  EXPECT_TRUE(with32(4, 20000).Empty());        // beyond any sane side
  EXPECT_TRUE(with32(0, 0xFFFFFFF0).Empty());   // header longer than the bytes
  EXPECT_TRUE(with32(32, 0x40000000).Empty());  // palette past the end
  EXPECT_TRUE(with32(32, 0xFFFFFFFF).Empty());
}

TEST(BitmapDecode, EveryTruncationOfAFileIsRejected) {
  const Bytes file = FileOf(Dib(5, 3, 24, std::vector<ColorRef>(15, 0x102030)));
  for (std::size_t size = 0; size < file.size(); ++size) {
    EXPECT_TRUE(DecodeBitmapFile(Bytes(file.begin(), file.begin() + size)).Empty()) << size;
  }
  EXPECT_FALSE(DecodeBitmapFile(file).Empty());
}

TEST(BitmapDecode, FilePixelOffsetMustLieBetweenHeaderAndEnd) {
  Bytes file = FileOf(Dib(3, 2, 24, kThreeByTwo));
  for (std::uint32_t offset :
       {0u, 14u, 53u, static_cast<std::uint32_t>(file.size() + 1), 0xFFFFFFFFu}) {
    Bytes bad = file;
    Put32(bad, 10, offset);
    EXPECT_TRUE(DecodeBitmapFile(bad).Empty()) << offset;
  }
  file[1] = 'A';
  EXPECT_TRUE(DecodeBitmapFile(file).Empty());
}

TEST(BitmapDecode, SkinFileAndItsCompiledResourceGiveTheSamePicture) {
  const sim::SimResources& resources = mainformtest::CompiledResources();
  for (const char* name : {"BackgroundImage", "Bt_close_1", "CHS_Bt_apply_4", "Bt_fast_4"}) {
    std::ifstream in(std::string(VELMORA_SKIN_DIR) + "/" + name + ".bmp", std::ios::binary);
    const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const Bytes* stored = resources.Find(win::kRtBitmap, name, win::kLangNeutral);
    ASSERT_NE(stored, nullptr) << name;
    const TPicture fromFile = DecodeBitmapFile(file);
    EXPECT_FALSE(fromFile.Empty()) << name;
    EXPECT_EQ(DecodeDib(*stored), fromFile) << name;
  }
}

// ---- The simulated executable's bitmaps ------------------------------------------------------

TEST(BitmapSimPictures, NamesAreFoundWithoutRegardToLetterCase) {
  sim::SimPictures pictures(VELMORA_SKIN_DIR);
  const TPicture exact = pictures.LoadBitmap("Bt_close_1");
  EXPECT_EQ(exact.Width(), 29);
  EXPECT_EQ(exact.Height(), 29);
  EXPECT_EQ(pictures.LoadBitmap("BT_CLOSE_1"), exact);
  EXPECT_EQ(pictures.LoadBitmap("bt_close_1"), exact);
  EXPECT_EQ(pictures.Requests(),
            (std::vector<std::string>{"Bt_close_1", "BT_CLOSE_1", "bt_close_1"}));
}

TEST(BitmapSimPictures, MissingNamesThrowAsTheFrameworkDoes) {
  sim::SimPictures pictures(VELMORA_SKIN_DIR);
  EXPECT_THROW(pictures.LoadBitmap("Bt_close_9"), std::runtime_error);
  EXPECT_THROW(pictures.LoadBitmap("Bt_close_1.bmp"), std::runtime_error);
  pictures.missing = {"BT_Close_1"};
  EXPECT_THROW(pictures.LoadBitmap("bt_close_1"), std::runtime_error);
  EXPECT_NO_THROW(pictures.LoadBitmap("Bt_close_2"));
  sim::SimPictures nowhere("/nonexistent/skin");
  EXPECT_THROW(nowhere.LoadBitmap("Bt_close_1"), std::runtime_error);
}

}  // namespace
}  // namespace velmora
