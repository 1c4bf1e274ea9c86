// The skinned main window on Windows: the top-level window "TvmMainForm" with its two painted
// pictures (BackgroundImage, NonApplyImage), six panels that each carry an image button, the
// tray icon's callback and popup menu, the session messages, and the overlay form shown modally.
// Everything the messages mean is the form's business: the window forwards them to its events.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "app/MainWindowView.h"
#include "controls/ImageEn.h"
#include "ports/ApplicationPort.h"
#include "win32/Win32ImageButton.h"
#include "win32/Win32PictureDrawing.h"

namespace velmora::win32 {

inline constexpr char kMainFormClass[] = "TvmMainForm";
inline constexpr char kPanelClass[] = "TPanel";
inline constexpr char kTrayWindowClass[] = "TTrayIconWindow";
// The tray icon reports mouse activity to the tray window with this message.
inline constexpr UINT kTrayCallbackMessage = WM_APP + 0x10;
// Sent by the application window when it comes back from its taskbar button.
inline constexpr UINT kApplicationRestoredMessage = WM_APP + 0x11;
// Command ids of the tray menu's items.
inline constexpr UINT kTrayRestoreCommand = 1;
inline constexpr UINT kTrayCloseCommand = 2;

// What the main window's messages ask of the form.
class IMainWindowEvents {
 public:
  virtual ~IMainWindowEvents() = default;
  virtual void FormShow() = 0;
  virtual void FormActivate() = 0;
  virtual void FormClose() = 0;
  virtual void BackgroundImageMouseDown(TMouseButton button) = 0;
  virtual void RestoreFromTray() = 0;   // tray double click, first menu item
  virtual void vmTrayCloseClick() = 0;  // second menu item
  virtual std::intptr_t QueryEndSession() = 0;
  virtual void TaskbarCreated() = 0;  // the registered "TaskbarCreated" broadcast
  virtual void EndSession(bool ending) = 0;
  virtual std::intptr_t PowerBroadcast(std::uintptr_t event) = 0;
  // A key pressed in the window or on a button; true when handled.
  virtual bool KeyDown(std::uint32_t key, bool shift, bool repeat) = 0;
};

class Win32MainWindow : public IMainWindowView {
 public:
  // Creates the window hidden, with its panels and buttons. applicationWindow is the hidden
  // window a later start talks to.
  Win32MainWindow(HINSTANCE instance, HWND applicationWindow);
  ~Win32MainWindow() override;
  Win32MainWindow(const Win32MainWindow&) = delete;
  Win32MainWindow& operator=(const Win32MainWindow&) = delete;

  // Until events are set, the window answers every message with the default processing.
  void SetEvents(IMainWindowEvents* events) { events_ = events; }
  // The application's message filter, also applied by the overlay form's modal loop.
  void SetMessageFilter(const MessageFilter* filter) { filter_ = filter; }
  // The first showing: FormShow, then SW_SHOWNORMAL (the activation that follows runs
  // FormActivate).
  void ShowMainForm();
  bool TerminateRequested() const { return terminateRequested_; }
  bool Closed() const { return closed_; }
  HWND Window() const { return window_; }

  // IMainWindowView.
  WindowHandle MainWindow() override { return Handle(window_); }
  WindowHandle ApplicationWindow() override { return Handle(applicationWindow_); }
  WindowHandle PanelWindow(MainButton panel) override;
  TImageEn& Button(MainButton button) override;
  void ShowBackground(const TPicture& picture) override;
  void ShowNonApplyPicture(const TPicture& picture) override;
  void SetNonApplyVisible(bool visible) override;
  bool NonApplyVisible() override { return nonApplyVisible_; }
  void SetPanelVisible(MainButton panel, bool visible) override;
  bool PanelVisible(MainButton panel) override;
  void SetPanelTop(MainButton panel, int top) override;
  void SetDoubleBuffered(bool on) override;
  void SetButtonName(MainButton button, const std::string& name) override;
  void FocusButton(MainButton button) override;
  std::optional<MainButton> FocusedButton() override;
  void ShowWindow(WindowHandle window, int command) override;
  void SetForegroundWindow(WindowHandle window) override;
  void ReleaseCapture() override { ::ReleaseCapture(); }
  std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
  void Close() override;
  void Terminate() override;
  void SetTrayMenuCaptions(const std::string& restore, const std::string& exit) override;
  WindowHandle TrayWindow() override { return Handle(trayWindow_); }
  std::uint32_t TrayCallbackMessage() override { return kTrayCallbackMessage; }
  // The small icon: the notification area shows icons at the small-icon size.
  IconHandle TrayIconImage() override { return reinterpret_cast<IconHandle>(smallIcon_.handle); }
  void ShowOverlayModal() override;

  // Window procedures of the main window, the panels and the tray window.
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  // The registered "TaskbarCreated" message, let through to this elevated program.
  static UINT RegisterTaskbarCreated();

  struct Panel {
    HWND window = nullptr;
    std::unique_ptr<Win32ImageButton> button;
  };

  // An icon and whether it is this window's to destroy.
  struct Icon {
    HICON handle = nullptr;
    bool owned = false;
  };

  static WindowHandle Handle(HWND window) { return reinterpret_cast<WindowHandle>(window); }
  static bool RegisterClasses(HINSTANCE instance);
  static Icon ExecutableIcon(HINSTANCE instance, int widthMetric, int heightMetric);
  void CreatePanels();
  Panel& PanelOf(MainButton button) { return panels_[static_cast<std::size_t>(button)]; }

  // Messages (Win32MainWindowMessages.cpp).
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();
  const DibFrame& ComposedFrame(int width, int height);
  void PicturesChanged();
  void MouseDown(TMouseButton button, LPARAM lParam);
  void TrayCallback(LPARAM mouseMessage);
  void PopupTrayMenu();
  void Activated(WPARAM wParam);
  void MinimizeApplication();
  // Keyboard (Win32MainWindowKeyboard.cpp).
  bool KeyDown(WPARAM key, LPARAM flags);
  void FocusReturned();
  void PaintFocusMark(HDC dc);

  HINSTANCE instance_;
  HWND applicationWindow_;
  HWND window_ = nullptr;
  // The hidden window the tray icon reports to and its menu belongs to: the menu needs its
  // window in the foreground, and that must not be the main window, whose activation means
  // something to the form.
  HWND trayWindow_ = nullptr;
  // The executable's icon at the system's large and small sizes (window, taskbar, tray).
  Icon largeIcon_;
  Icon smallIcon_;
  std::array<Panel, kMainButtonCount> panels_;
  TPicture background_;
  TPicture nonApply_;
  // Both pictures composed for the client area, kept from one WM_PAINT to the next until a
  // picture, NonApplyImage's visibility or the button-face colour changes.
  std::optional<DibFrame> frame_;
  bool nonApplyVisible_ = true;
  bool doubleBuffered_ = false;
  bool shown_ = false;  // FormShow has run
  // Hidden by this window when the application window was minimised, to be shown again with it.
  bool hiddenWithApplication_ = false;
  bool closed_ = false;
  // The button that last held the keyboard focus: it gets it back when the window does.
  std::optional<MainButton> lastFocused_;
  bool terminateRequested_ = false;
  std::wstring restoreCaption_;
  std::wstring exitCaption_;
  IMainWindowEvents* events_ = nullptr;
  const UINT taskbarCreated_ = RegisterTaskbarCreated();
  const MessageFilter* filter_ = nullptr;
};

}  // namespace velmora::win32
