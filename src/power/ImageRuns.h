// The key-colour runs of a picture: for each row, the horizontal stretches of pixels that equal
// the key colour exactly. Each run becomes a hole in a window outline.
#pragma once

#include <vector>

#include "ports/RegionPort.h"

namespace velmora {

struct KeyColorRun {
  int x = 0;  // first pixel of the run
  int y = 0;  // row
  int length = 0;
  bool operator==(const KeyColorRun&) const = default;
};

// Rows top to bottom, runs left to right; a run still open at the end of a row ends at the right
// edge. Only pixels equal to key in all 32 bits count.
std::vector<KeyColorRun> KeyColorRuns(const IPictureCanvas& picture, ColorRef key);

// A picture held in memory, row by row (for pictures decoded elsewhere, and for tests).
class PixelPicture : public IPictureCanvas {
 public:
  PixelPicture(int width, int height, ColorRef fill);
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  ColorRef Pixel(int x, int y) const override { return pixels_[Index(x, y)]; }
  void SetPixel(int x, int y, ColorRef color) { pixels_[Index(x, y)] = color; }

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(x);
  }
  int width_;
  int height_;
  std::vector<ColorRef> pixels_;
};

}  // namespace velmora
