#include "sim/SimShellTray.h"

namespace velmora::sim {

bool SimShellTray::Shell_NotifyIconW(std::uint32_t message, const NotifyIconData& data) {
  bool accepted = false;
  if (message == win::kNimAdd && addsToRefuse_ > 0) {
    --addsToRefuse_;
  } else if (Ready()) {
    accepted = Apply(message, data);
  }
  calls_.push_back(Call{message, data, accepted});
  return accepted;
}

void SimShellTray::NotReadyUntil(std::function<std::uint64_t()> clock, std::uint64_t readyAt) {
  clock_ = std::move(clock);
  readyAt_ = readyAt;
}

bool SimShellTray::Ready() const {
  if (refuseAll) return false;
  return !clock_ || clock_() >= readyAt_;
}

// As the real shell: an icon is added once, and only an existing icon can be changed or deleted.
bool SimShellTray::Apply(std::uint32_t message, const NotifyIconData& data) {
  const auto key = std::make_pair(data.window, data.id);
  const bool exists = icons_.count(key) != 0;
  switch (message) {
    case win::kNimAdd:
      if (exists) return false;
      icons_[key] = data;
      return true;
    case win::kNimModify:
      if (!exists) return false;
      icons_[key] = data;
      return true;
    case win::kNimDelete:
      return icons_.erase(key) != 0;
    default:
      return false;
  }
}

bool SimShellTray::Shows(WindowHandle window, std::uint32_t id) const {
  return icons_.count(std::make_pair(window, id)) != 0;
}

const NotifyIconData* SimShellTray::Icon(WindowHandle window, std::uint32_t id) const {
  const auto found = icons_.find(std::make_pair(window, id));
  return found == icons_.end() ? nullptr : &found->second;
}

int SimShellTray::Count(std::uint32_t message) const {
  int count = 0;
  for (const Call& call : calls_)
    if (call.message == message) ++count;
  return count;
}

}  // namespace velmora::sim
