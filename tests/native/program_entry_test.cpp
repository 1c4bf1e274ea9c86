#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "app/InstanceProtocol.h"
#include "app/ProgramEntry.h"
#include "sim/SimProcessWorld.h"

namespace velmora {
namespace {

// Records what the entry asks of the framework, and can throw from any step.
class RecordingFramework : public IApplicationFramework {
 public:
  std::vector<std::string> calls;
  std::string throwAt;
  bool throwNonException = false;

  void Initialize() override { Step("Initialize"); }
  void SetTitle(const std::string& title) override { Step("SetTitle " + title); }
  void CreateMainForm() override { Step("CreateMainForm"); }
  void CreateOverlayForm() override { Step("CreateOverlayForm"); }
  void SetMessageFilter(MessageFilter) override { Step("SetMessageFilter"); }
  void Run() override { Step("Run"); }
  void ShowException(const std::string& message) override {
    calls.push_back("ShowException [" + message + "]");
  }

 private:
  void Step(const std::string& name) {
    calls.push_back(name);
    if (name.rfind(throwAt, 0) == 0 && !throwAt.empty()) {
      if (throwNonException) throw 42;
      throw std::runtime_error("boom in " + name);
    }
  }
};

int NoTurnOff() {
  ADD_FAILURE() << "the feature was turned off without a window";
  return -1;
}

TEST(ProgramEntry, FirstStartRunsTheFrameworkInOrder) {
  sim::SimProcessWorld world;
  sim::SimProcess process(world, "Velmora.exe");
  RecordingFramework app;
  EXPECT_EQ(RunProgramEntry(process, process, app, NoTurnOff), 0);
  EXPECT_EQ(app.calls, (std::vector<std::string>{"Initialize", "SetTitle ZelkorVelmora",
                                                 "CreateMainForm", "CreateOverlayForm", "Run"}));
}

TEST(ProgramEntry, RefusedStartNeverTouchesTheFramework) {
  sim::SimProcessWorld world;
  sim::SimProcess first(world, "Velmora.exe");
  RecordingFramework firstApp;
  RunProgramEntry(first, first, firstApp, NoTurnOff);
  world.AddWindow(kApplicationWindowClass, kApplicationTitle, first.Id());

  for (const char* commandLine : {"Velmora.exe", "Velmora.exe /uninstall"}) {
    sim::SimProcess second(world, commandLine);
    RecordingFramework app;
    EXPECT_EQ(RunProgramEntry(second, second, app, NoTurnOff), 0);
    EXPECT_TRUE(app.calls.empty()) << commandLine;
  }
}

TEST(ProgramEntry, UninstallAloneTurnsTheFeatureOffWithoutTheFrameworkAndEndsWithItsResult) {
  sim::SimProcessWorld world;
  sim::SimProcess process(world, "Velmora.exe /UNINSTALL");
  RecordingFramework app;
  int turnOffs = 0;
  EXPECT_EQ(RunProgramEntry(process, process, app, [&] { return ++turnOffs + 1; }), 2);
  EXPECT_EQ(turnOffs, 1);
  EXPECT_TRUE(app.calls.empty());
}

TEST(ProgramEntry, EscapingExceptionIsShownAndTheEntryStillReturnsZero) {
  for (const char* step : {"Initialize", "SetTitle", "CreateMainForm", "CreateOverlayForm", "Run"}) {
    sim::SimProcessWorld world;
    sim::SimProcess process(world, "Velmora.exe");
    RecordingFramework app;
    app.throwAt = step;
    EXPECT_EQ(RunProgramEntry(process, process, app, NoTurnOff), 0);
    ASSERT_FALSE(app.calls.empty());
    EXPECT_EQ(app.calls.back().rfind("ShowException [boom in " + std::string(step), 0), 0u)
        << app.calls.back();
  }
}

TEST(ProgramEntry, AThrownNonExceptionIsShownWithAnEmptyMessage) {
  sim::SimProcessWorld world;
  sim::SimProcess process(world, "Velmora.exe");
  RecordingFramework app;
  app.throwAt = "Run";
  app.throwNonException = true;
  EXPECT_EQ(RunProgramEntry(process, process, app, NoTurnOff), 0);
  EXPECT_EQ(app.calls.back(), "ShowException []");
}

}  // namespace
}  // namespace velmora
