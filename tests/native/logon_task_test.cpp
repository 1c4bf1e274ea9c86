// The logon task sequence against the simulated Task Scheduler: every call and argument, every
// release, and a failure at each step.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "power/AdvReg.h"
#include "power/LogonTask.h"
#include "sim/SimTaskScheduler.h"

namespace velmora {
namespace {

constexpr const char* kExe = "C:\\Program Files\\Zelkor\\Velmora.exe";

const std::vector<std::string> kRegisterCalls = {
    "CoInitializeEx(2)",
    "CoInitializeSecurity(-1, 6, 3, 0)",
    "CoCreateInstance({0F87369F-A4E5-4CFC-BD3E-73E6154572DD}, 1, "
    "{2FABA4C7-4DA9-4013-9697-20CC3FD40F85})",
    "ITaskService::Connect(empty, empty, empty, empty)",
    "ITaskService::GetFolder(\"\\\")",
    "ITaskFolder::DeleteTask(\"zZelkorVelmora\", 0)",
    "ITaskService::NewTask(0)",
    "ITaskService::Release",
    "ITaskDefinition::get_RegistrationInfo()",
    "IRegistrationInfo::put_Author(\"Author Name\")",
    "IRegistrationInfo::Release",
    "ITaskDefinition::get_Principal()",
    "IPrincipal::put_RunLevel(1)",
    "IPrincipal::Release",
    "ITaskDefinition::get_Settings()",
    "ITaskSettings::put_StartWhenAvailable(true)",
    "ITaskSettings::put_DeleteExpiredTaskAfter(\"\")",
    "ITaskSettings::put_ExecutionTimeLimit(\"PT0S\")",
    "ITaskSettings::put_DisallowStartIfOnBatteries(false)",
    "ITaskSettings::put_StopIfGoingOnBatteries(false)",
    "ITaskSettings::Release",
    "ITaskDefinition::get_Triggers()",
    "ITriggerCollection::Create(9)",
    "ITrigger::QueryInterface({72DADE38-FAE4-4B3E-BAF4-5D009AF02B1C})",
    "ILogonTrigger::put_Enabled(true)",
    "ILogonTrigger::Release",
    "ITrigger::Release",
    "ITriggerCollection::Release",
    "ITaskDefinition::get_Actions()",
    "IActionCollection::Create(0)",
    "IAction::QueryInterface({4C3D624D-FD6B-49A3-B9B7-09CB3CD3F047})",
    "IExecAction::put_Path(\"C:\\Program Files\\Zelkor\\Velmora.exe\")",
    "IExecAction::Release",
    "IAction::Release",
    "IActionCollection::Release",
    "ITaskFolder::RegisterTaskDefinition(\"zZelkorVelmora\", definition, 6, \"\", empty, 3, "
    "\"\")",
    "IRegisteredTask::Release",
    "ITaskDefinition::Release",
    "ITaskFolder::Release",
    "CoUninitialize",
};

// Nothing held, COM back where it was, no misuse noticed.
void ExpectCleanExit(const sim::SimTaskScheduler& scheduler) {
  EXPECT_EQ(scheduler.HeldReferences(), 0);
  EXPECT_EQ(scheduler.ComInitialisations(), 0);
  EXPECT_TRUE(scheduler.Faults().empty()) << scheduler.Faults().front();
}

sim::SimScheduledTask OldTask() {
  sim::SimScheduledTask task;
  task.name = "ZZELKORVELMORA";
  task.definition.author = "someone";
  task.definition.actions.push_back({0, "C:\\Old\\Velmora.exe", ""});
  task.registrations = 1;
  return task;
}

TEST(LogonTask, RegisteringMakesEveryCallWithTheTablesArgumentsAndReleasesAll) {
  sim::SimTaskScheduler scheduler;
  EXPECT_TRUE(RegisterLogonTask(scheduler, kAutoStartName, kExe));
  EXPECT_EQ(scheduler.Calls(), kRegisterCalls);
  ExpectCleanExit(scheduler);
}

TEST(LogonTask, TheRegisteredTaskHasEveryPropertyOfTheLogonTask) {
  sim::SimTaskScheduler scheduler;
  ASSERT_TRUE(RegisterLogonTask(scheduler, kAutoStartName, kExe));
  const auto task = scheduler.Task("zZelkorVelmora");
  ASSERT_TRUE(task);
  EXPECT_EQ(task->name, "zZelkorVelmora");
  EXPECT_EQ(task->definition.author, "Author Name");
  EXPECT_EQ(task->definition.runLevel, com::kTaskRunlevelHighest);
  EXPECT_TRUE(task->definition.startWhenAvailable);
  EXPECT_EQ(task->definition.deleteExpiredTaskAfter, "");
  EXPECT_EQ(task->definition.executionTimeLimit, "PT0S");
  EXPECT_FALSE(task->definition.disallowStartIfOnBatteries);
  EXPECT_FALSE(task->definition.stopIfGoingOnBatteries);
  // The program stays resident for the whole session: a month, and a switch to battery.
  EXPECT_FALSE(task->definition.StopsInstanceAfter(24 * 31, true));
  ASSERT_EQ(task->definition.triggers.size(), 1u);
  EXPECT_EQ(task->definition.triggers[0].type, com::kTaskTriggerLogon);
  EXPECT_TRUE(task->definition.triggers[0].enabled);
  EXPECT_EQ(task->definition.triggers[0].userId, "");
  EXPECT_EQ(task->definition.triggers[0].delay, "");
  ASSERT_EQ(task->definition.actions.size(), 1u);
  EXPECT_EQ(task->definition.actions[0].type, com::kTaskActionExec);
  EXPECT_EQ(task->definition.actions[0].path, kExe);
  EXPECT_EQ(task->definition.actions[0].arguments, "");
  EXPECT_EQ(task->logonType, com::kTaskLogonInteractiveToken);
  EXPECT_EQ(task->userId, VariantArg(""));
  EXPECT_EQ(task->password, VariantArg());
  EXPECT_EQ(task->sddl, VariantArg(""));
}

TEST(LogonTask, RegisteringTwiceLeavesExactlyOneTask) {
  sim::SimTaskScheduler scheduler;
  ASSERT_TRUE(RegisterLogonTask(scheduler, kAutoStartName, kExe));
  scheduler.ClearCalls();
  // Process security is set by now: the second sequence gets RPC_E_TOO_LATE and goes on.
  ASSERT_TRUE(RegisterLogonTask(scheduler, kAutoStartName, "C:\\New\\Velmora.exe"));
  // The same calls again, the delete now finding the first task.
  EXPECT_EQ(scheduler.Calls().size(), kRegisterCalls.size());
  EXPECT_EQ(scheduler.TaskNames(), std::vector<std::string>{"zZelkorVelmora"});
  EXPECT_EQ(scheduler.Task(kAutoStartName)->registrations, 1);  // deleted, then created anew
  EXPECT_EQ(scheduler.Task(kAutoStartName)->definition.actions.size(), 1u);
  EXPECT_EQ(scheduler.Task(kAutoStartName)->definition.actions[0].path, "C:\\New\\Velmora.exe");
  ExpectCleanExit(scheduler);
}

TEST(LogonTask, RemovingATaskThatDoesNotExistGivesTrueAndCreatesNothing) {
  sim::SimTaskScheduler scheduler;
  EXPECT_TRUE(RemoveLogonTask(scheduler, kAutoStartName));
  std::vector<std::string> expected(kRegisterCalls.begin(), kRegisterCalls.begin() + 6);
  expected.insert(expected.end(),
                  {"ITaskFolder::Release", "ITaskService::Release", "CoUninitialize"});
  EXPECT_EQ(scheduler.Calls(), expected);
  EXPECT_TRUE(scheduler.TaskNames().empty());
  ExpectCleanExit(scheduler);
}

TEST(LogonTask, RemovingDeletesTheTaskWhateverTheLetterCase) {
  sim::SimTaskScheduler scheduler;
  scheduler.AddTask(OldTask());
  EXPECT_TRUE(RemoveLogonTask(scheduler, kAutoStartName));
  EXPECT_TRUE(scheduler.TaskNames().empty());
  ExpectCleanExit(scheduler);
}

TEST(LogonTask, AFailedDeleteDoesNotStopTheRegistration) {
  sim::SimTaskScheduler scheduler;
  scheduler.AddTask(OldTask());
  scheduler.FailCall("ITaskFolder::DeleteTask", com::kEAccessDenied);
  EXPECT_TRUE(RegisterLogonTask(scheduler, kAutoStartName, kExe));
  EXPECT_EQ(scheduler.Task(kAutoStartName)->definition.actions[0].path, kExe);
  EXPECT_EQ(scheduler.Task(kAutoStartName)->registrations, 2);  // updated in place
  ExpectCleanExit(scheduler);
}

TEST(LogonTask, SecuritySetBySomeoneElseIsAccepted) {
  sim::SimTaskScheduler scheduler;
  scheduler.SetSecurityAlreadyInitialised();
  EXPECT_TRUE(RegisterLogonTask(scheduler, kAutoStartName, kExe));
  ExpectCleanExit(scheduler);
}

TEST(LogonTask, AnyOtherSecurityFailureGivesFalseAndUninitialises) {
  sim::SimTaskScheduler scheduler;
  scheduler.FailCall("CoInitializeSecurity", com::kEOutOfMemory);
  const LogonTaskOutcome outcome = RunLogonTaskSequence(scheduler, kAutoStartName, kExe);
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.failedCall, "CoInitializeSecurity");
  EXPECT_EQ(scheduler.Calls(),
            (std::vector<std::string>{"CoInitializeEx(2)", "CoInitializeSecurity(-1, 6, 3, 0)",
                                      "CoUninitialize"}));
  ExpectCleanExit(scheduler);
}

TEST(LogonTask, AThreadAlreadyInTheMultithreadedApartmentIsNotUninitialised) {
  sim::SimTaskScheduler scheduler;
  scheduler.SetThreadInMultithreadedApartment();
  EXPECT_TRUE(RegisterLogonTask(scheduler, kAutoStartName, kExe));
  EXPECT_NE(scheduler.Calls().back(), "CoUninitialize");
  ExpectCleanExit(scheduler);
}

TEST(LogonTask, AFailedInitialisationIsNotBalancedByAnUninitialise) {
  sim::SimTaskScheduler scheduler;
  scheduler.FailCall("CoInitializeEx", com::kEOutOfMemory);
  const LogonTaskOutcome outcome = RunLogonTaskSequence(scheduler, kAutoStartName, kExe);
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.failedCall, "CoInitializeEx");
  EXPECT_EQ(outcome.result, com::kEOutOfMemory);
  EXPECT_EQ(scheduler.Calls(), std::vector<std::string>{"CoInitializeEx(2)"});
  ExpectCleanExit(scheduler);
}

