#include "MessageBoxes.h"

#include <thread>

#include "ScreenImage.h"
#include "WineHost.h"

namespace velmora::wine_test {
namespace {

constexpr char kWindowField[] = "box=";
constexpr char kCaptionField[] = " caption=";
constexpr char kTextField[] = " text=";

// "box=0xHWND caption=CAPTION text=TEXT" as velmora-probe box-text prints it.
std::optional<ShownBox> ParseBox(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  const std::size_t caption = line.find(kCaptionField);
  const std::size_t text =
      caption == std::string::npos ? std::string::npos : line.find(kTextField, caption);
  if (line.rfind(kWindowField, 0) != 0 || text == std::string::npos) return std::nullopt;
  const std::size_t captionStart = caption + sizeof(kCaptionField) - 1;
  return ShownBox{line.substr(sizeof(kWindowField) - 1, caption - (sizeof(kWindowField) - 1)),
                  line.substr(captionStart, text - captionStart),
                  line.substr(text + sizeof(kTextField) - 1)};
}

}  // namespace

std::optional<ShownBox> MessageBoxes::Current(std::chrono::milliseconds wait) {
  const ProcessResult found =
      prefix_.Probe({"box-text", "*", std::to_string(wait.count())}, wait + 30s);
  if (found.exitCode != 0) return std::nullopt;
  std::optional<ShownBox> box = ParseBox(found.out);
  if (box && box->caption != caption_) return std::nullopt;
  return box;
}

bool MessageBoxes::PressReturn() {
  return RunOnDisplay(WineHost::Get().Display(), {"xdotool", "key", "Return"});
}

std::vector<std::string> MessageBoxes::AnswerUntilEnd(ProcessHandle process,
                                                      std::chrono::milliseconds limit) {
  std::vector<std::string> texts;
  std::optional<ShownBox> last;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (prefix_.IsRunning(process) && std::chrono::steady_clock::now() < end) {
    const std::optional<ShownBox> box = Current(500ms);
    if (!box) continue;
    if (box != last) texts.push_back(box->text);
    last = box;
    PressReturn();
    std::this_thread::sleep_for(300ms);
  }
  return texts;
}

}  // namespace velmora::wine_test
