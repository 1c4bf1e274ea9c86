#include "power/LogonTaskDefinition.h"

#include "power/LogonTaskComRef.h"

namespace velmora {

LogonTaskOutcome CallOutcome(const char* call, HResult hr, bool gavePointer) {
  if (com::Succeeded(hr) && !gavePointer) hr = com::kEPointer;
  if (com::Succeeded(hr)) return {};
  return {false, call, hr};
}

namespace {

LogonTaskOutcome SetAuthor(tasks::ITaskDefinition& definition) {
  ComRef<tasks::IRegistrationInfo> info;
  const LogonTaskOutcome outcome = CallOutcome("ITaskDefinition::get_RegistrationInfo",
                                               definition.get_RegistrationInfo(info.Out()), info);
  if (!outcome.succeeded) return outcome;
  return CallOutcome("IRegistrationInfo::put_Author", info->put_Author(kLogonTaskAuthor));
}

LogonTaskOutcome SetHighestRunLevel(tasks::ITaskDefinition& definition) {
  ComRef<tasks::IPrincipal> principal;
  const LogonTaskOutcome outcome = CallOutcome(
      "ITaskDefinition::get_Principal", definition.get_Principal(principal.Out()), principal);
  if (!outcome.succeeded) return outcome;
  return CallOutcome("IPrincipal::put_RunLevel",
                     principal->put_RunLevel(com::kTaskRunlevelHighest));
}

// Starts as soon as possible after a missed start, never expires, and runs for the whole
// session: without a time limit (the service would stop it after 72 hours by default) and on
// batteries, where it may start and is not stopped when the machine goes on battery.
LogonTaskOutcome ApplySettings(tasks::ITaskDefinition& definition) {
  ComRef<tasks::ITaskSettings> settings;
  LogonTaskOutcome outcome = CallOutcome("ITaskDefinition::get_Settings",
                                         definition.get_Settings(settings.Out()), settings);
  if (outcome.succeeded) {
    outcome = CallOutcome("ITaskSettings::put_StartWhenAvailable",
                          settings->put_StartWhenAvailable(true));
  }
  if (outcome.succeeded) {
    outcome = CallOutcome("ITaskSettings::put_DeleteExpiredTaskAfter",
                          settings->put_DeleteExpiredTaskAfter(""));
  }
  if (outcome.succeeded) {
    outcome = CallOutcome("ITaskSettings::put_ExecutionTimeLimit",
                          settings->put_ExecutionTimeLimit("PT0S"));
  }
  if (outcome.succeeded) {
    outcome = CallOutcome("ITaskSettings::put_DisallowStartIfOnBatteries",
                          settings->put_DisallowStartIfOnBatteries(false));
  }
  if (outcome.succeeded) {
    outcome = CallOutcome("ITaskSettings::put_StopIfGoingOnBatteries",
                          settings->put_StopIfGoingOnBatteries(false));
  }
  return outcome;
}

LogonTaskOutcome AddLogonTrigger(tasks::ITaskDefinition& definition) {
  ComRef<tasks::ITriggerCollection> triggers;
  LogonTaskOutcome outcome = CallOutcome("ITaskDefinition::get_Triggers",
                                         definition.get_Triggers(triggers.Out()), triggers);
  if (!outcome.succeeded) return outcome;
  ComRef<tasks::ITrigger> trigger;
  outcome = CallOutcome("ITriggerCollection::Create",
                        triggers->Create(com::kTaskTriggerLogon, trigger.Out()), trigger);
  if (!outcome.succeeded) return outcome;
  ComRef<tasks::ILogonTrigger> logonTrigger;
  outcome = CallOutcome("ITrigger::QueryInterface", trigger->QueryInterface(logonTrigger.Out()),
                        logonTrigger);
  if (!outcome.succeeded) return outcome;
  return CallOutcome("ILogonTrigger::put_Enabled", logonTrigger->put_Enabled(true));
}

LogonTaskOutcome AddExecAction(tasks::ITaskDefinition& definition,
                               const std::string& executablePath) {
  ComRef<tasks::IActionCollection> actions;
  LogonTaskOutcome outcome =
      CallOutcome("ITaskDefinition::get_Actions", definition.get_Actions(actions.Out()), actions);
  if (!outcome.succeeded) return outcome;
  ComRef<tasks::IAction> action;
  outcome = CallOutcome("IActionCollection::Create",
                        actions->Create(com::kTaskActionExec, action.Out()), action);
  if (!outcome.succeeded) return outcome;
  ComRef<tasks::IExecAction> execAction;
  outcome =
      CallOutcome("IAction::QueryInterface", action->QueryInterface(execAction.Out()), execAction);
  if (!outcome.succeeded) return outcome;
  return CallOutcome("IExecAction::put_Path", execAction->put_Path(executablePath));
}

}  // namespace

LogonTaskOutcome FillLogonTaskDefinition(tasks::ITaskDefinition& definition,
                                         const std::string& executablePath) {
  LogonTaskOutcome outcome = SetAuthor(definition);
  if (outcome.succeeded) outcome = SetHighestRunLevel(definition);
  if (outcome.succeeded) outcome = ApplySettings(definition);
  if (outcome.succeeded) outcome = AddLogonTrigger(definition);
  if (outcome.succeeded) outcome = AddExecAction(definition, executablePath);
  return outcome;
}

}  // namespace velmora
