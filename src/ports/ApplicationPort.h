// The GUI framework under the program: the hidden application window, the forms and the message
// loop. The Win32 backend implements it with real windows; tests implement it with a recorder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ports/WinTypes.h"

namespace velmora {

// One message as GetMessage takes it from the thread's queue.
struct QueuedMessage {
  WindowHandle window = 0;
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

// Sees every queued message before it is dispatched; true means handled (not dispatched).
using MessageFilter = std::function<bool(const QueuedMessage&)>;

class IApplicationFramework {
 public:
  virtual ~IApplicationFramework() = default;

  // Creates the hidden application window (class "TApplication").
  virtual void Initialize() = 0;
  // The application title is the application window's caption.
  virtual void SetTitle(const std::string& title) = 0;
  // The main form becomes the application's main form: closing it ends Run.
  virtual void CreateMainForm() = 0;
  // The overlay form, created hidden.
  virtual void CreateOverlayForm() = 0;
  // The application-wide filter on the queued messages.
  virtual void SetMessageFilter(MessageFilter filter) = 0;
  // The message loop; returns when the main form has closed or termination was requested.
  virtual void Run() = 0;
  // The standard exception dialog.
  virtual void ShowException(const std::string& message) = 0;
};

}  // namespace velmora
