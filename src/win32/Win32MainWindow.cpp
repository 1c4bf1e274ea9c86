#include "win32/Win32MainWindow.h"

#include <string>

#include "app/MainWindowLayout.h"
#include "win32/Win32OverlayForm.h"
#include "win32/Win32Text.h"

namespace velmora::win32 {
namespace {

// The frame the window has until the form takes it off (it then becomes borderless).
constexpr DWORD kMainStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
constexpr DWORD kPanelStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

// The panels in MainButton order, with their places in the layout.
constexpr layout::Placement kPanelPlacements[kMainButtonCount] = {
    layout::kCloseBtnPanel, layout::kMinimizeBtnPanel, layout::kDisableBtnPanel,
    layout::kApplyBtnPanel, layout::kFastBtnPanel,     layout::kRegularBtnPanel};
// Apply stands hidden behind NonApplyImage until there is something to apply.
constexpr bool kPanelInitiallyVisible[kMainButtonCount] = {true, true, true, false, true, true};

// The first name EnumResourceNames reports. The name it hands over lives only for the call: an
// integer identifier is kept as it is, a string name is copied.
struct FirstResourceName {
  bool found = false;
  ULONG_PTR id = 0;
  std::string text;
  LPCSTR Name() const { return id != 0 ? MAKEINTRESOURCEA(id) : text.c_str(); }
};

BOOL CALLBACK TakeFirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
  auto& first = *reinterpret_cast<FirstResourceName*>(found);
  first.found = true;
  if (IS_INTRESOURCE(name)) {
    first.id = reinterpret_cast<ULONG_PTR>(name);
  } else {
    first.text = name;
  }
  return FALSE;  // the first icon group is the one Explorer shows for the file
}

}  // namespace

// The executable's first icon group at the size the system uses for the given metrics: LoadImage
// picks the group's image that fits best and scales only when none has the size (LoadIcon would
// always take the large size, which the shell then shrinks for the title bar and the tray). The
// image is loaded without LR_SHARED: a shared load returns the first image cached for the name,
// whatever its size. Without an icon group, the system's application icon, which is shared.
Win32MainWindow::Icon Win32MainWindow::ExecutableIcon(HINSTANCE instance, int widthMetric,
                                                      int heightMetric) {
  const int width = ::GetSystemMetrics(widthMetric);
  const int height = ::GetSystemMetrics(heightMetric);
  FirstResourceName first;
  ::EnumResourceNamesA(instance, RT_GROUP_ICON, &TakeFirstName, reinterpret_cast<LONG_PTR>(&first));
  if (first.found) {
    if (HANDLE own = ::LoadImageA(instance, first.Name(), IMAGE_ICON, width, height, 0)) {
      return Icon{static_cast<HICON>(own), true};
    }
  }
  return Icon{static_cast<HICON>(
                  ::LoadImageA(nullptr, IDI_APPLICATION, IMAGE_ICON, width, height, LR_SHARED)),
              false};
}

bool Win32MainWindow::RegisterClasses(HINSTANCE instance) {
  WNDCLASSA existing{};
  if (::GetClassInfoA(instance, kMainFormClass, &existing)) return true;
  WNDCLASSA main{};
  main.lpfnWndProc = &WindowProc;
  main.hInstance = instance;
  main.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  main.lpszClassName = kMainFormClass;
  WNDCLASSA panel = main;
  panel.lpfnWndProc = &PanelProc;
  panel.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  panel.lpszClassName = kPanelClass;
  WNDCLASSA tray = main;
  tray.lpfnWndProc = &TrayWindowProc;
  tray.lpszClassName = kTrayWindowClass;
  return ::RegisterClassA(&main) != 0 && ::RegisterClassA(&panel) != 0 &&
         ::RegisterClassA(&tray) != 0;
}

Win32MainWindow::Win32MainWindow(HINSTANCE instance, HWND applicationWindow)
    : instance_(instance), applicationWindow_(applicationWindow) {
  RegisterClasses(instance);
  Win32ImageButton::RegisterWindowClass(instance);
  RECT bounds{0, 0, layout::kClientWidth, layout::kClientHeight};
  ::AdjustWindowRectEx(&bounds, kMainStyle, FALSE, 0);
  const std::string caption(layout::kCaption);
  // Owned by the application window: an owned window has no taskbar button and no Alt+Tab
  // entry of its own, so both show the application window, titled with the program's name.
  window_ =
      ::CreateWindowExA(0, kMainFormClass, caption.c_str(), kMainStyle, layout::kWindowLeft,
                        layout::kWindowTop, bounds.right - bounds.left, bounds.bottom - bounds.top,
                        applicationWindow_, nullptr, instance, this);
  // Hidden, zero-sized and without a taskbar button.
  trayWindow_ = ::CreateWindowExA(WS_EX_TOOLWINDOW, kTrayWindowClass, "", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, instance, this);
  // The title bar and taskbar button (small) and Alt+Tab (large); the tray takes the small one.
  largeIcon_ = ExecutableIcon(instance, SM_CXICON, SM_CYICON);
  smallIcon_ = ExecutableIcon(instance, SM_CXSMICON, SM_CYSMICON);
  for (HWND window : {window_, applicationWindow_}) {
    if (window == nullptr) continue;
    ::SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_.handle));
    ::SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.handle));
  }
  CreatePanels();
}