// A failure injected at each call of the registration.
class LogonTaskStepFailure : public ::testing::TestWithParam<std::string> {};

TEST_P(LogonTaskStepFailure, StopsThereReleasesEverythingAndUninitialises) {
  const std::string step = GetParam();
  sim::SimTaskScheduler scheduler;
  scheduler.AddTask(OldTask());
  constexpr HResult kInjected = com::Hr(0x8007ABCD);
  scheduler.FailCall(step, kInjected);

  const LogonTaskOutcome outcome = RunLogonTaskSequence(scheduler, kAutoStartName, kExe);
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.failedCall, step);
  EXPECT_EQ(outcome.result, kInjected);
  ExpectCleanExit(scheduler);
  EXPECT_FALSE(WriteLogonTask(scheduler, kAutoStartName, kExe));

  // After the failing call only releases and the uninitialisation follow.
  const auto& calls = scheduler.Calls();
  std::size_t failedAt = 0;
  while (failedAt < calls.size() && !calls[failedAt].starts_with(step + "(")) ++failedAt;
  ASSERT_LT(failedAt, calls.size());
  for (std::size_t i = failedAt + 1; i < calls.size() && calls[i] != "CoInitializeEx(2)"; ++i) {
    EXPECT_TRUE(calls[i].ends_with("::Release") || calls[i] == "CoUninitialize") << calls[i];
  }
  // The old task is gone once the delete ran; nothing new was registered.
  const bool deleteRan = step != "CoInitializeSecurity" && step != "CoCreateInstance" &&
                         step != "ITaskService::Connect" && step != "ITaskService::GetFolder";
  EXPECT_EQ(scheduler.Task(kAutoStartName).has_value(), !deleteRan);
  if (!deleteRan) EXPECT_EQ(scheduler.Task(kAutoStartName)->definition.author, "someone");
}

