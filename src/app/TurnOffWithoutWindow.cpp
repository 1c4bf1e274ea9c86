#include "app/TurnOffWithoutWindow.h"

#include <string>

#include "app/FeatureOff.h"
#include "config/DebugLog.h"
#include "power/Cpu.h"
#include "power/ZlkSpec.h"

namespace velmora {
namespace {

// An uninstaller often runs silently: a message box would stop it until somebody clicks. What
// the driver installer would have shown goes to the debug log instead.
class LoggedMessages : public IMessageBox {
 public:
  int MessageBoxA(WindowHandle, const std::string& text, const std::string&,
                  std::uint32_t) override {
    DebugLogWrite(text);
    return 1;  // IDOK
  }
};

// The control byte's part: driver, platform object, enable bit. The driver service is stopped
// and deleted when the objects go, before the caller's registry work.
TurnOffResult ClearEnableBit(const MainFormPorts& ports, TInitFile& config) {
  LoggedMessages quiet;
  const DriverHost& host = ports.hardware.host;
  TReadWrite readWrite(config,
                       HardwarePorts{DriverHost{host.files, host.services, host.system, quiet},
                                     ports.hardware.memory, ports.hardware.processor});
  if (readWrite.DeviceHandle() == kInvalidHandleValue) {
    DebugLogWrite("Uninstall: the driver cannot be loaded, the control byte is left as it is");
    return TurnOffResult::kDriverNotStarted;
  }
  TCpu cpu(readWrite);
  TZlkSpec spec(readWrite, config, cpu, ports.codePage);
  if (!spec.IsMakerBoard || !spec.HasControlEntry) {
    DebugLogWrite("Uninstall: not a board of this program, the control byte is left as it is");
    return TurnOffResult::kNotThisBoard;
  }
  spec.ClearEnabled();
  DebugLogWrite("Uninstall: the feature is turned off");
  return TurnOffResult::kDone;
}

}  // namespace

TurnOffResult TurnFeatureOffWithoutWindow(const MainFormPorts& ports) {
  const std::string program = ports.process.GetModuleFileNameA();
  TInitFile config(ConfigurationFileOf(program), ports.files, ports.codePage, ports.system);
  const TurnOffResult result = ClearEnableBit(ports, config);
  TAdvReg registry(ports.registry, program);
  const bool nt6 = IsNt6Family(&config);
  RemoveAutoStart(registry, ports.tasks, nt6);
  // A Run value left from before an upgrade of Windows to Vista or later goes as well.
  if (nt6) registry.RemoveRunValue(kAutoStartName);
  TPowerMan power(ports.tokens, ports.power);
  RestorePasswordOnResume(registry, power);
  return result;
}

}  // namespace velmora