// The buttons (and their repeat threads) end before their panels, the panels before the window.
Win32MainWindow::~Win32MainWindow() {
  for (Panel& panel : panels_) {
    panel.button.reset();
    if (panel.window != nullptr && ::IsWindow(panel.window)) ::DestroyWindow(panel.window);
  }
  for (HWND window : {window_, trayWindow_}) {
    if (window == nullptr || !::IsWindow(window)) continue;
    ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    ::DestroyWindow(window);
  }
  // A window does not destroy the icons it was given; the system's shared icon is not ours.
  // The application window outlives this one: it lets go of them first.
  if (applicationWindow_ != nullptr && ::IsWindow(applicationWindow_)) {
    ::SendMessageA(applicationWindow_, WM_SETICON, ICON_BIG, 0);
    ::SendMessageA(applicationWindow_, WM_SETICON, ICON_SMALL, 0);
  }
  for (const Icon& icon : {largeIcon_, smallIcon_}) {
    if (icon.owned) ::DestroyIcon(icon.handle);
  }
}

void Win32MainWindow::CreatePanels() {
  for (int index = 0; index < kMainButtonCount; ++index) {
    const layout::Placement& place = kPanelPlacements[index];
    Panel& panel = panels_[static_cast<std::size_t>(index)];
    const DWORD visible = kPanelInitiallyVisible[index] ? WS_VISIBLE : 0;
    panel.window = ::CreateWindowExA(
        0, kPanelClass, "", kPanelStyle | visible, place.left, place.top, place.width, place.height,
        window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + index)), instance_, nullptr);
    panel.button = std::make_unique<Win32ImageButton>(instance_, panel.window, 0, 0, place.width,
                                                      place.height, 200 + index);
    panel.button->Button().DelayBeforeRepeat = layout::kDelayBeforeRepeat;
    panel.button->Button().ClickRepeatRate = layout::kClickRepeatRate;
  }
}

WindowHandle Win32MainWindow::PanelWindow(MainButton panel) {
  return Handle(PanelOf(panel).window);
}

TImageEn& Win32MainWindow::Button(MainButton button) {
  return PanelOf(button).button->Button();
}

void Win32MainWindow::ShowBackground(const TPicture& picture) {
  background_ = picture;
  PicturesChanged();
}

void Win32MainWindow::ShowNonApplyPicture(const TPicture& picture) {
  nonApply_ = picture;
  PicturesChanged();
}

void Win32MainWindow::SetNonApplyVisible(bool visible) {
  if (visible == nonApplyVisible_) return;
  nonApplyVisible_ = visible;
  PicturesChanged();
}

// The composed frame no longer shows what the window holds: the next WM_PAINT composes anew.
void Win32MainWindow::PicturesChanged() {
  frame_.reset();
  ::InvalidateRect(window_, nullptr, FALSE);
}

void Win32MainWindow::SetPanelVisible(MainButton panel, bool visible) {
  ::ShowWindow(PanelOf(panel).window, visible ? SW_SHOW : SW_HIDE);
}

// The panel's own flag, not IsWindowVisible: a shown panel of a hidden window counts as shown.
bool Win32MainWindow::PanelVisible(MainButton panel) {
  return (::GetWindowLongA(PanelOf(panel).window, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32MainWindow::SetPanelTop(MainButton panel, int top) {
  const HWND window = PanelOf(panel).window;
  RECT bounds{};
  ::GetWindowRect(window, &bounds);
  POINT leftTop{bounds.left, bounds.top};
  ::ScreenToClient(window_, &leftTop);
  ::SetWindowPos(window, nullptr, leftTop.x, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The panels remember the setting in their window data; their background is then left to the
// button that covers them instead of being erased first.
void Win32MainWindow::SetDoubleBuffered(bool on) {
  doubleBuffered_ = on;
  for (Panel& panel : panels_) ::SetWindowLongPtrA(panel.window, GWLP_USERDATA, on ? 1 : 0);
}

// Shown, the zero-sized application window is what carries the taskbar button; hidden (in the
// tray) the program has none.
void Win32MainWindow::ShowWindow(WindowHandle window, int command) {
  const HWND target = reinterpret_cast<HWND>(window);
  if (target == nullptr) return;
  if (target == window_) hiddenWithApplication_ = false;  // the form decides from now on
  ::ShowWindow(target, command);
}

void Win32MainWindow::SetForegroundWindow(WindowHandle window) {
  ::SetForegroundWindow(reinterpret_cast<HWND>(window));
}

std::intptr_t Win32MainWindow::SendMessageA(WindowHandle window, std::uint32_t message,
                                            std::uintptr_t wParam, std::intptr_t lParam) {
  return ::SendMessageA(reinterpret_cast<HWND>(window), message, wParam, lParam);
}

void Win32MainWindow::ShowMainForm() {
  if (events_ != nullptr) events_->FormShow();
  shown_ = true;
  if (applicationWindow_ != nullptr) ::ShowWindow(applicationWindow_, SW_SHOWNA);
  ::ShowWindow(window_, SW_SHOWNORMAL);
  ::UpdateWindow(window_);
}

// The main form's close ends the application: its close event runs once, then the loop ends.
void Win32MainWindow::Close() {
  if (closed_) return;
  closed_ = true;
  if (events_ != nullptr) events_->FormClose();
  ::PostQuitMessage(0);
}

void Win32MainWindow::Terminate() {
  terminateRequested_ = true;
  ::PostQuitMessage(0);
}

void Win32MainWindow::SetTrayMenuCaptions(const std::string& restore, const std::string& exit) {
  restoreCaption_ = Utf8ToWide(restore);
  exitCaption_ = Utf8ToWide(exit);
}

void Win32MainWindow::ShowOverlayModal() {
  Win32OverlayForm overlay(instance_, window_);
  overlay.ShowModal(filter_);
}

}  // namespace velmora::win32
