// The overlay form TForm1: an invisible window (pure blue, declared transparent) shown modally
// while the shell is not ready for the tray icon. Its one-second timer closes it when the
// process-wide countdown runs out. The countdown starts at 10 and is never reset, so the hidden
// overlay made at start-up spends it in the first ten seconds and any overlay shown later closes
// at its first tick.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr std::int32_t kOverlayCountdownStart = 10;
inline constexpr std::uint32_t kOverlayTimerIntervalMs = 1000;

// Shared by every TForm1 of the process.
extern std::int32_t OverlayCountdown;

// One tick of Timer1 of any TForm1: decrements the countdown. True when the form must now
// disable Timer1 and close (the count went below 1).
bool Timer1Timer();

}  // namespace velmora
