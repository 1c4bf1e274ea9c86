// The picture of an image control: a bitmap held by value, so assigning one picture to another
// copies the pixels instead of sharing them.
#pragma once

#include <cstdint>
#include <vector>

#include "ports/RegionPort.h"

namespace velmora {

class TPicture : public IPictureCanvas {
 public:
  TPicture() = default;
  // Pixels row by row, top to bottom; must hold width * height entries.
  TPicture(int width, int height, std::vector<ColorRef> pixels);
  TPicture(int width, int height, ColorRef fill);

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  ColorRef Pixel(int x, int y) const override { return pixels_[Index(x, y)]; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }

  // Copies any picture's pixels (the picture control's Assign).
  void Assign(const IPictureCanvas& source);

  bool operator==(const TPicture& other) const {
    return width_ == other.width_ && height_ == other.height_ && pixels_ == other.pixels_;
  }

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(x);
  }

  int width_ = 0;
  int height_ = 0;
  std::vector<ColorRef> pixels_;
};

}  // namespace velmora