std::vector<std::string> FailingSteps() {
  std::vector<std::string> steps;
  for (const std::string& call : kRegisterCalls) {
    const std::string name = call.substr(0, call.find('('));
    if (name.ends_with("::Release") || name == "CoUninitialize" || name == "CoInitializeEx" ||
        name == "ITaskFolder::DeleteTask") {
      continue;
    }
    steps.push_back(name);
  }
  return steps;
}

std::string StepName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name;
  for (char c : info.param) {
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(EachCall, LogonTaskStepFailure, ::testing::ValuesIn(FailingSteps()),
                         StepName);

TEST(LogonTask, ASuccessWithoutAnInterfaceIsAFailureNotACrash) {
  for (const char* step : {"CoCreateInstance", "ITaskService::GetFolder", "ITaskService::NewTask",
                           "ITaskDefinition::get_Principal", "ITriggerCollection::Create",
                           "ITrigger::QueryInterface", "IAction::QueryInterface"}) {
    sim::SimTaskScheduler scheduler;
    scheduler.FailCall(step, com::kSOk);
    const LogonTaskOutcome outcome = RunLogonTaskSequence(scheduler, kAutoStartName, kExe);
    EXPECT_FALSE(outcome.succeeded) << step;
    EXPECT_EQ(outcome.failedCall, step);
    EXPECT_EQ(outcome.result, com::kEPointer) << step;
    ExpectCleanExit(scheduler);
  }
}

TEST(LogonTask, EachFailingStepOfTheRemovalAlsoReleasesEverything) {
  for (const char* step :
       {"CoCreateInstance", "ITaskService::Connect", "ITaskService::GetFolder"}) {
    sim::SimTaskScheduler scheduler;
    scheduler.FailCall(step, com::kEFail);
    EXPECT_FALSE(RemoveLogonTask(scheduler, kAutoStartName)) << step;
    ExpectCleanExit(scheduler);
  }
}

}  // namespace
}  // namespace velmora
