#include "DemoSession.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "WineHost.h"

namespace velmora::wine_test {
namespace {

namespace fs = std::filesystem;

// The button panels and the inactive Apply picture that lie over the background.
constexpr LayoutRect kControls[] = {kCloseButton, kMinimizeButton, kDisableButton,
                                    kApplyButton, kFastButton,     kRegularButton};

bool OverAControl(int x, int y) {
  for (const LayoutRect& control : kControls) {
    if (control.Near(x, y, 2)) return true;
  }
  return false;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const Agreement& agreement) {
  return out << agreement.equal << " of " << agreement.compared << " pixels as expected";
}

RgbImage Skin(const std::string& name) {
  const fs::path path = WineHost::SourceDir() / "resources" / "skin" / (name + ".bmp");
  std::optional<RgbImage> image = ReadBmp24(path);
  if (!image) ADD_FAILURE() << "cannot read " << path;
  return image.value_or(RgbImage{});
}

Agreement CompareBackground(const RgbImage& screen, const RgbImage& skin,
                            const std::function<bool(int, int)>& wanted,
                            const std::function<Rgb(int, int)>& expected) {
  Agreement agreement;
  for (int y = 0; y < skin.height; ++y) {
    for (int x = 0; x < skin.width; ++x) {
      const int screenX = kWindowLeft + x;
      const int screenY = kWindowTop + y;
      if (OverAControl(x, y) || !wanted(x, y) || !screen.Contains(screenX, screenY)) continue;
      ++agreement.compared;
      if (screen.At(screenX, screenY) == expected(x, y)) ++agreement.equal;
    }
  }
  return agreement;
}

Agreement SkinShown(const RgbImage& screen, const RgbImage& skin) {
  return CompareBackground(
      screen, skin, [&](int x, int y) { return !(skin.At(x, y) == kSkinBlue); },
      [&](int x, int y) { return skin.At(x, y); });
}

void DemoSession::SetUp() {
  WineSession::SetUp();
  exe = CopyIntoPrefix(WineHost::WindowsProgram("VelmoraDemo.exe"), kProgramDir);
  CopyIntoPrefix(WineHost::WindowsProgram("ZlkVelmora.pow"), kProgramDir);
}

RgbImage DemoSession::Screen() {
  std::string error;
  std::optional<RgbImage> image = CaptureScreen(WineHost::Get().Display(), error);
  if (!image) ADD_FAILURE() << error;
  return image.value_or(RgbImage{});
}

RgbImage DemoSession::StartAndShoot(const RgbImage& skin) {
  // The pointer away from the window: no button shows its hover picture.
  EXPECT_TRUE(RunOnDisplay(WineHost::Get().Display(), {"xdotool", "mousemove", "0", "0"}));
  demo = Start(exe);
  EXPECT_EQ(Probe({"wait-window", kMainClass, "*", "30000"}).exitCode, 0) << "no main window\n"
                                                                          << OutputSoFar(demo);
  RgbImage screen;
  for (int attempt = 0; attempt < 40; ++attempt) {
    screen = Screen();
    if (SkinShown(screen, skin).Share() >= 0.995) break;
    std::this_thread::sleep_for(250ms);
  }
  return screen;
}

bool DemoSession::Click(int x, int y, int button) {
  return RunOnDisplay(WineHost::Get().Display(),
                      {"xdotool", "mousemove", std::to_string(kWindowLeft + x),
                       std::to_string(kWindowTop + y), "click", std::to_string(button)});
}

bool DemoSession::CloseBox(const std::string& caption) {
  if (Probe({"box-press", caption}).exitCode != 0) return false;
  bool destroyed = false;
  for (int attempt = 0; attempt < 50 && !destroyed; ++attempt) {
    destroyed = Probe({"box-text", caption, "0"}).exitCode == 2;
    if (!destroyed) std::this_thread::sleep_for(100ms);
  }
  if (!destroyed || caption == "*") return destroyed;
  // Without a window manager Wine unmaps a destroyed window's X window up to ~2 s later; until
  // then it still takes the clicks at its place on the screen.
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (!RunOnDisplay(WineHost::Get().Display(),
                      {"xdotool", "search", "--onlyvisible", "--name", "^" + caption + "$"})) {
      return true;
    }
    std::this_thread::sleep_for(100ms);
  }
  return false;
}

std::string DemoSession::BoardFile() const {
  return ReadFile(std::string(kProgramDir) + "VelmoraBoard.txt").value_or("<no board file>");
}

std::string DemoSession::DemoLog() const {
  return ReadFile(std::string(kProgramDir) + "VelmoraDemo.log").value_or("");
}

void DemoSession::UseBoard(const std::string& text) {
  WriteFile(std::string(kProgramDir) + "VelmoraBoard.txt", text);
}

void DemoSession::UseSettings(const std::string& lines) {
  WriteFile(std::string(kProgramDir) + "Cfg.ini", "[Config]\r\n" + lines);
}

bool DemoSession::PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit,
                            std::chrono::milliseconds interval) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(interval);
  }
  return condition();
}

bool DemoSession::Eventually(const std::function<std::string()>& text, const std::string& wanted,
                             std::chrono::milliseconds limit) {
  return PollUntil([&] { return text().find(wanted) != std::string::npos; }, limit, 200ms);
}

void DemoSession::SaveBoxForDocs(const std::string& fileName) {
  const char* folder = std::getenv("VELMORA_SCREENSHOT_DIR");
  if (folder == nullptr || *folder == '\0') return;
  // The client area only: without a window manager nobody draws the caption.
  const ProcessResult rect = Probe({"window-rect", "#32770", "*"});
  int left = 0, top = 0, width = 0, height = 0, clientWidth = 0, clientHeight = 0;
  ASSERT_EQ(std::sscanf(rect.out.c_str(), "left=%d top=%d width=%d height=%d client=%dx%d", &left,
                        &top, &width, &height, &clientWidth, &clientHeight),
            6)
      << rect.Describe();
  const int border = (width - clientWidth) / 2;
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  EXPECT_TRUE(SaveScreenPart(WineHost::Get().Display(), left + border,
                             top + height - border - clientHeight, clientWidth, clientHeight,
                             std::filesystem::path(folder) / fileName));
}

}  // namespace velmora::wine_test
