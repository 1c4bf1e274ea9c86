#include "power/ImageRuns.h"

namespace velmora {

std::vector<KeyColorRun> KeyColorRuns(const IPictureCanvas& picture, ColorRef key) {
  std::vector<KeyColorRun> runs;
  const int width = picture.Width();
  const int height = picture.Height();
  for (int y = 0; y < height; ++y) {
    KeyColorRun run{0, y, 0};
    for (int x = 0; x < width; ++x) {
      if (picture.Pixel(x, y) == key) {
        if (run.length == 0) run.x = x;
        ++run.length;
      } else if (run.length != 0) {
        runs.push_back(run);
        run.length = 0;
      }
    }
    if (run.length != 0) runs.push_back(run);
  }
  return runs;
}

PixelPicture::PixelPicture(int width, int height, ColorRef fill)
    : width_(width < 0 ? 0 : width),
      height_(height < 0 ? 0 : height),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill) {}

}  // namespace velmora
