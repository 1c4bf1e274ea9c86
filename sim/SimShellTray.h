// A simulated notification area: records every Shell_NotifyIconW call, keeps the icons it shows
// (by window and id), and can play a shell that is not up yet after logon by refusing NIM_ADD
// for the first attempts or until a moment of a simulated clock.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "ports/ShellTrayPort.h"

namespace velmora::sim {

class SimShellTray : public IShellTray {
 public:
  struct Call {
    std::uint32_t message;
    NotifyIconData data;
    bool accepted;
  };

  bool Shell_NotifyIconW(std::uint32_t message, const NotifyIconData& data) override;

  // Refuse the next count NIM_ADD requests.
  void RefuseAdds(int count) { addsToRefuse_ = count; }
  // Refuse every request while clock() < readyAt (the taskbar does not exist before then).
  void NotReadyUntil(std::function<std::uint64_t()> clock, std::uint64_t readyAt);
  // Everything is refused until this is cleared.
  bool refuseAll = false;
  // Explorer ended and started again: the new taskbar knows none of the icons (Windows then
  // broadcasts "TaskbarCreated" so that programs add theirs again).
  void RestartExplorer() { icons_.clear(); }

  bool Shows(WindowHandle window, std::uint32_t id) const;
  // The icon as the shell shows it; nullptr when it does not show it.
  const NotifyIconData* Icon(WindowHandle window, std::uint32_t id) const;
  std::size_t IconCount() const { return icons_.size(); }
  int Count(std::uint32_t message) const;
  const std::vector<Call>& Calls() const { return calls_; }

 private:
  bool Ready() const;
  bool Apply(std::uint32_t message, const NotifyIconData& data);

  std::vector<Call> calls_;
  std::map<std::pair<WindowHandle, std::uint32_t>, NotifyIconData> icons_;
  int addsToRefuse_ = 0;
  std::function<std::uint64_t()> clock_;
  std::uint64_t readyAt_ = 0;
};

}  // namespace velmora::sim
