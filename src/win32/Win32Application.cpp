#include "win32/Win32Application.h"

#include "app/InstanceProtocol.h"
#include "win32/Win32GuardedCall.h"
#include "win32/Win32Text.h"

namespace velmora::win32 {
namespace {

LRESULT CALLBACK ApplicationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
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
  mainWindow_.reset();
  if (appWindow_ != nullptr && IsWindow(appWindow_)) DestroyWindow(appWindow_);
}

void Win32Application::Initialize() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ApplicationWindowProc;
  windowClass.hInstance = instance_;
  windowClass.lpszClassName = kApplicationWindowClass;
  RegisterClassA(&windowClass);
  // Hidden, zero-sized and never activated: it exists to be found and to receive the requests
  // of a later start.
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
