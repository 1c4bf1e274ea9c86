#include <gtest/gtest.h>

#include "app/InstanceProtocol.h"
#include "app/SingleInstance.h"
#include "sim/SimProcessWorld.h"

namespace velmora {
namespace {

using sim::SimProcess;
using sim::SimProcessWorld;

constexpr char kExe[] = "\"C:\\Program Files\\Zelkor\\Velmora\\Velmora.exe\"";

// A first instance that got through the check and created its application window.
struct RunningInstance {
  explicit RunningInstance(SimProcessWorld& world) : process(world, kExe) {
    started = CheckSingleInstance(process, process) == StartDecision::kRunProgram;
    window = world.AddWindow(kApplicationWindowClass, kApplicationTitle, process.Id());
  }
  SimProcess process;
  bool started = false;
  WindowHandle window = 0;
};

TEST(CommandLineAsksUninstall, AnyCaseAnywhere) {
  EXPECT_TRUE(CommandLineAsksUninstall("Velmora.exe /UNINSTALL"));
  EXPECT_TRUE(CommandLineAsksUninstall("Velmora.exe /uninstall"));
  EXPECT_TRUE(CommandLineAsksUninstall("Velmora.exe /UnInStAlL"));
  EXPECT_TRUE(CommandLineAsksUninstall("Velmora.exe x/uninstallY"));
  EXPECT_TRUE(CommandLineAsksUninstall("\"C:\\x\\/uninstall\\Velmora.exe\""));
  EXPECT_FALSE(CommandLineAsksUninstall("Velmora.exe /UNINSTAL"));
  EXPECT_FALSE(CommandLineAsksUninstall("Velmora.exe -UNINSTALL"));
  EXPECT_FALSE(CommandLineAsksUninstall("Velmora.exe \\UNINSTALL"));
  EXPECT_FALSE(CommandLineAsksUninstall(""));
}

TEST(CheckSingleInstance, FirstStartCreatesTheMutexAndContinues) {
  SimProcessWorld world;
  SimProcess first(world, kExe);
  EXPECT_EQ(CheckSingleInstance(first, first), StartDecision::kRunProgram);
  EXPECT_TRUE(world.MutexExists(kInstanceMutexName));
  EXPECT_EQ(first.MutexCreateCalls(), 1);
  ASSERT_EQ(first.OpenMutexAccessRequests().size(), 1u);
  EXPECT_EQ(first.OpenMutexAccessRequests()[0], 0x1F0001u);
  EXPECT_TRUE(world.Posted().empty());
}

TEST(CheckSingleInstance, SecondPlainStartPostsShowAndEnds) {
  SimProcessWorld world;
  RunningInstance first(world);
  ASSERT_TRUE(first.started);

  SimProcess second(world, kExe);
  EXPECT_EQ(CheckSingleInstance(second, second), StartDecision::kEnd);
  ASSERT_EQ(world.Posted().size(), 1u);
  const sim::SimPostedMessage& posted = world.Posted()[0];
  EXPECT_EQ(posted.window, first.window);
  EXPECT_EQ(posted.message, 0x819Fu);
  EXPECT_EQ(posted.wParam, 0u);
  EXPECT_EQ(posted.lParam, 0);
  EXPECT_EQ(second.SleptMilliseconds(), 0u);
  EXPECT_EQ(second.MutexCreateCalls(), 0);
}

// The running instance can bring its window to the front only with the foreground right, which
// the second start holds while the user starts it: it hands the right on before the request.
TEST(CheckSingleInstance, SecondStartAllowsAnyProcessTheForegroundBeforePostingShow) {
  SimProcessWorld world;
  RunningInstance first(world);
  SimProcess second(world, kExe);
  EXPECT_EQ(CheckSingleInstance(second, second), StartDecision::kEnd);
  ASSERT_EQ(world.ForegroundPermissions().size(), 1u);
  const sim::SimForegroundPermission& permission = world.ForegroundPermissions()[0];
  EXPECT_EQ(permission.fromProcess, second.Id());
  EXPECT_EQ(permission.processId, 0xFFFFFFFFu);  // ASFW_ANY
  EXPECT_EQ(permission.postedBefore, 0u);
  ASSERT_EQ(world.Posted().size(), 1u);
  EXPECT_EQ(world.Posted()[0].message, 0x819Fu);
}

TEST(CheckSingleInstance, WithoutAllowSetForegroundWindowTheShowRequestIsStillPosted) {
  SimProcessWorld world;
  RunningInstance first(world);
  SimProcess second(world, kExe);
  second.user32Exports.erase("AllowSetForegroundWindow");
  EXPECT_EQ(CheckSingleInstance(second, second), StartDecision::kEnd);
  EXPECT_TRUE(world.ForegroundPermissions().empty());
  ASSERT_EQ(world.Posted().size(), 1u);
  EXPECT_EQ(world.Posted()[0].window, first.window);
  EXPECT_EQ(world.Posted()[0].message, 0x819Fu);
}

TEST(CheckSingleInstance, UninstallWithARunningInstancePostsShutdownAndWaits200ms) {
  SimProcessWorld world;
  RunningInstance first(world);
  SimProcess uninstaller(world, std::string(kExe) + " /Uninstall");
  EXPECT_EQ(CheckSingleInstance(uninstaller, uninstaller), StartDecision::kEnd);
  ASSERT_EQ(world.Posted().size(), 1u);
  EXPECT_EQ(world.Posted()[0].message, 0x819Eu);
  EXPECT_EQ(world.Posted()[0].window, first.window);
  EXPECT_EQ(uninstaller.SleptMilliseconds(), 200u);
  EXPECT_EQ(uninstaller.MutexCreateCalls(), 0);
  EXPECT_TRUE(world.ForegroundPermissions().empty());  // the instance ends, it shows nothing
}

// Nothing runs that could be asked: this process turns the feature off itself, holding the
// mutex meanwhile so that a start in between finds it.
TEST(CheckSingleInstance, UninstallAloneTakesTheMutexAndTurnsTheFeatureOffItself) {
  SimProcessWorld world;
  SimProcess uninstaller(world, std::string(kExe) + " /UNINSTALL");
  EXPECT_EQ(CheckSingleInstance(uninstaller, uninstaller), StartDecision::kTurnOffAlone);
  EXPECT_TRUE(world.MutexExists(kInstanceMutexName));
  EXPECT_TRUE(world.Posted().empty());
  EXPECT_EQ(uninstaller.SleptMilliseconds(), 0u);
}

TEST(CheckSingleInstance, RunningInstanceWithoutItsWindowYetGetsNothing) {
  SimProcessWorld world;
  SimProcess first(world, kExe);
  ASSERT_EQ(CheckSingleInstance(first, first),
            StartDecision::kRunProgram);  // still starting: no application window yet
  for (const char* args : {"", " /UNINSTALL"}) {
    SimProcess later(world, std::string(kExe) + args);
    EXPECT_EQ(CheckSingleInstance(later, later), StartDecision::kEnd);
    EXPECT_EQ(later.SleptMilliseconds(), 0u);
  }
  EXPECT_TRUE(world.Posted().empty());
}

TEST(CheckSingleInstance, WindowOfAnotherTitleOrClassIsNotTheInstance) {
  SimProcessWorld world;
  SimProcess first(world, kExe);
  ASSERT_EQ(CheckSingleInstance(first, first), StartDecision::kRunProgram);
  world.AddWindow("TApplication", "Some other program", first.Id());
  world.AddWindow("TForm", kApplicationTitle, first.Id());
  SimProcess second(world, kExe);
  EXPECT_EQ(CheckSingleInstance(second, second), StartDecision::kEnd);
  EXPECT_TRUE(world.Posted().empty());
}

TEST(CheckSingleInstance, AfterTheFirstInstanceEndedANewStartRunsAgain) {
  SimProcessWorld world;
  {
    RunningInstance first(world);
    ASSERT_TRUE(first.started);
  }
  SimProcess next(world, kExe);
  EXPECT_EQ(CheckSingleInstance(next, next), StartDecision::kRunProgram);
}

}  // namespace
}  // namespace velmora
