#include "app/FeatureOff.h"

#include <cstdint>

#include "power/LogonTask.h"

namespace velmora {

bool IsNt6Family(const TInitFile* config) {
  if (config == nullptr || !config->OsVersion) return false;
  const TOsType type = config->OsVersion->OsType;
  return type == otNt6X86 || type == otNt6Ia64 || type == otNt6X64;
}

void RemoveAutoStart(TAdvReg& registry, ITaskSchedulerCom& tasks, bool nt6Family) {
  if (nt6Family) {
    RemoveLogonTask(tasks, kAutoStartName);
  } else {
    registry.RemoveRunValue(kAutoStartName);
  }
  registry.WriteUserDword(kVelmoraUserKey, kAutoRunValue, 0);
}

void RestorePasswordOnResume(TAdvReg& registry, TPowerMan& power) {
  const auto saved = static_cast<std::uint32_t>(
      registry.ReadUserDword(kVelmoraUserKey, kResumePasswordLogonValue));
  if (saved != 0) power.RestorePasswordOnResume(saved);
  registry.DeleteUserValue(kVelmoraUserKey, kResumePasswordLogonValue);
}

}  // namespace velmora
