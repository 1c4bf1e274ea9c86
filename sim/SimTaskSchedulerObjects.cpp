#include "sim/SimTaskSchedulerObjects.h"

#include <functional>

#include "config/MemIniFile.h"

namespace velmora::sim {
namespace {

using Object = SimTaskScheduler::Object;
using Definition = std::shared_ptr<SimTaskDefinition>;

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}
std::string BoolText(bool value) {
  return value ? "true" : "false";
}

// Sets an out parameter to null first, as COM methods do, and hands it the object on success.
template <class Out>
HResult Hand(Out** out, const std::optional<HResult>& failed, const std::function<Out*()>& make) {
  if (out == nullptr) return com::kEPointer;
  *out = nullptr;
  if (failed) return *failed;
  *out = make();
  return com::kSOk;
}

class SimRegisteredTask final : public tasks::IRegisteredTask, public Object {
 public:
  explicit SimRegisteredTask(SimTaskScheduler& owner) : Object(owner, "IRegisteredTask") {}
  std::uint32_t Release() override { return ReleaseReference(); }
};

class SimRegistrationInfo final : public tasks::IRegistrationInfo, public Object {
 public:
  SimRegistrationInfo(SimTaskScheduler& owner, Definition data)
      : Object(owner, "IRegistrationInfo"), data_(std::move(data)) {}
  std::uint32_t Release() override { return ReleaseReference(); }
  HResult put_Author(const std::string& author) override {
    if (auto failed = Begin("put_Author", Quoted(author))) return *failed;
    data_->author = author;
    return com::kSOk;
  }

 private:
  Definition data_;
};

class SimPrincipal final : public tasks::IPrincipal, public Object {
 public:
  SimPrincipal(SimTaskScheduler& owner, Definition data)
      : Object(owner, "IPrincipal"), data_(std::move(data)) {}
  std::uint32_t Release() override { return ReleaseReference(); }
  HResult put_RunLevel(std::int32_t runLevel) override {
    if (auto failed = Begin("put_RunLevel", std::to_string(runLevel))) return *failed;
    if (runLevel != com::kTaskRunlevelLua && runLevel != com::kTaskRunlevelHighest) {
      return com::kEInvalidArg;
    }
    data_->runLevel = runLevel;
    return com::kSOk;
  }

 private:
  Definition data_;
};

class SimSettings final : public tasks::ITaskSettings, public Object {
 public:
  SimSettings(SimTaskScheduler& owner, Definition data)
      : Object(owner, "ITaskSettings"), data_(std::move(data)) {}
  std::uint32_t Release() override { return ReleaseReference(); }
  HResult put_StartWhenAvailable(bool value) override {
    if (auto failed = Begin("put_StartWhenAvailable", BoolText(value))) return *failed;
    data_->startWhenAvailable = value;
    return com::kSOk;
  }
  HResult put_DeleteExpiredTaskAfter(const std::string& duration) override {
    if (auto failed = Begin("put_DeleteExpiredTaskAfter", Quoted(duration))) return *failed;
    data_->deleteExpiredTaskAfter = duration;
    return com::kSOk;
  }
  HResult put_ExecutionTimeLimit(const std::string& duration) override {
    if (auto failed = Begin("put_ExecutionTimeLimit", Quoted(duration))) return *failed;
    data_->executionTimeLimit = duration;
    return com::kSOk;
  }
  HResult put_DisallowStartIfOnBatteries(bool value) override {
    if (auto failed = Begin("put_DisallowStartIfOnBatteries", BoolText(value))) return *failed;
    data_->disallowStartIfOnBatteries = value;
    return com::kSOk;
  }
  HResult put_StopIfGoingOnBatteries(bool value) override {
    if (auto failed = Begin("put_StopIfGoingOnBatteries", BoolText(value))) return *failed;
    data_->stopIfGoingOnBatteries = value;
    return com::kSOk;
  }

 private:
  Definition data_;
};

class SimLogonTrigger final : public tasks::ILogonTrigger, public Object {
 public:
  SimLogonTrigger(SimTaskScheduler& owner, Definition data, std::size_t index)
      : Object(owner, "ILogonTrigger"), data_(std::move(data)), index_(index) {}
  std::uint32_t Release() override { return ReleaseReference(); }
  HResult put_Enabled(bool value) override {
    if (auto failed = Begin("put_Enabled", BoolText(value))) return *failed;
    data_->triggers.at(index_).enabled = value;
    return com::kSOk;
  }

