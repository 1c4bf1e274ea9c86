#include "win32/Win32GuardedCall.h"

namespace velmora::win32 {
namespace {

// Only the user-interface thread runs window procedures.
std::exception_ptr& Parked() {
  static std::exception_ptr parked;
  return parked;
}

}  // namespace

void ParkException(std::exception_ptr error) {
  if (!Parked()) Parked() = std::move(error);
}

void RethrowParkedException() {
  if (!Parked()) return;
  std::exception_ptr error = std::move(Parked());
  Parked() = nullptr;
  std::rethrow_exception(error);
}

}  // namespace velmora::win32
