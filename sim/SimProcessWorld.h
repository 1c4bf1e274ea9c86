// Several simulated processes on one simulated desktop: the named mutexes and top-level windows
// they share, and the messages posted between them. Tests start two "instances" of the program
// against one world and inspect what each left behind.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ports/ProcessPort.h"
#include "ports/WindowMessagePort.h"

namespace velmora::sim {

struct SimPostedMessage {
  WindowHandle window = 0;
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  int fromProcess = 0;
};

// An AllowSetForegroundWindow call: who made it, for which process, and how many messages had
// been posted in the world before it.
struct SimForegroundPermission {
  int fromProcess = 0;
  std::uint32_t processId = 0;
  std::size_t postedBefore = 0;
};

struct SimTopLevelWindow {
  WindowHandle handle = 0;
  std::string className;
  std::string title;
  int ownerProcess = 0;
};

class SimProcessWorld {
 public:
  int NewProcessId() { return ++lastProcessId_; }

  // Named mutexes: the process ids that hold a handle to each.
  bool MutexExists(const std::string& name) const;
  void AddMutexHolder(const std::string& name, int processId);

  WindowHandle AddWindow(const std::string& className, const std::string& title, int owner);
  WindowHandle FindWindow(const std::string& className, const std::string& title) const;
  const std::vector<SimPostedMessage>& Posted() const { return posted_; }
  void Post(const SimPostedMessage& message) { posted_.push_back(message); }
  const std::vector<SimForegroundPermission>& ForegroundPermissions() const {
    return permissions_;
  }
  void AllowForeground(int fromProcess, std::uint32_t processId) {
    permissions_.push_back({fromProcess, processId, posted_.size()});
  }

  // A process ends: its mutex handles and windows go with it.
  void EndProcess(int processId);

 private:
  int lastProcessId_ = 0;
  WindowHandle lastWindow_ = 0x10000;
  // Kernel object names are case-sensitive.
  std::map<std::string, std::vector<int>> mutexHolders_;
  std::vector<SimTopLevelWindow> windows_;
  std::vector<SimPostedMessage> posted_;
  std::vector<SimForegroundPermission> permissions_;
};

// One simulated process: its command line, module path, handles and sleeps, and which
// functions its user32 exports (a missing export makes GetProcAddress return 0).
class SimProcess : public IProcess, public IWindowMessages {
 public:
  SimProcess(SimProcessWorld& world, std::string commandLine,
             std::string modulePath = "C:\\Program Files\\Zelkor\\Velmora\\Velmora.exe");
  ~SimProcess() override;

  int Id() const { return id_; }
  std::uint32_t SleptMilliseconds() const { return slept_; }
  int MutexCreateCalls() const { return mutexCreates_; }
  const std::vector<std::uint32_t>& OpenMutexAccessRequests() const { return openAccess_; }

  std::string GetCommandLineA() override { return commandLine_; }
  std::string GetModuleFileNameA() override { return modulePath_; }
  Handle OpenMutexA(std::uint32_t desiredAccess, bool inheritHandle,
                    const std::string& name) override;
  Handle CreateMutexA(bool initialOwner, const std::string& name) override;
  void Sleep(std::uint32_t milliseconds) override { slept_ += milliseconds; }

  WindowHandle FindWindowA(const std::string& className, const std::string& windowName) override;
  bool PostMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                    std::intptr_t lParam) override;
  ModuleHandle GetModuleHandleA(const std::string& moduleName) override;
  ProcAddress GetProcAddress(ModuleHandle module, const std::string& procName) override;
  bool AllowSetForegroundWindow(ProcAddress function, std::uint32_t processId) override;

  std::set<std::string> user32Exports{"AllowSetForegroundWindow"};

 private:
  ProcAddress AddressOf(const std::string& procName) const;

  SimProcessWorld& world_;
  int id_;
  std::string commandLine_;
  std::string modulePath_;
  Handle lastHandle_ = 0x100;
  std::uint32_t slept_ = 0;
  int mutexCreates_ = 0;
  std::vector<std::uint32_t> openAccess_;
};

}  // namespace velmora::sim