 private:
  Definition data_;
  std::size_t index_;
};

class SimTriggerObject final : public tasks::ITrigger, public Object {
 public:
  SimTriggerObject(SimTaskScheduler& owner, Definition data, std::size_t index)
      : Object(owner, "ITrigger"), data_(std::move(data)), index_(index) {}
  std::uint32_t Release() override { return ReleaseReference(); }
  HResult QueryInterface(tasks::ILogonTrigger** logonTrigger) override {
    std::optional<HResult> failed = Begin("QueryInterface", GuidText(com::kIidILogonTrigger));
    if (!failed && data_->triggers.at(index_).type != com::kTaskTriggerLogon) {
      failed = com::kENoInterface;
    }
    return Hand<tasks::ILogonTrigger>(
        logonTrigger, failed, [this] { return owner_.Make<SimLogonTrigger>(data_, index_); });
  }

 private:
  Definition data_;
  std::size_t index_;
};

class SimTriggerCollection final : public tasks::ITriggerCollection, public Object {
 public:
  SimTriggerCollection(SimTaskScheduler& owner, Definition data)
      : Object(owner, "ITriggerCollection"), data_(std::move(data)) {}
  std::uint32_t Release() override { return ReleaseReference(); }
  HResult Create(std::int32_t type, tasks::ITrigger** trigger) override {
    std::optional<HResult> failed = Begin("Create", std::to_string(type));
    if (!failed && (type < 0 || type > 11)) failed = com::kEInvalidArg;
    return Hand<tasks::ITrigger>(trigger, failed, [this, type] {
      data_->triggers.push_back(SimTrigger{type, true, "", ""});
      return owner_.Make<SimTriggerObject>(data_, data_->triggers.size() - 1);
    });
  }

 private:
  Definition data_;
};

class SimExecAction final : public tasks::IExecAction, public Object {
 public:
  SimExecAction(SimTaskScheduler& owner, Definition data, std::size_t index)
      : Object(owner, "IExecAction"), data_(std::move(data)), index_(index) {}
  std::uint32_t Release() override { return ReleaseReference(); }
  HResult put_Path(const std::string& path) override {
    if (auto failed = Begin("put_Path", Quoted(path))) return *failed;
    data_->actions.at(index_).path = path;
    return com::kSOk;
  }

 private:
  Definition data_;
  std::size_t index_;
};

class SimActionObject final : public tasks::IAction, public Object {
 public:
  SimActionObject(SimTaskScheduler& owner, Definition data, std::size_t index)
      : Object(owner, "IAction"), data_(std::move(data)), index_(index) {}
  std::uint32_t Release() override { return ReleaseReference(); }
  HResult QueryInterface(tasks::IExecAction** execAction) override {
    std::optional<HResult> failed = Begin("QueryInterface", GuidText(com::kIidIExecAction));
    if (!failed && data_->actions.at(index_).type != com::kTaskActionExec) {
      failed = com::kENoInterface;
    }
    return Hand<tasks::IExecAction>(execAction, failed,
                                    [this] { return owner_.Make<SimExecAction>(data_, index_); });
  }

 private:
  Definition data_;
  std::size_t index_;
};

class SimActionCollection final : public tasks::IActionCollection, public Object {
 public:
  SimActionCollection(SimTaskScheduler& owner, Definition data)
      : Object(owner, "IActionCollection"), data_(std::move(data)) {}
  std::uint32_t Release() override { return ReleaseReference(); }
  HResult Create(std::int32_t type, tasks::IAction** action) override {
    std::optional<HResult> failed = Begin("Create", std::to_string(type));
    // Exec, COM handler, e-mail, message box.
    if (!failed && type != 0 && (type < 5 || type > 7)) failed = com::kEInvalidArg;
    return Hand<tasks::IAction>(action, failed, [this, type] {
      data_->actions.push_back(SimAction{type, "", ""});
      return owner_.Make<SimActionObject>(data_, data_->actions.size() - 1);
    });
  }

 private:
  Definition data_;
};

class SimDefinition final : public tasks::ITaskDefinition, public Object {
 public:
  explicit SimDefinition(SimTaskScheduler& owner)
      : Object(owner, "ITaskDefinition"), data_(std::make_shared<SimTaskDefinition>()) {}
  std::uint32_t Release() override { return ReleaseReference(); }
  const SimTaskDefinition& Data() const { return *data_; }

  HResult get_RegistrationInfo(tasks::IRegistrationInfo** info) override {
    return Hand<tasks::IRegistrationInfo>(info, Begin("get_RegistrationInfo", ""), [this] {
      return owner_.Make<SimRegistrationInfo>(data_);
    });
  }
  HResult get_Principal(tasks::IPrincipal** principal) override {
    return Hand<tasks::IPrincipal>(principal, Begin("get_Principal", ""),
                                   [this] { return owner_.Make<SimPrincipal>(data_); });
  }
  HResult get_Settings(tasks::ITaskSettings** settings) override {
    return Hand<tasks::ITaskSettings>(settings, Begin("get_Settings", ""),
                                      [this] { return owner_.Make<SimSettings>(data_); });
  }
  HResult get_Triggers(tasks::ITriggerCollection** triggers) override {
    return Hand<tasks::ITriggerCollection>(triggers, Begin("get_Triggers", ""), [this] {
      return owner_.Make<SimTriggerCollection>(data_);
    });
  }
  HResult get_Actions(tasks::IActionCollection** actions) override {
    return Hand<tasks::IActionCollection>(actions, Begin("get_Actions", ""), [this] {
      return owner_.Make<SimActionCollection>(data_);
    });
  }

