// Window procedures and timer procedures are called by user32: a C++ exception must not unwind
// through its frames. Handlers run guarded; what they throw is parked, and the message loop
// rethrows it once DispatchMessage has returned.
#pragma once

#include <exception>
#include <utility>

namespace velmora::win32 {

// Keeps the first exception until it is taken; later ones are dropped.
void ParkException(std::exception_ptr error);
// Rethrows the parked exception, if any, and clears it.
void RethrowParkedException();

// Runs handler(); on an exception, parks it and returns fallback.
template <typename Result, typename Handler>
Result CallGuarded(Result fallback, Handler&& handler) {
  try {
    return std::forward<Handler>(handler)();
  } catch (...) {
    ParkException(std::current_exception());
    return fallback;
  }
}

template <typename Handler>
void CallGuarded(Handler&& handler) {
  try {
    std::forward<Handler>(handler)();
  } catch (...) {
    ParkException(std::current_exception());
  }
}

}  // namespace velmora::win32
