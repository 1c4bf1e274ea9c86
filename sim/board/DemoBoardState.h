// What the demo program (the real Windows program on a simulated board) keeps in its board file
// besides the board itself: the section [Demo]. The firmware's control byte lives in the board's
// physical memory, which a real machine keeps across a restart of the program; the demo writes
// it back to the board file at every change, so the next run (or a test) finds it there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::sim {

struct DemoSettings {
  // [Demo] ControlByte: put over the QVZX table's own control byte once the board is built.
  std::optional<std::uint8_t> controlByte;
  // [Demo] SimulatedPower = 1: a simulated PowrProf (a Windows 7 desktop with S3 and S4).
  bool simulatedPower = false;
  // [Demo] SimulatedTaskScheduler: a simulated Task Scheduler 2.0 for the logon task (1, the
  // default: Wine's cannot make logon triggers, so Apply would always fail there), or Wine's (0).
  bool simulatedTaskScheduler = true;
  // What the simulated PowrProf plays (each brings it in, as SimulatedPower = 1 does):
  // [Demo] ModernStandby = 1: a Modern Standby PC (no S1-S3; AoAc set).
  bool modernStandby = false;
  // [Demo] ReducedHibernationFile = 1: hiberfil.sys is of the reduced type (fast startup only).
  bool reducedHibernationFile = false;
  // [Demo] SuspendError = N: SetSuspendState refuses, GetLastError then says N (0: it suspends).
  std::uint32_t suspendError = 0;
  // [Demo] DriverRefused = N: Windows refuses to start the driver's service with error N (577: the
  // image's signature is not trusted; 1275: the driver is blocked from loading).
  std::uint32_t driverRefused = 0;
  std::vector<std::string> errors;  // values that could not be understood (ignored)
};

DemoSettings ReadDemoSettings(std::string_view boardFileText);

// The board file's text with [Demo] ControlByte set to `value`, written "0xHH".
std::string WithDemoControlByte(std::string_view boardFileText, std::uint8_t value);

// The ini text with `key` of `section` set to `value`; every other byte is kept. The section's
// last block is the one a reader consults, so the key's lines there are replaced, or a line is
// added right after that block's header; a text without the section gets it at its end. New
// lines take the text's own line break (CR LF when it has none).
std::string WithIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value);

}  // namespace velmora::sim
