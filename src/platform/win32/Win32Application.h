// The GUI framework on real Windows: the hidden application window that a later start of the
// program finds by class and title, the forms, and the message loop with its filter.
#pragma once

#include <windows.h>

#include <exception>

#include "platform/ApplicationPort.h"

namespace velmora::win32 {

class Win32Application : public IApplicationFramework {
 public:
  explicit Win32Application(HINSTANCE instance) : instance_(instance) {}
  ~Win32Application() override;

  void Initialize() override;
  void SetTitle(const std::string& title) override;
  void CreateMainForm() override;
  void CreateOverlayForm() override;
  void SetMessageFilter(MessageFilter filter) override { filter_ = std::move(filter); }
  void Run() override;
  void ShowException(const std::string& message) override;

  HWND ApplicationWindow() const { return appWindow_; }
  HWND MainForm() const { return mainForm_; }
  HINSTANCE Instance() const { return instance_; }

  // Window procedures must not let a C++ exception unwind through user32's frames: they park it
  // here and the message loop rethrows it once DispatchMessage has returned.
  static void ParkException(std::exception_ptr error);

 private:
  HINSTANCE instance_;
  HWND appWindow_ = nullptr;
  HWND mainForm_ = nullptr;
  HWND overlayForm_ = nullptr;
  std::string title_;
  MessageFilter filter_;
};

}  // namespace velmora::win32
