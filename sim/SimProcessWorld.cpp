#include "sim/SimProcessWorld.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <stdexcept>

namespace velmora::sim {
namespace {

constexpr ModuleHandle kUser32 = 0x77D40000;

}  // namespace

bool SimProcessWorld::MutexExists(const std::string& name) const {
  const auto found = mutexHolders_.find(name);
  return found != mutexHolders_.end() && !found->second.empty();
}

void SimProcessWorld::AddMutexHolder(const std::string& name, int processId) {
  mutexHolders_[name].push_back(processId);
}

WindowHandle SimProcessWorld::AddWindow(const std::string& className, const std::string& title,
                                        int owner) {
  lastWindow_ += 4;
  windows_.push_back({lastWindow_, className, title, owner});
  return lastWindow_;
}

WindowHandle SimProcessWorld::FindWindow(const std::string& className,
                                         const std::string& title) const {
  // Window class names compare case-insensitively, titles exactly.
  auto sameClass = [&](const std::string& other) {
    return std::equal(className.begin(), className.end(), other.begin(), other.end(),
                      [](char a, char b) { return std::toupper(a) == std::toupper(b); });
  };
  for (const SimTopLevelWindow& window : windows_) {
    if (sameClass(window.className) && window.title == title) return window.handle;
  }
  return 0;
}

void SimProcessWorld::EndProcess(int processId) {
  for (auto& [name, holders] : mutexHolders_) {
    holders.erase(std::remove(holders.begin(), holders.end(), processId), holders.end());
  }
  windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                [&](const SimTopLevelWindow& w) { return w.ownerProcess == processId; }),
                 windows_.end());
}

SimProcess::SimProcess(SimProcessWorld& world, std::string commandLine, std::string modulePath)
    : world_(world),
      id_(world.NewProcessId()),
      commandLine_(std::move(commandLine)),
      modulePath_(std::move(modulePath)) {}

SimProcess::~SimProcess() { world_.EndProcess(id_); }

Handle SimProcess::OpenMutexA(std::uint32_t desiredAccess, bool, const std::string& name) {
  openAccess_.push_back(desiredAccess);
  if (!world_.MutexExists(name)) return kNullHandle;
  world_.AddMutexHolder(name, id_);
  return ++lastHandle_;
}

Handle SimProcess::CreateMutexA(bool, const std::string& name) {
  ++mutexCreates_;
  world_.AddMutexHolder(name, id_);
  return ++lastHandle_;
}

WindowHandle SimProcess::FindWindowA(const std::string& className, const std::string& windowName) {
  return world_.FindWindow(className, windowName);
}

bool SimProcess::PostMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam) {
  if (window == 0) return false;
  world_.Post({window, message, wParam, lParam, id_});
  return true;
}

ModuleHandle SimProcess::GetModuleHandleA(const std::string& moduleName) {
  std::string name = moduleName;
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name == "user32" || name == "user32.dll" ? kUser32 : 0;
}

ProcAddress SimProcess::AddressOf(const std::string& procName) const {
  if (user32Exports.count(procName) == 0) return 0;
  // A stable fake address per name, so a call through the wrong address is caught.
  return kUser32 + 0x1000 + std::hash<std::string>{}(procName) % 0x10000;
}

ProcAddress SimProcess::GetProcAddress(ModuleHandle module, const std::string& procName) {
  return module == kUser32 ? AddressOf(procName) : 0;
}

bool SimProcess::AllowSetForegroundWindow(ProcAddress function, std::uint32_t processId) {
  if (function == 0 || function != AddressOf("AllowSetForegroundWindow")) {
    throw std::logic_error("AllowSetForegroundWindow called through a wrong address");
  }
  world_.AllowForeground(id_, processId);
  return true;
}

}  // namespace velmora::sim
