#include "DemoScenario.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "ChildProcess.h"
#include "ScreenImage.h"
#include "WineHost.h"

namespace velmora::wine_test {
namespace {

using namespace std::chrono_literals;

constexpr char kMainCaptionPattern[] = "^vmMainForm$";
constexpr char kTrayWindowPattern[] = "^Wine System Tray$";
constexpr double kPictureShare = 0.98;

std::string Trimmed(const std::string& text) {
  const auto notSpace = [](unsigned char c) { return !std::isspace(c); };
  const auto first = std::find_if(text.begin(), text.end(), notSpace);
  const auto last = std::find_if(text.rbegin(), text.rend(), notSpace).base();
  return first < last ? std::string(first, last) : std::string();
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::optional<std::uint32_t> ParseNumber(const std::string& text) {
  if (text.empty() || text[0] == '-') return std::nullopt;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 0);
  if (*end != '\0' || value > 0xFFFFFFFFul) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

// "X=193" from `xdotool getwindowgeometry --shell`.
std::optional<int> ShellValue(const std::string& output, const std::string& name) {
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind(name + "=", 0) != 0) continue;
    const std::optional<std::uint32_t> value = ParseNumber(Trimmed(line.substr(name.size() + 1)));
    if (value) return static_cast<int>(*value);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::uint8_t> DemoControlByte(const std::string& boardFile) {
  std::istringstream lines(boardFile);
  std::string line;
  std::string section;
  std::optional<std::uint8_t> found;
  while (std::getline(lines, line)) {
    line = Trimmed(line.substr(0, line.find(';')));
    if (!line.empty() && line.front() == '[' && line.back() == ']') {
      section = Lower(Trimmed(line.substr(1, line.size() - 2)));
      continue;
    }
    const std::size_t equals = line.find('=');
    if (section != "demo" || equals == std::string::npos) continue;
    if (Lower(Trimmed(line.substr(0, equals))) != "controlbyte") continue;
    const std::optional<std::uint32_t> value = ParseNumber(Trimmed(line.substr(equals + 1)));
    found = value && *value <= 0xFF ? std::optional<std::uint8_t>(*value) : std::nullopt;
  }
  return found;
}

std::optional<std::uint32_t> RegDwordFromQuery(const std::string& output,
                                               const std::string& valueName) {
  // "    NAME    REG_DWORD    0x1": the name may hold spaces itself.
  constexpr char kType[] = " REG_DWORD ";
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t type = line.find(kType);
    if (type == std::string::npos) continue;
    if (Lower(Trimmed(line.substr(0, type))) != Lower(valueName)) continue;
    return ParseNumber(Trimmed(line.substr(type + sizeof kType - 1)));
  }
  return std::nullopt;
}

std::optional<std::string> DemoScenario::XdoTool(const std::vector<std::string>& args) {
  char name[] = "/tmp/velmora-xdotool.XXXXXX";
  const int descriptor = mkstemp(name);
  if (descriptor < 0) return std::nullopt;
  close(descriptor);
  SpawnRequest request;
  request.argv = {"xdotool"};
  request.argv.insert(request.argv.end(), args.begin(), args.end());
  request.environment = EnvironmentWith({"DISPLAY=" + WineHost::Get().Display()});
  request.stdoutPath = name;
  request.stderrPath = "/dev/null";
  const std::optional<std::string> output =
      RunToEnd(request, 30s) ? ReadHostFile(name) : std::nullopt;
  unlink(name);
  return output;
}

bool DemoScenario::MainWindowShown() {
  return XdoTool({"search", "--onlyvisible", "--name", kMainCaptionPattern}).has_value();
}

std::optional<ScreenPoint> DemoScenario::MainWindowOrigin() {
  const std::optional<std::string> geometry = XdoTool(
      {"search", "--onlyvisible", "--name", kMainCaptionPattern, "getwindowgeometry", "--shell"});
  if (!geometry) return std::nullopt;
  const std::optional<int> x = ShellValue(*geometry, "X");
  const std::optional<int> y = ShellValue(*geometry, "Y");
  if (!x || !y) return std::nullopt;
  return ScreenPoint{*x, *y};
}

bool DemoScenario::TrayIconShown() {
  return XdoTool({"search", "--onlyvisible", "--name", kTrayWindowPattern}).has_value();
}

namespace {

std::optional<ScreenRect> RectOf(const std::string& geometry) {
  const std::optional<int> x = ShellValue(geometry, "X");
  const std::optional<int> y = ShellValue(geometry, "Y");
  const std::optional<int> width = ShellValue(geometry, "WIDTH");
  const std::optional<int> height = ShellValue(geometry, "HEIGHT");
  if (!x || !y || !width || !height) return std::nullopt;
  return ScreenRect{*x, *y, *width, *height};
}

// The icon's teal, #14B8A6, give or take what scaling and blending leave of it.
bool IsProductTeal(const Rgb& pixel) {
  return std::abs(pixel.r - 0x14) < 24 && std::abs(pixel.g - 0xB8) < 24 &&
         std::abs(pixel.b - 0xA6) < 24;
}

}  // namespace

// Where Wine's stand-in notification area is on the screen, while it is mapped.
std::optional<ScreenRect> DemoScenario::TrayWindowRect() {
  const std::optional<std::string> geometry = XdoTool(
      {"search", "--onlyvisible", "--name", kTrayWindowPattern, "getwindowgeometry", "--shell"});
  return geometry ? RectOf(*geometry) : std::nullopt;
}

int DemoScenario::TrayPixelsOfTheProductIcon() {
  const std::optional<ScreenRect> tray = TrayWindowRect();
  if (!tray) return 0;
  const RgbImage screen = Screen();
  int teal = 0;
  for (int y = std::max(tray->top, 0); y < std::min(tray->top + tray->height, screen.height); ++y) {
    for (int x = std::max(tray->left, 0); x < std::min(tray->left + tray->width, screen.width);
         ++x) {
      if (IsProductTeal(screen.At(x, y))) ++teal;
    }
  }
  return teal;
}

void DemoScenario::SaveTrayForDocs(const std::string& fileName) {
  const char* folder = std::getenv("VELMORA_SCREENSHOT_DIR");
  if (folder == nullptr || *folder == '\0') return;
  const std::optional<ScreenRect> tray = TrayWindowRect();
  ASSERT_TRUE(tray.has_value()) << "no tray window";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  EXPECT_TRUE(SaveScreenPart(WineHost::Get().Display(), tray->left, tray->top, tray->width,
                             tray->height, std::filesystem::path(folder) / fileName));
}

bool DemoScenario::ClickAt(const LayoutRect& place) {
  const std::optional<ScreenPoint> origin = MainWindowOrigin();
  if (!origin) return false;
  const int x = origin->x + place.left + place.width / 2;
  const int y = origin->y + place.top + place.height / 2;
  return XdoTool({"mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1",
                  "mousemove", "--sync", "0", "0"})
      .has_value();
}

bool DemoScenario::PressKeys(const std::vector<std::string>& keys) {
  std::vector<std::string> args = {"key", "--delay", "150"};
  args.insert(args.end(), keys.begin(), keys.end());
  return XdoTool(args).has_value();
}

Agreement DemoScenario::PictureAt(const LayoutRect& place, const std::string& name) {
  const RgbImage picture = Skin(name);
  const std::optional<ScreenPoint> origin = MainWindowOrigin();
  Agreement agreement;
  if (!origin || picture.width != place.width || picture.height != place.height) return agreement;
  const RgbImage screen = Screen();
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      if (picture.At(x, y) == kSkinBlue) continue;
      ++agreement.compared;
      const int screenX = origin->x + place.left + x;
      const int screenY = origin->y + place.top + y;
      if (screen.Contains(screenX, screenY) && screen.At(screenX, screenY) == picture.At(x, y))
        ++agreement.equal;
    }
  }
  return agreement;
}

