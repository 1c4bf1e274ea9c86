// Pictures for the window tests: the X screen as the user sees it (ImageMagick's `import` on the
// test display) and the skin's 24-bit bitmaps, both as plain RGB pixels to compare.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmora::wine_test {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kSkinBlue{0, 0, 255};  // the key colour cut out of the skin

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;  // rows top to bottom

  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  Rgb At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// An uncompressed bottom-up 24-bit BMP (the skin's format); nullopt for anything else.
std::optional<RgbImage> ReadBmp24(const std::filesystem::path& path);
// A binary PPM (P6, maximum 255).
std::optional<RgbImage> ParsePpm(const std::string& bytes);

// The whole X screen of `display`; nullopt (and `error`) when `import` fails.
std::optional<RgbImage> CaptureScreen(const std::string& display, std::string& error);
// Saves the rectangle of the screen as a PNG file.
bool SaveScreenPart(const std::string& display, int left, int top, int width, int height,
                    const std::filesystem::path& png);
// Runs an X tool (xdotool, ...) on `display` to its end; true when it exited with 0.
bool RunOnDisplay(const std::string& display, const std::vector<std::string>& argv);

}  // namespace velmora::wine_test
