#include "controls/Picture.h"

#include <utility>

namespace velmora {

TPicture::TPicture(int width, int height, std::vector<ColorRef> pixels)
    : width_(width), height_(height), pixels_(std::move(pixels)) {
  const std::size_t needed =
      Empty() ? 0 : static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (pixels_.size() != needed) *this = TPicture();
}

TPicture::TPicture(int width, int height, ColorRef fill)
    : TPicture(width, height,
               std::vector<ColorRef>(width > 0 && height > 0 ? static_cast<std::size_t>(width) *
                                                                   static_cast<std::size_t>(height)
                                                             : 0,
                                     fill)) {}

void TPicture::Assign(const IPictureCanvas& source) {
  if (&source == this) return;
  const int width = source.Width();
  const int height = source.Height();
  std::vector<ColorRef> pixels;
  if (width > 0 && height > 0) {
    pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) pixels.push_back(source.Pixel(x, y));
  }
  *this = TPicture(width, height, std::move(pixels));
}

}  // namespace velmora
