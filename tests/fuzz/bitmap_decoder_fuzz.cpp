// The bitmap decoder the skinned window's pictures go through (controls/BitmapFile): the input
// is read both as a .bmp file (DecodeBitmapFile, as the skin's files are) and as the DIB of an
// RT_BITMAP resource (DecodeDib); every picture that comes out is then cut into the key-colour
// runs the window outlines are made of (power/ImageRuns), as the window does with it.
//
// Checks (abort, so that libFuzzer keeps the input): a picture is either empty (no width, no
// height) or of sides within the decoder's bounds, every pixel of it readable; the runs lie
// inside the picture, in order, never overlapping, each made of key-colour pixels only and
// bounded by pixels of another colour or the picture's edge; and when the file's pixel offset
// is where the header and its colour table end, the file and its DIB decode to the same picture.
// AddressSanitizer catches any read past the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "controls/BitmapFile.h"
#include "controls/Picture.h"
#include "power/ImageControl.h"
#include "power/ImageRuns.h"

namespace {

using velmora::ColorRef;
using velmora::TPicture;

constexpr int kMaxSide = 16384;
constexpr std::size_t kFileHeaderSize = 14;

[[noreturn]] void Fault(const char* what) {
  std::fprintf(stderr, "bitmap fuzz: %s\n", what);
  __builtin_trap();
}

std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void CheckRuns(const TPicture& picture, ColorRef key) {
  const std::vector<velmora::KeyColorRun> runs = velmora::KeyColorRuns(picture, key);
  int lastY = -1;
  int lastEnd = 0;
  for (const velmora::KeyColorRun& run : runs) {
    if (run.length <= 0 || run.x < 0 || run.y < 0 || run.y >= picture.Height() ||
        run.x + run.length > picture.Width()) {
      Fault("a key-colour run lies outside the picture");
    }
    if (run.y < lastY || (run.y == lastY && run.x <= lastEnd)) {
      Fault("key-colour runs out of order, overlapping or touching");
    }
    for (int x = run.x; x < run.x + run.length; ++x) {
      if (picture.Pixel(x, run.y) != key) Fault("a run holds a pixel of another colour");
    }
    if (run.x > 0 && picture.Pixel(run.x - 1, run.y) == key) Fault("a run starts too late");
    const int end = run.x + run.length;
    if (end < picture.Width() && picture.Pixel(end, run.y) == key) Fault("a run ends too early");
    lastY = run.y;
    lastEnd = end;
  }
}

void Check(const TPicture& picture) {
  if (picture.Empty()) {
    if (picture.Width() != 0 || picture.Height() != 0) Fault("an empty picture with a side");
    return;
  }
  if (picture.Width() > kMaxSide || picture.Height() > kMaxSide) Fault("a picture past the bounds");
  ColorRef sum = 0;
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) sum ^= picture.Pixel(x, y);
  }
  if ((sum & 0xFF000000) != 0) Fault("a pixel with bits above the blue byte");
  CheckRuns(picture, velmora::kPureBlue);
  // The colour of the first pixel as key as well: runs of every length and position.
  CheckRuns(picture, picture.Pixel(0, 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const TPicture file = velmora::DecodeBitmapFile(bytes);
  Check(file);
  const TPicture dib = velmora::DecodeDib(bytes);
  Check(dib);
  if (size >= kFileHeaderSize) {
    const std::span<const std::uint8_t> inner = bytes.subspan(kFileHeaderSize);
    const TPicture innerDib = velmora::DecodeDib(inner);
    Check(innerDib);
    // A file whose pixels start right after the header and the colour table is its DIB.
    if (!file.Empty() && inner.size() >= 40) {
      const std::uint64_t pixelsAt = Le32(bytes, 10);
      const std::uint64_t expected =
          kFileHeaderSize + std::uint64_t{Le32(inner, 0)} + std::uint64_t{Le32(inner, 32)} * 4;
      if (pixelsAt == expected && !(innerDib == file)) {
        Fault("the file and its DIB decode to different pictures");
      }
    }
  }
  return 0;
}
