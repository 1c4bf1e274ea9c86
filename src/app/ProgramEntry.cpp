#include "app/ProgramEntry.h"

#include <exception>

#include "app/InstanceProtocol.h"
#include "app/SingleInstance.h"

namespace velmora {

int RunProgramEntry(IProcess& process, IWindowMessages& windows, IApplicationFramework& app,
                    const std::function<int()>& turnOffAlone) {
  const StartDecision decision = CheckSingleInstance(process, windows);
  if (decision == StartDecision::kEnd) return 0;
  if (decision == StartDecision::kTurnOffAlone) return turnOffAlone();
  try {
    app.Initialize();
    app.SetTitle(kApplicationTitle);
    app.CreateMainForm();
    app.CreateOverlayForm();
    app.Run();
  } catch (const std::exception& error) {
    app.ShowException(error.what());
  } catch (...) {
    // A thrown value that is no exception object is reported with an empty message.
    app.ShowException("");
  }
  return 0;
}

}  // namespace velmora