bool DemoScenario::WaitForPicture(const LayoutRect& place, const std::string& name,
                                  std::chrono::milliseconds limit) {
  return PollUntil([&] { return PictureAt(place, name).Share() >= kPictureShare; }, limit, 200ms);
}

void DemoScenario::Choose(const LayoutRect& button, const std::string& chosenPicture,
                          const std::string& applyPicture) {
  bool chosen = false;
  for (int attempt = 0; attempt < 3 && !chosen; ++attempt) {
    ASSERT_TRUE(ClickAt(button)) << "the window is not on the screen";
    chosen =
        WaitForPicture(button, chosenPicture, 8s) && WaitForPicture(kApplyButton, applyPicture, 4s);
  }
  ASSERT_TRUE(chosen) << chosenPicture << ": " << PictureAt(button, chosenPicture)
                      << "; Apply: " << PictureAt(kApplyButton, applyPicture);
}

std::optional<std::uint32_t> DemoScenario::VelmoraDword(const std::string& valueName) {
  const ProcessResult query = Run("reg", {"query", kVelmoraUserKey, "/v", valueName}, 30s);
  if (query.exitCode != 0) return std::nullopt;
  return RegDwordFromQuery(query.out, valueName);
}

bool DemoScenario::SetVelmoraDword(const std::string& valueName, std::uint32_t data) {
  return Run("reg",
             {"add", kVelmoraUserKey, "/v", valueName, "/t", "REG_DWORD", "/d",
              std::to_string(data), "/f"},
             30s)
      .Succeeded();
}

std::optional<std::uint8_t> DemoScenario::ControlByte() const {
  return DemoControlByte(BoardFile());
}

std::string DemoScenario::SettingsFile() const {
  return ReadFile(std::string(kProgramDir) + "Cfg.ini").value_or("");
}

}  // namespace velmora::wine_test
