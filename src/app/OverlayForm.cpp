#include "app/OverlayForm.h"

#include <limits>

namespace velmora {

std::int32_t OverlayCountdown = kOverlayCountdownStart;

bool Timer1Timer() {
  // Each later overlay takes one more tick off; the count stops at the bottom of its range.
  if (OverlayCountdown > std::numeric_limits<std::int32_t>::min()) --OverlayCountdown;
  return OverlayCountdown < 1;
}

}  // namespace velmora
