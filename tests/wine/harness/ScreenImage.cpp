#include "ScreenImage.h"

#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <chrono>

#include "ChildProcess.h"

namespace velmora::wine_test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::uint32_t Little(const std::string& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i)
    value = value << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
  return value;
}

// Runs argv with DISPLAY set, stdout into `stdoutPath`; true when it exited with 0 in time.
bool RunTool(const std::string& display, const std::vector<std::string>& argv,
             const std::string& stdoutPath) {
  SpawnRequest request;
  request.argv = argv;
  request.environment = EnvironmentWith({"DISPLAY=" + display});
  request.stdoutPath = stdoutPath;
  request.stderrPath = "/dev/null";
  return RunToEnd(request, 30s);
}

// The next whitespace-separated header number of a PPM; comments are not written by `import`.
bool NextNumber(const std::string& bytes, std::size_t& at, int& value) {
  while (at < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[at]))) ++at;
  const std::size_t start = at;
  while (at < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[at]))) ++at;
  if (at == start || at - start > 6) return false;
  value = std::stoi(bytes.substr(start, at - start));
  return true;
}

}  // namespace

std::optional<RgbImage> ReadBmp24(const fs::path& path) {
  const std::optional<std::string> bytes = ReadHostFile(path);
  if (!bytes || bytes->size() < 54 || bytes->compare(0, 2, "BM") != 0) return std::nullopt;
  const std::uint32_t offset = Little(*bytes, 10, 4);
  const auto width = static_cast<std::int32_t>(Little(*bytes, 18, 4));
  const auto height = static_cast<std::int32_t>(Little(*bytes, 22, 4));
  if (Little(*bytes, 28, 2) != 24 || Little(*bytes, 30, 4) != 0 || width <= 0 || height <= 0)
    return std::nullopt;
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  if (bytes->size() < offset + stride * static_cast<std::size_t>(height)) return std::nullopt;
  RgbImage image{width, height, {}};
  image.pixels.reserve(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const std::size_t row = offset + stride * static_cast<std::size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const std::size_t p = row + static_cast<std::size_t>(x) * 3;  // blue, green, red
      image.pixels.push_back(Rgb{static_cast<std::uint8_t>((*bytes)[p + 2]),
                                 static_cast<std::uint8_t>((*bytes)[p + 1]),
                                 static_cast<std::uint8_t>((*bytes)[p])});
    }
  }
  return image;
}

std::optional<RgbImage> ParsePpm(const std::string& bytes) {
  if (bytes.compare(0, 2, "P6") != 0) return std::nullopt;
  std::size_t at = 2;
  int width = 0, height = 0, maximum = 0;
  if (!NextNumber(bytes, at, width) || !NextNumber(bytes, at, height) ||
      !NextNumber(bytes, at, maximum) || maximum != 255 || width <= 0 || height <= 0)
    return std::nullopt;
  ++at;  // the single whitespace byte before the pixels
  const std::size_t count = static_cast<std::size_t>(width) * height;
  if (bytes.size() < at + count * 3) return std::nullopt;
  RgbImage image{width, height, std::vector<Rgb>(count)};
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t p = at + i * 3;
    image.pixels[i] =
        Rgb{static_cast<std::uint8_t>(bytes[p]), static_cast<std::uint8_t>(bytes[p + 1]),
            static_cast<std::uint8_t>(bytes[p + 2])};
  }
  return image;
}

std::optional<RgbImage> CaptureScreen(const std::string& display, std::string& error) {
  char name[] = "/tmp/velmora-screen.XXXXXX";
  const int descriptor = mkstemp(name);
  if (descriptor < 0) {
    error = "mkstemp failed";
    return std::nullopt;
  }
  close(descriptor);
  std::optional<RgbImage> image;
  if (RunTool(display, {"import", "-window", "root", "-depth", "8", "ppm:-"}, name)) {
    if (const std::optional<std::string> bytes = ReadHostFile(name)) image = ParsePpm(*bytes);
    if (!image) error = "import wrote no PPM image";
  } else {
    error = "import -window root failed on display " + display;
  }
  unlink(name);
  return image;
}

bool SaveScreenPart(const std::string& display, int left, int top, int width, int height,
                    const fs::path& png) {
  const std::string geometry = std::to_string(width) + "x" + std::to_string(height) + "+" +
                               std::to_string(left) + "+" + std::to_string(top);
  return RunTool(display,
                 {"import", "-window", "root", "-crop", geometry, "+repage", "png:" + png.string()},
                 "/dev/null");
}

bool RunOnDisplay(const std::string& display, const std::vector<std::string>& argv) {
  return RunTool(display, argv, "/dev/null");
}

}  // namespace velmora::wine_test