 private:
  Definition data_;
};

class SimFolder final : public tasks::ITaskFolder, public Object {
 public:
  explicit SimFolder(SimTaskScheduler& owner) : Object(owner, "ITaskFolder") {}
  std::uint32_t Release() override { return ReleaseReference(); }

  HResult DeleteTask(const std::string& name, std::int32_t flags) override {
    if (auto failed = Begin("DeleteTask", Quoted(name) + ", " + std::to_string(flags))) {
      return *failed;
    }
    if (flags != 0) return com::kEInvalidArg;
    return owner_.Tasks().erase(UpperAscii(name)) != 0 ? com::kSOk : com::kHrFileNotFound;
  }

  HResult RegisterTaskDefinition(const std::string& path, tasks::ITaskDefinition* definition,
                                 std::int32_t flags, const VariantArg& userId,
                                 const VariantArg& password, std::int32_t logonType,
                                 const VariantArg& sddl, tasks::IRegisteredTask** task) override {
    std::optional<HResult> failed = Begin(
        "RegisterTaskDefinition", Quoted(path) + ", " + (definition ? "definition" : "null") +
                                      ", " + std::to_string(flags) + ", " + VariantText(userId) +
                                      ", " + VariantText(password) + ", " +
                                      std::to_string(logonType) + ", " + VariantText(sddl));
    if (task != nullptr) *task = nullptr;
    if (failed) return *failed;
    const auto* simDefinition = dynamic_cast<const SimDefinition*>(definition);
    if (simDefinition == nullptr) return com::kEPointer;
    if (const HResult checked = Check(path, flags, simDefinition->Data()); checked != com::kSOk) {
      return checked;
    }
    SimScheduledTask& stored = owner_.Tasks()[UpperAscii(path)];
    stored.name = path;
    stored.definition = simDefinition->Data();
    stored.userId = userId;
    stored.password = password;
    stored.logonType = logonType;
    stored.sddl = sddl;
    ++stored.registrations;
    if (task != nullptr) *task = owner_.Make<SimRegisteredTask>();
    return com::kSOk;
  }

 private:
  HResult Check(const std::string& path, std::int32_t flags, const SimTaskDefinition& data) {
    const bool exists = owner_.Tasks().count(UpperAscii(path)) != 0;
    if ((flags & com::kTaskCreateOrUpdate) == 0) return com::kEInvalidArg;
    if (exists && (flags & com::kTaskUpdate) == 0) return com::kHrAlreadyExists;
    if (!exists && (flags & com::kTaskCreate) == 0) return com::kHrFileNotFound;
    if (data.actions.empty()) return com::kSchedEMissingNode;
    return com::kSOk;
  }
};

class SimService final : public tasks::ITaskService, public Object {
 public:
  explicit SimService(SimTaskScheduler& owner) : Object(owner, "ITaskService") {}
  std::uint32_t Release() override { return ReleaseReference(); }

  HResult Connect(const VariantArg& serverName, const VariantArg& user, const VariantArg& domain,
                  const VariantArg& password) override {
    if (auto failed = Begin("Connect", VariantText(serverName) + ", " + VariantText(user) + ", " +
                                           VariantText(domain) + ", " + VariantText(password))) {
      return *failed;
    }
    connected_ = true;
    return com::kSOk;
  }
  HResult GetFolder(const std::string& path, tasks::ITaskFolder** folder) override {
    std::optional<HResult> failed = Begin("GetFolder", Quoted(path));
    if (!failed && !connected_) failed = com::kHrOnlyIfConnected;
    if (!failed && path != "\\") failed = com::kHrFileNotFound;
    return Hand<tasks::ITaskFolder>(folder, failed, [this] { return owner_.Make<SimFolder>(); });
  }
  HResult NewTask(std::uint32_t flags, tasks::ITaskDefinition** definition) override {
    std::optional<HResult> failed = Begin("NewTask", std::to_string(flags));
    if (!failed && !connected_) failed = com::kHrOnlyIfConnected;
    if (!failed && flags != 0) failed = com::kEInvalidArg;
    return Hand<tasks::ITaskDefinition>(definition, failed,
                                        [this] { return owner_.Make<SimDefinition>(); });
  }

 private:
  bool connected_ = false;
};

}  // namespace

tasks::ITaskService* MakeSimTaskService(SimTaskScheduler& owner) {
  return owner.Make<SimService>();
}

}  // namespace velmora::sim
