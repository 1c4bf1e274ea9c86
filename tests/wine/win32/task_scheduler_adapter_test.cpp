// The logon task through the COM adapter against Wine's Task Scheduler. Wine registers tasks
// and deletes them, but implements neither the highest run level nor logon triggers, so a full
// registration must fail there, cleanly.
#include <gtest/gtest.h>
#include <windows.h>
// COM, after windows.h.
#include <objbase.h>

#include <string>

#include "win32/Win32TaskScheduler.h"
#include "power/AdvReg.h"
#include "power/LogonTask.h"
#include "power/LogonTaskComRef.h"

namespace velmora::win32 {
namespace {

std::wstring TaskFile(const wchar_t* name) {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  return std::wstring(system) + L"\\Tasks\\" + name;
}

bool TaskFileExists(const wchar_t* name) {
  return GetFileAttributesW(TaskFile(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// COM is fully uninitialised on this thread when a new initialisation is the first again.
bool ComIsUninitialised() {
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (SUCCEEDED(hr)) CoUninitialize();
  return hr == S_OK;
}

// A task with one program action and no trigger, registered straight through the adapter.
HResult RegisterPlainTask(Win32TaskScheduler& com, const std::string& name) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  HResult hr = E_FAIL;
  {
    ComRef<tasks::ITaskService> service;
    ComRef<tasks::ITaskFolder> folder;
    ComRef<tasks::ITaskDefinition> definition;
    ComRef<tasks::IActionCollection> actions;
    ComRef<tasks::IAction> action;
    ComRef<tasks::IExecAction> exec;
    ComRef<tasks::IRegisteredTask> registered;
    hr = com.CoCreateInstance(com::kClsidTaskScheduler, com::kClsctxInprocServer,
                              com::kIidITaskService, service.Out());
    if (SUCCEEDED(hr)) hr = service->Connect({}, {}, {}, {});
    if (SUCCEEDED(hr)) hr = service->GetFolder("\\", folder.Out());
    if (SUCCEEDED(hr)) hr = service->NewTask(0, definition.Out());
    if (SUCCEEDED(hr)) hr = definition->get_Actions(actions.Out());
    if (SUCCEEDED(hr)) hr = actions->Create(com::kTaskActionExec, action.Out());
    if (SUCCEEDED(hr)) hr = action->QueryInterface(exec.Out());
    if (SUCCEEDED(hr)) hr = exec->put_Path("C:\\windows\\notepad.exe");
    if (SUCCEEDED(hr)) {
      hr = folder->RegisterTaskDefinition(
          name, definition.Get(), com::kTaskCreateOrUpdate, VariantArg(""), VariantArg(),
          com::kTaskLogonInteractiveToken, VariantArg(""), registered.Out());
    }
  }
  CoUninitialize();
  return hr;
}

TEST(Win32TaskScheduler, RemovingATaskThatDoesNotExistGivesTrue) {
  Win32TaskScheduler com;
  ASSERT_FALSE(TaskFileExists(L"zZelkorVelmora"));
  const LogonTaskOutcome outcome = RunLogonTaskSequence(com, kAutoStartName, "");
  EXPECT_TRUE(outcome.succeeded) << outcome.failedCall << " 0x" << std::hex << outcome.result;
  EXPECT_EQ(Win32TaskScheduler::LiveInterfaces(), 0);
  EXPECT_TRUE(ComIsUninitialised());
  // Security is set for the process now; the next sequence gets RPC_E_TOO_LATE and goes on.
  EXPECT_TRUE(RemoveLogonTask(com, kAutoStartName));
}

TEST(Win32TaskScheduler, ATaskRegisteredBeforehandIsRemoved) {
  Win32TaskScheduler com;
  ASSERT_EQ(RegisterPlainTask(com, kAutoStartName), S_OK);
  ASSERT_TRUE(TaskFileExists(L"zZelkorVelmora"));
  EXPECT_EQ(Win32TaskScheduler::LiveInterfaces(), 0);
  EXPECT_TRUE(RemoveLogonTask(com, kAutoStartName));
  EXPECT_FALSE(TaskFileExists(L"zZelkorVelmora"));
  EXPECT_EQ(Win32TaskScheduler::LiveInterfaces(), 0);
  EXPECT_TRUE(ComIsUninitialised());
}

TEST(Win32TaskScheduler, AFullRegistrationFailsCleanlyWhereWineStops) {
  Win32TaskScheduler com;
  ASSERT_EQ(RegisterPlainTask(com, kAutoStartName), S_OK);
  const LogonTaskOutcome outcome =
      RunLogonTaskSequence(com, kAutoStartName, "C:\\Program Files\\Zelkor\\Velmora.exe");
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.failedCall, "IPrincipal::put_RunLevel");
  EXPECT_EQ(outcome.result, E_NOTIMPL);
  EXPECT_EQ(Win32TaskScheduler::LiveInterfaces(), 0);
  EXPECT_TRUE(ComIsUninitialised());
  // The old task was deleted first; nothing was registered in its place.
  EXPECT_FALSE(TaskFileExists(L"zZelkorVelmora"));
}

TEST(Win32TaskScheduler, WinesTriggerCollectionCannotMakeALogonTrigger) {
  Win32TaskScheduler com;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    ComRef<tasks::ITaskService> service;
    ComRef<tasks::ITaskDefinition> definition;
    ComRef<tasks::ITriggerCollection> triggers;
    ComRef<tasks::ITrigger> trigger;
    ASSERT_EQ(com.CoCreateInstance(com::kClsidTaskScheduler, com::kClsctxInprocServer,
                                   com::kIidITaskService, service.Out()),
              S_OK);
    ASSERT_EQ(service->Connect({}, {}, {}, {}), S_OK);
    ASSERT_EQ(service->NewTask(0, definition.Out()), S_OK);
    ASSERT_EQ(definition->get_Triggers(triggers.Out()), S_OK);
    EXPECT_EQ(triggers->Create(com::kTaskTriggerLogon, trigger.Out()), E_NOTIMPL);
    EXPECT_FALSE(trigger);
  }
  CoUninitialize();
  EXPECT_EQ(Win32TaskScheduler::LiveInterfaces(), 0);
}

}  // namespace
}  // namespace velmora::win32
