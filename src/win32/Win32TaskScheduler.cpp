#include "win32/Win32TaskScheduler.h"

#include <objbase.h>

#include "win32/Win32TaskSchedulerCom.h"

namespace velmora::win32 {
namespace {

int liveWrappers = 0;

// Asks a COM object for another of its interfaces and hands that out as a new wrapper.
template <class Wrapper, class Com, class Port>
HResult QueryHandOut(IUnknown* object, const Guid& interfaceId, Port** out) {
  const GUID iid = ToGuid(interfaceId);
  Com* raw = nullptr;
  const HRESULT hr = object->QueryInterface(iid, reinterpret_cast<void**>(&raw));
  return HandOut<Wrapper>(hr, raw, out);
}

class RegisteredTask final : public ComWrapper<tasks::IRegisteredTask, ::IRegisteredTask> {
 public:
  using ComWrapper::ComWrapper;
};

class RegistrationInfo final : public ComWrapper<tasks::IRegistrationInfo, ::IRegistrationInfo> {
 public:
  using ComWrapper::ComWrapper;
  HResult put_Author(const std::string& author) override { return com_->put_Author(Bstr(author)); }
};

class Principal final : public ComWrapper<tasks::IPrincipal, ::IPrincipal> {
 public:
  using ComWrapper::ComWrapper;
  HResult put_RunLevel(std::int32_t runLevel) override {
    return com_->put_RunLevel(static_cast<TASK_RUNLEVEL_TYPE>(runLevel));
  }
};

class Settings final : public ComWrapper<tasks::ITaskSettings, ::ITaskSettings> {
 public:
  using ComWrapper::ComWrapper;
  HResult put_StartWhenAvailable(bool value) override {
    return com_->put_StartWhenAvailable(ToVariantBool(value));
  }
  HResult put_DeleteExpiredTaskAfter(const std::string& duration) override {
    return com_->put_DeleteExpiredTaskAfter(Bstr(duration));
  }
  HResult put_ExecutionTimeLimit(const std::string& duration) override {
    return com_->put_ExecutionTimeLimit(Bstr(duration));
  }
  HResult put_StopIfGoingOnBatteries(bool value) override {
    return com_->put_StopIfGoingOnBatteries(ToVariantBool(value));
  }
  HResult put_DisallowStartIfOnBatteries(bool value) override {
    return com_->put_DisallowStartIfOnBatteries(ToVariantBool(value));
  }
};

class LogonTrigger final : public ComWrapper<tasks::ILogonTrigger, ILogonTriggerCom> {
 public:
  using ComWrapper::ComWrapper;
  HResult put_Enabled(bool value) override { return com_->put_Enabled(ToVariantBool(value)); }
};

class Trigger final : public ComWrapper<tasks::ITrigger, ::ITrigger> {
 public:
  using ComWrapper::ComWrapper;
  HResult QueryInterface(tasks::ILogonTrigger** logonTrigger) override {
    return QueryHandOut<LogonTrigger, ILogonTriggerCom>(com_, com::kIidILogonTrigger, logonTrigger);
  }
};

class TriggerCollection final : public ComWrapper<tasks::ITriggerCollection, ::ITriggerCollection> {
 public:
  using ComWrapper::ComWrapper;
  HResult Create(std::int32_t type, tasks::ITrigger** trigger) override {
    ::ITrigger* raw = nullptr;
    const HRESULT hr = com_->Create(static_cast<TASK_TRIGGER_TYPE2>(type), &raw);
    return HandOut<Trigger>(hr, raw, trigger);
  }
};

class ExecAction final : public ComWrapper<tasks::IExecAction, ::IExecAction> {
 public:
  using ComWrapper::ComWrapper;
  HResult put_Path(const std::string& path) override { return com_->put_Path(Bstr(path)); }
};

class Action final : public ComWrapper<tasks::IAction, ::IAction> {
 public:
  using ComWrapper::ComWrapper;
  HResult QueryInterface(tasks::IExecAction** execAction) override {
    return QueryHandOut<ExecAction, ::IExecAction>(com_, com::kIidIExecAction, execAction);
  }
};

class ActionCollection final : public ComWrapper<tasks::IActionCollection, ::IActionCollection> {
 public:
  using ComWrapper::ComWrapper;
  HResult Create(std::int32_t type, tasks::IAction** action) override {
    ::IAction* raw = nullptr;
    const HRESULT hr = com_->Create(static_cast<TASK_ACTION_TYPE>(type), &raw);
    return HandOut<Action>(hr, raw, action);
  }
};

class TaskDefinition final : public ComWrapper<tasks::ITaskDefinition, ::ITaskDefinition> {
 public:
  using ComWrapper::ComWrapper;
  HResult get_RegistrationInfo(tasks::IRegistrationInfo** info) override {
    ::IRegistrationInfo* raw = nullptr;
    const HRESULT hr = com_->get_RegistrationInfo(&raw);
    return HandOut<RegistrationInfo>(hr, raw, info);
  }
  HResult get_Principal(tasks::IPrincipal** principal) override {
    ::IPrincipal* raw = nullptr;
    const HRESULT hr = com_->get_Principal(&raw);
    return HandOut<Principal>(hr, raw, principal);
  }
  HResult get_Settings(tasks::ITaskSettings** settings) override {
    ::ITaskSettings* raw = nullptr;
    const HRESULT hr = com_->get_Settings(&raw);
    return HandOut<Settings>(hr, raw, settings);
  }
  HResult get_Triggers(tasks::ITriggerCollection** triggers) override {
    ::ITriggerCollection* raw = nullptr;
    const HRESULT hr = com_->get_Triggers(&raw);
    return HandOut<TriggerCollection>(hr, raw, triggers);
  }
  HResult get_Actions(tasks::IActionCollection** actions) override {
    ::IActionCollection* raw = nullptr;
    const HRESULT hr = com_->get_Actions(&raw);
    return HandOut<ActionCollection>(hr, raw, actions);
  }
};

class TaskFolder final : public ComWrapper<tasks::ITaskFolder, ::ITaskFolder> {
 public:
  using ComWrapper::ComWrapper;
  HResult DeleteTask(const std::string& name, std::int32_t flags) override {
    return com_->DeleteTask(Bstr(name), flags);
  }
  HResult RegisterTaskDefinition(const std::string& path, tasks::ITaskDefinition* definition,
                                 std::int32_t flags, const VariantArg& userId,
                                 const VariantArg& password, std::int32_t logonType,
                                 const VariantArg& sddl, tasks::IRegisteredTask** task) override {
    // Every definition this adapter sees is one of its own wrappers.
    ::ITaskDefinition* raw =
        definition != nullptr ? static_cast<TaskDefinition*>(definition)->Raw() : nullptr;
    ::IRegisteredTask* registered = nullptr;
    const HRESULT hr = com_->RegisterTaskDefinition(
        Bstr(path), raw, flags, Variant(userId).Get(), Variant(password).Get(),
        static_cast<TASK_LOGON_TYPE>(logonType), Variant(sddl).Get(), &registered);
    return HandOut<RegisteredTask>(hr, registered, task);
  }
};

class TaskService final : public ComWrapper<tasks::ITaskService, ::ITaskService> {
 public:
  using ComWrapper::ComWrapper;
  HResult Connect(const VariantArg& serverName, const VariantArg& user, const VariantArg& domain,
                  const VariantArg& password) override {
    return com_->Connect(Variant(serverName).Get(), Variant(user).Get(), Variant(domain).Get(),
                         Variant(password).Get());
  }
  HResult GetFolder(const std::string& path, tasks::ITaskFolder** folder) override {
    ::ITaskFolder* raw = nullptr;
    const HRESULT hr = com_->GetFolder(Bstr(path), &raw);
    return HandOut<TaskFolder>(hr, raw, folder);
  }
  HResult NewTask(std::uint32_t flags, tasks::ITaskDefinition** definition) override {
    ::ITaskDefinition* raw = nullptr;
    const HRESULT hr = com_->NewTask(flags, &raw);
    return HandOut<TaskDefinition>(hr, raw, definition);
  }
};

}  // namespace

void CountWrapper(int change) {
  liveWrappers += change;
}

int Win32TaskScheduler::LiveInterfaces() {
  return liveWrappers;
}

HResult Win32TaskScheduler::CoInitializeEx(std::uint32_t coInit) {
  return ::CoInitializeEx(nullptr, coInit);
}

HResult Win32TaskScheduler::CoInitializeSecurity(std::int32_t authServices,
                                                 std::uint32_t authnLevel, std::uint32_t impLevel,
                                                 std::uint32_t capabilities) {
  return ::CoInitializeSecurity(nullptr, authServices, nullptr, nullptr, authnLevel, impLevel,
                                nullptr, capabilities, nullptr);
}

HResult Win32TaskScheduler::CoCreateInstance(const Guid& clsid, std::uint32_t clsContext,
                                             const Guid& iid, tasks::ITaskService** service) {
  const GUID classId = ToGuid(clsid);
  const GUID interfaceId = ToGuid(iid);
  ::ITaskService* raw = nullptr;
  const HRESULT hr =
      ::CoCreateInstance(classId, nullptr, clsContext, interfaceId, reinterpret_cast<void**>(&raw));
  return HandOut<TaskService>(hr, raw, service);
}

void Win32TaskScheduler::CoUninitialize() {
  ::CoUninitialize();
}

}  // namespace velmora::win32
