// The GUI framework on real Windows: the zero-sized application window that a later start of the
// program finds by class and title, the main form and the overlay form, and the message loop
// with its filter.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ports/ApplicationPort.h"
#include "win32/Win32MainWindow.h"
#include "win32/Win32OverlayForm.h"

namespace velmora::win32 {

// The form behind the main window, as the framework drives it.
class IMainForm : public IMainWindowEvents {
 public:
  virtual void FormCreate() = 0;
  // The application-wide filter: true when the message was handled (not dispatched).
  virtual bool ApplicationMessage(const QueuedMessage& message) = 0;
  // Releases the application-wide objects; a second call does nothing.
  virtual void ReleaseObjects() = 0;
};

// Makes the form once its window exists; what it throws ends the start with the exception
// report.
using MainFormFactory = std::function<std::unique_ptr<IMainForm>(Win32MainWindow& window)>;

class Win32Application : public IApplicationFramework {
 public:
  Win32Application(HINSTANCE instance, MainFormFactory createForm);
  // The form first (it still uses its window), then the windows.
  ~Win32Application() override;

  void Initialize() override;
  void SetTitle(const std::string& title) override;
  // The main window (hidden), the form's construction, then FormCreate; the form's
  // application-wide filter becomes the loop's filter.
  void CreateMainForm() override;
  // The hidden Form1, whose timer spends the overlay countdown.
  void CreateOverlayForm() override;
  void SetMessageFilter(MessageFilter filter) override { filter_ = std::move(filter); }
  // When the form asked for termination the loop ends at once and nothing is shown. Otherwise
  // the main window is shown and the loop runs until it closes. The application-wide objects
  // are released before Run returns, also when it ends by an exception.
  void Run() override;
  void ShowException(const std::string& message) override;

  HWND ApplicationWindow() const { return appWindow_; }
  Win32MainWindow* MainWindow() const { return mainWindow_.get(); }
  Win32OverlayForm* OverlayForm() const { return overlayForm_.get(); }
  HINSTANCE Instance() const { return instance_; }

 private:
  void RunLoop();
  void ReleaseFormObjects();

  HINSTANCE instance_;
  MainFormFactory createForm_;
  HWND appWindow_ = nullptr;
  std::unique_ptr<Win32MainWindow> mainWindow_;
  std::unique_ptr<IMainForm> form_;
  std::unique_ptr<Win32OverlayForm> overlayForm_;
  std::string title_;
  MessageFilter filter_;
};

}  // namespace velmora::win32
