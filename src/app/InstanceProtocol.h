// How two instances of the program find each other: a named mutex marks the running one, its
// hidden application window receives the requests of a later start.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr char kInstanceMutexName[] = "ZelkorVelmoraMark";
inline constexpr char kApplicationWindowClass[] = "TApplication";
inline constexpr char kApplicationTitle[] = "ZelkorVelmora";
inline constexpr char kUninstallSwitch[] = "/UNINSTALL";

// Posted with wParam 0 and lParam 0 to the running instance's application window.
inline constexpr std::uint32_t MSG_SHUTDOWN_INSTANCE = 0x819E;  // turn the feature off and exit
inline constexpr std::uint32_t MSG_SHOW_INSTANCE = 0x819F;      // bring the main window back

// How long an uninstalling start lingers after posting, so the request is queued before it ends.
inline constexpr std::uint32_t kUninstallPostDelayMs = 200;

}  // namespace velmora
