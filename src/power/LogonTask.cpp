#include "power/LogonTask.h"

#include "power/LogonTaskComRef.h"
#include "power/LogonTaskDefinition.h"

namespace velmora {
namespace {

// COM for the calling thread, for the length of one sequence. CoUninitialize balances only a
// successful CoInitializeEx (S_OK or S_FALSE). A thread already in the multithreaded apartment
// (RPC_E_CHANGED_MODE) can still use COM, but that initialisation is not ours to undo.
class ComApartment {
 public:
  explicit ComApartment(ITaskSchedulerCom& com)
      : com_(com), result_(com.CoInitializeEx(com::kCoinitApartmentThreaded)) {}
  ~ComApartment() {
    if (com::Succeeded(result_)) com_.CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  bool Usable() const { return com::Succeeded(result_) || result_ == com::kRpcEChangedMode; }
  HResult Result() const { return result_; }

 private:
  ITaskSchedulerCom& com_;
  HResult result_;
};

LogonTaskOutcome InitialiseSecurity(ITaskSchedulerCom& com) {
  const HResult hr =
      com.CoInitializeSecurity(com::kDefaultAuthnServices, com::kRpcCAuthnLevelPktPrivacy,
                               com::kRpcCImpLevelImpersonate, com::kEoacNone);
  // Security can be set once per process; a second sequence finds it set already.
  if (hr == com::kRpcETooLate) return {};
  return CallOutcome("CoInitializeSecurity", hr);
}

LogonTaskOutcome ConnectRootFolder(ITaskSchedulerCom& com, ComRef<tasks::ITaskService>& service,
                                   ComRef<tasks::ITaskFolder>& folder) {
  LogonTaskOutcome outcome =
      CallOutcome("CoCreateInstance",
                  com.CoCreateInstance(com::kClsidTaskScheduler, com::kClsctxInprocServer,
                                       com::kIidITaskService, service.Out()),
                  service);
  if (!outcome.succeeded) return outcome;
  // Empty variants: the local machine, as the current user.
  outcome = CallOutcome("ITaskService::Connect", service->Connect({}, {}, {}, {}));
  if (!outcome.succeeded) return outcome;
  return CallOutcome("ITaskService::GetFolder", service->GetFolder(kTaskRootFolder, folder.Out()),
                     folder);
}

LogonTaskOutcome RegisterDefinition(ComRef<tasks::ITaskService>& service,
                                    tasks::ITaskFolder& folder, const std::string& taskName,
                                    const std::string& executablePath) {
  ComRef<tasks::ITaskDefinition> definition;
  const HResult hr = service->NewTask(0, definition.Out());
  service.Reset();
  LogonTaskOutcome outcome = CallOutcome("ITaskService::NewTask", hr, definition);
  if (outcome.succeeded) outcome = FillLogonTaskDefinition(*definition.Get(), executablePath);
  if (!outcome.succeeded) return outcome;
  ComRef<tasks::IRegisteredTask> registered;
  return CallOutcome(
      "ITaskFolder::RegisterTaskDefinition",
      folder.RegisterTaskDefinition(taskName, definition.Get(), com::kTaskCreateOrUpdate,
                                    VariantArg(""), VariantArg(), com::kTaskLogonInteractiveToken,
                                    VariantArg(""), registered.Out()));
}

}  // namespace

LogonTaskOutcome RunLogonTaskSequence(ITaskSchedulerCom& com, const std::string& taskName,
                                      const std::string& executablePath) {
  // Declared first, so that COM is uninitialised after every interface below is released.
  const ComApartment apartment(com);
  if (!apartment.Usable()) return CallOutcome("CoInitializeEx", apartment.Result());
  LogonTaskOutcome outcome = InitialiseSecurity(com);
  if (!outcome.succeeded) return outcome;

  ComRef<tasks::ITaskService> service;
  ComRef<tasks::ITaskFolder> folder;
  outcome = ConnectRootFolder(com, service, folder);
  if (!outcome.succeeded) return outcome;
  // The old task goes first; a missing one is no error.
  folder->DeleteTask(taskName, 0);
  if (executablePath.empty()) return {};
  return RegisterDefinition(service, *folder.Get(), taskName, executablePath);
}

bool WriteLogonTask(ITaskSchedulerCom& com, const std::string& taskName,
                    const std::string& executablePath) {
  return RunLogonTaskSequence(com, taskName, executablePath).succeeded;
}

bool RegisterLogonTask(ITaskSchedulerCom& com, const std::string& taskName,
                       const std::string& executablePath) {
  return WriteLogonTask(com, taskName, executablePath);
}

bool RemoveLogonTask(ITaskSchedulerCom& com, const std::string& taskName) {
  return WriteLogonTask(com, taskName, "");
}

}  // namespace velmora
