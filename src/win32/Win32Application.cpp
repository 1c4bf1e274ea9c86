#include "win32/Win32Application.h"

#include "app/InstanceProtocol.h"
#include "win32/Win32GuardedCall.h"
#include "win32/Win32Text.h"

namespace velmora::win32 {
namespace {

// The main window the application window stands for, kept in its window data.
HWND MainWindowOf(HWND application) {
  return reinterpret_cast<HWND>(GetWindowLongPtrA(application, GWLP_USERDATA));
}

// The application window carries the taskbar button and the Alt+Tab entry. Chosen there, it is
// activated and hands the activation on to the main window, or to the main window's message box
// while one is open; restored from there, it has the main window shown again. Closed there, the
// main window closes as if its own close were chosen: left to the default, the application window
// would be destroyed together with what it owns.
LRESULT CALLBACK ApplicationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND main = MainWindowOf(window);
  if (main != nullptr && message == WM_SETFOCUS && !IsIconic(window)) {
    const HWND target = GetLastActivePopup(main);
    if (IsWindowVisible(target) && IsWindowEnabled(target)) {
      SetActiveWindow(target);
      return 0;
    }
  }
  if (main != nullptr && message == WM_SIZE && wParam != SIZE_MINIMIZED) {
    SendMessageA(main, kApplicationRestoredMessage, 0, 0);
  }
  if (main != nullptr && message == WM_CLOSE) {
    SendMessageA(main, WM_CLOSE, 0, 0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

Win32Application::Win32Application(HINSTANCE instance, MainFormFactory createForm)
    : instance_(instance), createForm_(std::move(createForm)) {}

Win32Application::~Win32Application() {
  CallGuarded([this] { ReleaseFormObjects(); });  // what it throws has nobody left to see it
  if (mainWindow_) mainWindow_->SetEvents(nullptr);
  form_.reset();
  overlayForm_.reset();
  if (appWindow_ != nullptr && IsWindow(appWindow_))
    SetWindowLongPtrA(appWindow_, GWLP_USERDATA, 0);
  mainWindow_.reset();
  if (appWindow_ != nullptr && IsWindow(appWindow_)) DestroyWindow(appWindow_);
}

void Win32Application::Initialize() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ApplicationWindowProc;
  windowClass.hInstance = instance_;
  windowClass.lpszClassName = kApplicationWindowClass;
  RegisterClassA(&windowClass);
  // Zero-sized: it exists to be found, to receive the requests of a later start and, shown
  // with the main window it owns, to carry the program's taskbar button.
  appWindow_ =
      CreateWindowExA(0, kApplicationWindowClass, "",
                      WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                      0, 0, nullptr, nullptr, instance_, nullptr);
}

void Win32Application::SetTitle(const std::string& title) {
  title_ = title;
  SetWindowTextA(appWindow_, Utf8ToAnsi(title).c_str());
}

void Win32Application::CreateMainForm() {
  mainWindow_ = std::make_unique<Win32MainWindow>(instance_, appWindow_);
  SetWindowLongPtrA(appWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(mainWindow_->Window()));
  form_ = createForm_(*mainWindow_);
  mainWindow_->SetEvents(form_.get());
  mainWindow_->SetMessageFilter(&filter_);
  IMainForm* form = form_.get();
  filter_ = [form](const QueuedMessage& message) { return form->ApplicationMessage(message); };
  form_->FormCreate();
}

void Win32Application::CreateOverlayForm() {
  overlayForm_ = std::make_unique<Win32OverlayForm>(instance_, nullptr);
}

void Win32Application::Run() {
  try {
    RunLoop();
  } catch (...) {
    ReleaseFormObjects();
    throw;
  }
  ReleaseFormObjects();
}

void Win32Application::RunLoop() {
  if (!mainWindow_ || mainWindow_->TerminateRequested()) return;
  mainWindow_->ShowMainForm();
  RethrowParkedException();
  MSG message;
  while (!mainWindow_->Closed() && GetMessageA(&message, nullptr, 0, 0) > 0) {
    const QueuedMessage queued{reinterpret_cast<WindowHandle>(message.hwnd), message.message,
                               message.wParam, message.lParam};
    if (filter_ && filter_(queued)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
    RethrowParkedException();
  }
}

void Win32Application::ReleaseFormObjects() {
  if (form_) form_->ReleaseObjects();
}

void Win32Application::ShowException(const std::string& message) {
  MessageBoxA(nullptr, Utf8ToAnsi(message).c_str(), Utf8ToAnsi(title_).c_str(),
              MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

}  // namespace velmora::win32
