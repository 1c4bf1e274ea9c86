// GoogleTest's thread-safe Windows build keeps its own mutexes and threads on the Win32 API, except
// for one helper, Notification, which it writes with std::mutex and std::condition_variable.
// mingw-w64's GCC 12 in the Win32 thread model has neither, so this header (included ahead of
// every GoogleTest source, with GTEST_HAS_NOTIFICATION_=1) supplies the helper on a manual-reset
// event instead.
#pragma once

#include <windows.h>

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() : event_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() { ::CloseHandle(event_); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { ::SetEvent(event_); }
  void WaitForNotification() { ::WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};

}  // namespace internal
}  // namespace testing
